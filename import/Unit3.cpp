#include "import/Unit3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : TFormBase(parent, FormPosition::MainFormCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(330, 230);
}
