// The application object: title, main window, message loop, and the standard
// error box for an exception that escapes an event handler.
#pragma once

#include <QApplication>
#include <functional>
#include <string>
#include <string_view>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Installs Qt's own Japanese catalogue (qtbase_ja) from folder, so that
    // Qt's buttons and dialogs speak the program's language whatever the
    // locale. False, and nothing installed, when it cannot be loaded.
    static bool InstallQtTranslation(const QString& folder);

    // Shift_JIS title shown on the task bar and on plain message boxes.
    static void SetTitle(std::string_view title);
    static const std::string& Title();

    // The standard error box: caption = title, stop icon, the message with a
    // final period added as the framework always did.
    static void ShowException(std::string_view message);

    // Runs work and reports whatever it throws in the standard error box.
    static void Guard(const std::function<void()>& work);

    // Shows the main window, runs the loop until it closes; exceptions that
    // escape are reported and the loop goes on.
    void Run(QWidget* mainWindow);

    bool notify(QObject* receiver, QEvent* event) override;
};
