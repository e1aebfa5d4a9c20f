// The windows on a real X display, with and without a window manager. The
// test starts Xvfb (and openbox) and runs itself again on that display.
#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <optional>
#include <gtest/gtest.h>

#include "dialogs/Unit2.h"
#include "dialogs/Unit4.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"

namespace {

struct Desktop {
    const char* screen;
    const char* manager; // empty: none
};

// A child process ended with the test.
class Started {
public:
    Started(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        process_.setProcessEnvironment(env);
        process_.start(program, args);
    }
    ~Started()
    {
        process_.terminate(); // lets Xvfb remove its lock file
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QProcess& operator*() { return process_; }

private:
    QProcess process_;
};

bool WmRunning(const QString& display)
{
    QProcess xprop;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    xprop.setProcessEnvironment(env);
    xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
    xprop.waitForFinished();
    return xprop.readAllStandardOutput().contains("window id");
}

// The frame, title bar included, inside the free screen and of the outer size.
bool Placed(QWidget* window, QSize outer)
{
    const QRect frame = window->frameGeometry();
    return frame != window->geometry() && window->screen()->availableGeometry().contains(frame)
           && (!outer.isValid() || frame.size() == outer);
}

// Runs inside Xvfb: what the user sees on that screen.
void CheckOnDisplay(bool framed)
{
    boxes::Reset();
    Form1->show();
    QTest::qWaitFor([] { return Form1->isActiveWindow(); }, 10000);
    EXPECT_TRUE(Form1->isActiveWindow()) << "the main window has the keyboard at start";
    EXPECT_EQ(QApplication::focusWidget(), Form1->ui.ComboBox1);

    // After a dialog, too; the window manager (or nobody) then decides.
    boxes::WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Form1->ui.P1->trigger();
    QTest::qWaitFor([] { return Form1->isActiveWindow(); }, 5000);
    EXPECT_TRUE(Form1->isActiveWindow()) << "after a dialog";
    EXPECT_EQ(QApplication::focusWidget(), Form1->ui.ComboBox1);
    if (!framed)
        return;

    // A screen too small for a window gets the largest that fits.
    const QRect free = Form1->screen()->availableGeometry();
    const std::vector<std::pair<QWidget*, QSize>> windows = {
        {Form1, QSize(917, 640).boundedTo(free.size())}, {Form2, QSize(870, 638).boundedTo(free.size())}, {Form4, {}}};
    for (auto [window, outer] : windows) {
        window->show();
        QTest::qWaitFor([&] { return Placed(window, outer); }, 5000);
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(Placed(window, outer)) << window->objectName().toStdString() << ": " << frame.width() << "x"
                                           << frame.height() << " at " << frame.x() << "," << frame.y();
    }
    if (free.height() >= 640)
        EXPECT_LE((Form1->frameGeometry().center() - free.center()).manhattanLength(), 1);
}

} // namespace

using DesktopTest = FormsTest;

TEST_F(DesktopTest, WindowsFitTheScreenFrameIncludedAndTheMainWindowHasTheKeyboard)
{
    if (std::getenv("MIRELO_TEST_DISPLAY")) {
        CheckOnDisplay(std::getenv("MIRELO_TEST_WM") != nullptr);
        return;
    }
    for (const Desktop desktop : {Desktop{"1024x600", "openbox"}, Desktop{"1280x1024", "openbox"}, Desktop{"1024x600", ""}}) {
        const std::string name = std::string(desktop.screen) + " " + desktop.manager;
        Started xvfb("Xvfb", {"-displayfd", "1", "-screen", "0", QString(desktop.screen) + "x24", "-nolisten", "tcp", "-noreset"});
        ASSERT_TRUE((*xvfb).waitForReadyRead(20000)) << "Xvfb: " << (*xvfb).errorString().toStdString();
        const QString display = ":" + QString::fromLatin1((*xvfb).readLine()).trimmed();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        std::optional<Started> manager;
        if (*desktop.manager) {
            manager.emplace(desktop.manager, QStringList{}, env);
            ASSERT_TRUE(QTest::qWaitFor([&] { return WmRunning(display); }, 20000))
                << desktop.manager << " on " << display.toStdString() << " state " << (**manager).state() << ": "
                << (**manager).readAllStandardError().toStdString();
            env.insert("MIRELO_TEST_WM", desktop.manager);
        }
        env.insert("MIRELO_TEST_DISPLAY", "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        Started self(QCoreApplication::applicationFilePath(),
                     {"--gtest_filter=DesktopTest.WindowsFitTheScreenFrameIncludedAndTheMainWindowHasTheKeyboard"}, env);
        ASSERT_TRUE((*self).waitForFinished(120000)) << name;
        EXPECT_EQ((*self).exitCode(), 0) << name << "\n"
                                         << (*self).readAllStandardOutput().toStdString()
                                         << (*self).readAllStandardError().toStdString();
    }
}
