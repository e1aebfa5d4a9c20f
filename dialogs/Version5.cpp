#include "dialogs/Version5.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowOpacity(220.0 / 255.0);
    SetDialogClientSize(435, 254);
}
