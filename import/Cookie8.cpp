#include "import/Cookie8.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(420, 260);
}
