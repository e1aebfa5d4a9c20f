// The windows on Xvfb, with and without openbox; the test runs itself again there.
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
#include "history/Rireki11.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/StoredSettings.h"
#include "ui/Form.h"

namespace {

// Terminated, not killed: Xvfb then removes its lock.
struct Started : QProcess {
    Started(const QString& program, const QStringList& args, const QProcessEnvironment& env)
    {
        setProcessEnvironment(env);
        start(program, args);
    }
    ~Started() override
    {
        terminate();
        waitForFinished();
    }
};

void CheckOnDisplay(bool framed)
{
    boxes::Reset();
    Form1->show();
    EXPECT_TRUE(QTest::qWaitFor([] { return Form1->isActiveWindow(); }, 10000)) << "the keyboard at start";
    EXPECT_EQ(QApplication::focusWidget(), Form1->ui.ComboBox1);

    boxes::WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Form1->ui.P1->trigger();
    EXPECT_TRUE(QTest::qWaitFor([] { return Form1->isActiveWindow(); }, 5000)) << "after a dialog";
    EXPECT_EQ(QApplication::focusWidget(), Form1->ui.ComboBox1);
    if (!framed)
        return;

    // A screen too small for a window gets the largest that fits.
    const QRect free = Form1->screen()->availableGeometry();
    const std::vector<std::pair<QWidget*, QSize>> windows = {
        {Form1, QSize(917, 640).boundedTo(free.size())}, {Form2, QSize(870, 638).boundedTo(free.size())}, {Form4, {}}};
    for (auto [window, outer] : windows) {
        window->show();
        // The frame, title bar included, inside the free screen and of the outer size.
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const QRect frame = window->frameGeometry();
            return frame != window->geometry() && free.contains(frame) && (!outer.isValid() || frame.size() == outer);
        }, 5000)) << window->objectName().toStdString();
    }
    if (free.height() >= 640) {
        EXPECT_LE((Form1->frameGeometry().center() - free.center()).manhattanLength(), 1);
    }

    // The history window at first use: neither screen has room beside the
    // centred main window, so it goes below the main window's title bar.
    const QRect main = Form1->frameGeometry();
    const int title = Form1->geometry().top() - main.top();
    Form11->show();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QRect frame = Form11->frameGeometry();
        return frame != Form11->geometry() && free.contains(frame) && frame.top() >= main.top() + title
               && frame.left() > main.left();
    }, 5000)) << "history window " << Form11->frameGeometry().x() << "," << Form11->frameGeometry().y();
    // Then where the user left it, also in a later session.
    const QPoint left = free.topLeft() + QPoint(10, 15);
    Form11->move(left);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form11->frameGeometry().topLeft() == left; }, 5000));
    Form11->close();
    EXPECT_EQ(stored::Number("HistoryLeft"), left.x());
    EXPECT_EQ(stored::Number("HistoryTop"), left.y());
    Form11->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form11->frameGeometry().topLeft() == left && free.contains(Form11->frameGeometry()); }, 5000))
        << "history window " << Form11->frameGeometry().x() << "," << Form11->frameGeometry().y();
    Form11->close();
}

} // namespace

using DesktopTest = FormsTest;

TEST(BesideMainFrameTest, RightElseLeftElseCascadedBelowTheTitleBar)
{
    // A title bar of 20, a window of 840×640 that may narrow to 600.
    const struct {
        QRect free, main, expected;
    } cases[] = {
        {{0, 0, 2560, 1440}, {400, 100, 917, 640}, {1317, 100, 840, 640}},  // right
        {{0, 0, 1600, 900}, {0, 500, 917, 640}, {917, 260, 683, 640}},      // right, narrowed, on the screen
        {{0, 0, 1920, 1080}, {1003, 100, 917, 640}, {163, 100, 840, 640}},  // left
        {{0, 0, 1920, 1080}, {501, 220, 917, 640}, {521, 240, 840, 640}},   // no room either side
        {{0, 0, 1024, 600}, {53, 0, 917, 600}, {73, 20, 840, 580}},         // shortened to the screen
        {{0, 0, 1024, 600}, {0, 400, 917, 200}, {20, 300, 840, 300}},       // never below half the screen
    };
    for (const auto& c : cases) {
        const QRect frame = BesideMainFrame(c.main, 20, QSize(840, 640).boundedTo(c.free.size()), 600, c.free);
        EXPECT_EQ(frame, c.expected) << c.main.x() << "," << c.main.y() << " on " << c.free.width() << "x"
                                     << c.free.height() << ": " << frame.x() << "," << frame.y() << " "
                                     << frame.width() << "x" << frame.height();
    }
}

TEST_F(DesktopTest, WindowsFitTheScreenFrameIncludedAndTheMainWindowHasTheKeyboard)
{
    if (std::getenv("MIRELO_TEST_DISPLAY")) {
        CheckOnDisplay(std::getenv("MIRELO_TEST_WM") != nullptr);
        return;
    }
    const std::pair<const char*, bool> desktops[] = {{"1024x600", true}, {"1280x1024", true}, {"1024x600", false}};
    for (const auto& [screen, manager] : desktops) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        Started xvfb("Xvfb", {"-displayfd", "1", "-screen", "0", QString(screen) + "x24", "-nolisten", "tcp", "-noreset"}, env);
        ASSERT_TRUE(xvfb.waitForReadyRead(20000)) << screen;
        env.insert("DISPLAY", ":" + QString::fromLatin1(xvfb.readLine()).trimmed());
        std::optional<Started> openbox;
        if (manager) {
            openbox.emplace("openbox", QStringList{}, env);
            ASSERT_TRUE(QTest::qWaitFor([&] {
                Started xprop("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, env);
                return xprop.waitForFinished() && xprop.readAll().contains("window id");
            }, 20000)) << "openbox";
            env.insert("MIRELO_TEST_WM", "openbox");
        }
        env.insert("MIRELO_TEST_DISPLAY", "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        Started self(QCoreApplication::applicationFilePath(),
                     {"--gtest_filter=DesktopTest.WindowsFitTheScreenFrameIncludedAndTheMainWindowHasTheKeyboard"}, env);
        ASSERT_TRUE(self.waitForFinished(120000)) << screen;
        EXPECT_EQ(self.exitCode(), 0) << screen << (manager ? " openbox\n" : "\n")
                                      << self.readAllStandardOutput().toStdString() << self.readAllStandardError().toStdString();
    }
}
