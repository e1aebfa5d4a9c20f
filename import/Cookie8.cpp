#include "import/Cookie8.h"

#include <QTextOption>

#include "import/BrowserCookie.h"
#include "ui/Sjis.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(420, 260);
    // A cookie value is one long word: break it anywhere rather than hide it.
    ui.Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QPalette look = ui.Memo1->palette();
    look.setColor(QPalette::Base, palette().color(QPalette::Window));
    ui.Memo1->setPalette(look);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QWidget::close);
}

void TForm8::FormShow()
{
    ui.Memo1->setPlainText(QStr(gBrowserCookie.Text()));
}
