#include "ui/Application.h"

#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>
#include <exception>

#include "base/Text.h"
#include "ui/Dialogs.h"

namespace {
std::string& TitleText()
{
    static std::string title;
    return title;
}
} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The layouts were drawn for "ＭＳ Ｐゴシック"; IPA P Gothic has the same
    // metrics and is what Linux has. Fontconfig knows no alias for it.
    const QString msPGothic = QString::fromUtf8(u8"ＭＳ Ｐゴシック");
    QFont::insertSubstitution(msPGothic, QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QString::fromUtf8(u8"ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont font(msPGothic);
    font.setPixelSize(12);
    setFont(font);
    // Without the catalogue Qt's own texts stay English; the program runs on.
    InstallQtTranslation(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool TApplication::InstallQtTranslation(const QString& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), folder) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

void TApplication::SetTitle(std::string_view title)
{
    TitleText() = std::string(title);
    setApplicationName(QString::fromStdString(Utf8FromSjis(title)));
}

const std::string& TApplication::Title()
{
    return TitleText();
}

void TApplication::ShowException(std::string_view message)
{
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    MessageBox(QApplication::activeWindow(), text, Title(), MB_OK | MB_ICONSTOP);
}

void TApplication::Guard(const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("");
    }
}

void TApplication::Run(QWidget* mainWindow)
{
    Guard([&] {
        if (mainWindow)
            mainWindow->show();
    });
    for (;;) {
        try {
            exec();
            return;
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException("");
        }
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("");
    }
    return false;
}
