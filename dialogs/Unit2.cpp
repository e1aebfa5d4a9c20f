#include "dialogs/Unit2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    resize(870, 638);
}
