#include "dialogs/Keiko9.h"

TForm9* Form9 = nullptr;

TForm9::TForm9(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(202, 169);
}
