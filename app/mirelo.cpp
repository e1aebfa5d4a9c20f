// Start-up: the work folder, the application object, its title, the window set, the loop.
#include <QIcon>

#include "app/Forms.h"
#include "app/Unit1.h"
#include "base/Registry.h"
#include "base/Text.h"
#include "base/WorkFolder.h"
#include "net/RequestSetup.h"
#include "ui/Application.h"

int main(int argc, char* argv[])
{
    MakeSettingsPrivate();
    RemoveStaleDownloads(EnterWorkFolder());
    TApplication application(argc, argv);
    application.SetTitle(SJ("ミレロくん"));
    // Ties the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.quillmere.mirelo"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/images/logo.png")));
    application.Guard(CreateForms);
    application.Run(Form1);
    application.Guard(DestroyForms);
    return 0;
}
