#include "dialogs/Unit4.h"

#include "base/Registry.h"
#include "ui/Dialogs.h"
#include "ui/Sjis.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : TFormBase(parent, FormPosition::MainFormCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(309, 158);
    connect(ui.CheckBox1, &QCheckBox::toggled, this, &TForm4::CheckBox1Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm4::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    CheckBox1Click();
}

void TForm4::FormShow()
{
    std::int32_t proxy = 0;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Proxy, proxy);
    ui.CheckBox1->setChecked(proxy != 0);
    CheckBox1Click();
    std::string text;
    ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyHost, text);
    ui.Edit3->setText(QStr(text));
    ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyPort, text);
    ui.Edit4->setText(QStr(text));
}

void TForm4::CheckBox1Click()
{
    const bool on = ui.CheckBox1->isChecked();
    for (QLineEdit* edit : {ui.Edit3, ui.Edit4}) {
        edit->setEnabled(on);
        edit->setReadOnly(!on);
        QPalette look = edit->palette();
        look.setColor(QPalette::Base, palette().color(on ? QPalette::Base : QPalette::Button));
        edit->setPalette(look);
    }
    ui.Label3->setEnabled(on);
    ui.Label4->setEnabled(on);
}

void TForm4::BitBtn1Click()
{
    const bool on = ui.CheckBox1->isChecked();
    // Cut: a longer text would read back as missing.
    const std::string host(FitSjis(TrimText(SjisStr(ui.Edit3->text())), kRegistryTextBytes));
    const std::string port(TrimText(SjisStr(ui.Edit4->text())));
    bool incomplete = false;
    StoreSettings([&] {
        if (!on) {
            // The host and port stay stored for the next time the proxy is ticked.
            WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Proxy, 0);
            return true;
        }
        if (host.empty() || port.empty()) {
            incomplete = true;
            return false;
        }
        WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Proxy, 1);
        WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyHost, host);
        WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyPort, port);
        return true;
    });
    // Shown after the store is let go: another copy may want to write meanwhile.
    if (incomplete) {
        ShowMessage(SJ("ＵＲＬとポート番号を入力してください。"));
        return;
    }
    done(mrOk);
}
