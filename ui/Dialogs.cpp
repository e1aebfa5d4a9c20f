#include "ui/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>

#include "ui/Application.h"
#include "ui/Sjis.h"

namespace {

BoxScript::Responder& Script()
{
    static BoxScript::Responder responder;
    return responder;
}

bool& ScriptInstalled()
{
    static bool installed = false;
    return installed;
}

// A question is answered Yes or No and nothing else: Escape or the close box
// would pass for No, and No at the exit question forgets the auction list.
class Box : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool question = false;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (question && event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (question)
            event->ignore();
        else
            QMessageBox::closeEvent(event);
    }
};

} // namespace

void BoxScript::Install(Responder responder)
{
    Script() = std::move(responder);
    ScriptInstalled() = true;
    Shown().clear();
}

void BoxScript::Uninstall()
{
    Script() = nullptr;
    ScriptInstalled() = false;
    Shown().clear();
}

bool BoxScript::Installed()
{
    return ScriptInstalled();
}

std::vector<ShownBox>& BoxScript::Shown()
{
    static std::vector<ShownBox> shown;
    return shown;
}

int MessageBox(QWidget* owner, std::string_view text, std::string_view caption, unsigned flags)
{
    if (ScriptInstalled()) {
        ShownBox box{ShownBox::Message, owner, std::string(caption), std::string(text), flags};
        BoxScript::Shown().push_back(box);
        std::string unused;
        return Script() ? Script()(box, unused) : ((flags & 0x0F) == MB_YESNO ? IDNO : IDOK);
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & 0xF0) {
    case MB_ICONSTOP: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    const bool question = (flags & 0x0F) == MB_YESNO;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (question)
        buttons = QMessageBox::Yes | QMessageBox::No;
    else if ((flags & 0x0F) == MB_OKCANCEL)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    Box box(icon, QStr(caption), QStr(text), buttons, owner ? owner : QApplication::activeWindow());
    if (question) {
        box.question = true;
        box.setWindowFlags((box.windowFlags() | Qt::CustomizeWindowHint) & ~Qt::WindowCloseButtonHint);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return (flags & 0x0F) == MB_YESNO ? IDNO : IDOK;
    }
}

void ShowMessage(std::string_view text)
{
    MessageBox(QApplication::activeWindow(), text, TApplication::Title(), MB_OK);
}

bool InputQuery(std::string_view caption, std::string_view prompt, std::string& value)
{
    if (ScriptInstalled()) {
        ShownBox box{ShownBox::Input, QApplication::activeWindow(), std::string(caption), std::string(prompt), 0};
        BoxScript::Shown().push_back(box);
        std::string input = value;
        int answer = Script() ? Script()(box, input) : IDCANCEL;
        if (answer != IDOK)
            return false;
        value = input;
        return true;
    }
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStr(caption));
    dialog.setLabelText(QStr(prompt));
    dialog.setTextValue(QStr(value));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = SjisStr(dialog.textValue());
    return true;
}
