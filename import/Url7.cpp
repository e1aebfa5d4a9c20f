#include "import/Url7.h"

#include "base/Endpoints.h"
#include "base/Registry.h"
#include "import/MyAuctionImport.h"
#include "ui/Dialogs.h"
#include "ui/Sjis.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(470, 170);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm7::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TForm7::BitBtn3Click);
}

void TForm7::FormShow()
{
    ui.Edit1->setText(QStr(ReadMyAuctionUrl()));
}

void TForm7::BitBtn3Click()
{
    ui.Edit1->setText(QStr(kDefaultMyAuctionUrl));
}

void TForm7::BitBtn1Click()
{
    // Cut: a longer text would read back as missing.
    const std::string url(FitSjis(TrimText(SjisStr(ui.Edit1->text())), kRegistryTextBytes));
    StoreSettings([&url] { return WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::UrlMyAuction, url) == 0; });
    done(mrOk);
}
