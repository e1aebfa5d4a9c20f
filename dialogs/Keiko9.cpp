#include "dialogs/Keiko9.h"

#include "base/Registry.h"
#include "ui/Dialogs.h"

TForm9* Form9 = nullptr;

TForm9::TForm9(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(202, 169);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm9::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TForm9::FormShow()
{
    std::int32_t keiko = 1;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Keiko, keiko);
    // Values never written by the program show as the bold choice, as the forecast treats them.
    QRadioButton* chosen = keiko == 0 ? ui.RadioButton1 : keiko == 1 ? ui.RadioButton2 : ui.RadioButton3;
    chosen->setChecked(true);
}

void TForm9::BitBtn1Click()
{
    std::int32_t keiko = ui.RadioButton1->isChecked() ? 0 : ui.RadioButton2->isChecked() ? 1 : 2;
    StoreSettings([keiko] { return WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Keiko, keiko) == 0; });
    done(mrOk);
}
