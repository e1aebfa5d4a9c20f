#include "dialogs/Unit4.h"

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : TFormBase(parent, FormPosition::MainFormCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(309, 158);
}
