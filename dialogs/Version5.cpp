#include "dialogs/Version5.h"

#include "base/Version.h"
#include "ui/Dialogs.h"
#include "ui/Sjis.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowOpacity(220.0 / 255.0);
    SetDialogClientSize(435, 254);
    connect(ui.BitBtn1, &QPushButton::clicked, this, [this] { done(mrOk); });
}

void TForm5::FormShow()
{
    ui.Label25->setText(QStr(kVersionText));
}
