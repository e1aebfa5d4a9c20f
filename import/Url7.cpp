#include "import/Url7.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(470, 170);
}
