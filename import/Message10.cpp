#include "import/Message10.h"

TForm10* Form10 = nullptr;

TForm10::TForm10(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(560, 250);
}
