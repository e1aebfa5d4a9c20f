#include "dialogs/Ope6.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(379, 188);
}
