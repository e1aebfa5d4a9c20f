#include "import/Message10.h"

#include <QKeyEvent>
#include <cstdint>

#include "base/Registry.h"
#include "ui/Dialogs.h"

TForm10* Form10 = nullptr;

TForm10::TForm10(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(560, 250);
    connect(ui.BitBtn1, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(ui.BitBtn2, &QPushButton::clicked, this, [this] { done(mrNo); });
}

void TForm10::keyPressEvent(QKeyEvent* event)
{
    // Escape is a way of saying no here: the close box alone goes on.
    if (event->key() == Qt::Key_Escape) {
        done(mrNo);
        return;
    }
    TFormBase::keyPressEvent(event);
}

bool CookieConsent()
{
    std::int32_t silenced = 0;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Cookie, silenced);
    if (silenced != 0)
        return true;
    if (Form10->ShowModal() == mrNo)
        return false;
    if (!Form10->ui.CheckBox1->isChecked())
        return true;
    // A store that cannot keep the choice ends the run, without a word.
    if (CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloKey) != 0)
        return false;
    WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Cookie, 1);
    return true;
}
