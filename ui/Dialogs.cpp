#include "ui/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSaveFile>

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

void SaveFileAs(QWidget* owner, const char* caption, const char* name, const char* filter, const char* failure,
                const std::function<std::string()>& contents)
{
    const QString path = QFileDialog::getSaveFileName(owner, QString::fromUtf8(caption), QString::fromUtf8(name),
                                                      QString::fromUtf8(filter));
    if (path.isEmpty())
        return;
    const std::string bytes = contents();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())
        || !file.commit())
        MessageBox(owner, SjisFromUtf8(std::string(failure) + "：" + file.errorString().toStdString()), SJ("メッセージ"),
                   MB_OK | MB_ICONWARNING);
}
