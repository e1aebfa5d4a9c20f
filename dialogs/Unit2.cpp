#include "dialogs/Unit2.h"

#include "ui/Sjis.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    SetOuterSize(this, QSize(870, 638));
    connect(ui.BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

void AppendDebugLog(std::string_view sjisLine)
{
    if (Form2)
        Form2->ui.Memo1->appendPlainText(QStr(sjisLine));
}
