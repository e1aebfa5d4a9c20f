#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <gtest/gtest.h>

#include "base/AuctionList.h"
#include "base/Clock.h"
#include "dialogs/Keiko9.h"
#include "dialogs/Ope6.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit4.h"
#include "dialogs/Version5.h"
#include "import/Url7.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"
#include "ui/Browser.h"
#include "ui/Sjis.h"

namespace {

class MainWindowTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        SetUrlOpener([this](const QUrl& url) { opened.push_back(url.toString()); });
    }
    void TearDown() override
    {
        SetUrlOpener({});
        FormsTest::TearDown();
    }

    // The list a previous run saved, then this run started.
    static void StartWithList(int n)
    {
        AuctionList list;
        list.count = n;
        for (int i = 0; i < n; ++i) {
            list.entries[static_cast<std::size_t>(i)].Title = Format("title %d", i);
            list.entries[static_cast<std::size_t>(i)].Url = Format("http://page.example/jp/auction/a%d", i);
        }
        ASSERT_TRUE(StoreAuctionList(list, true));
        Restart();
    }

    static void Restart()
    {
        DestroyForms();
        CreateForms();
        Form1->show();
    }

    static QStringList Items()
    {
        QStringList items;
        for (int i = 0; i < Form1->ui.ComboBox1->count(); ++i)
            items << Form1->ui.ComboBox1->itemText(i);
        return items;
    }

    // Puts text in the entry box and clicks "開く".
    void Open(const std::string& sjis)
    {
        Form1->ui.ComboBox1->setEditText(QStr(sjis));
        Form1->ui.BitBtn8->click();
    }

    std::vector<QString> opened;
};

} // namespace

TEST_F(MainWindowTest, FirstShowOnAFreshMachineStartsTheClock)
{
    gAuctionList.count = 2; // as an earlier window set left it
    Form1->show();
    EXPECT_EQ(Form1->ui.Label25->text(), QStringLiteral("Ver 1.32"));
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QString());
    EXPECT_EQ(gAuctionList.count, 0);
    EXPECT_TRUE(Form1->Timer1->isActive());

    Form1->ui.Label26->clear();
    QElapsedTimer clock;
    clock.start();
    while (Form1->ui.Label26->text().isEmpty() && clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_TRUE(Form1->ui.Label26->text() == ClockText(now) || Form1->ui.Label26->text() == ClockText(now.addSecs(-1)))
        << Form1->ui.Label26->text().toStdString();
}

TEST(ClockTest, ShortDateAndTimeWithSecondsButNoZone)
{
    const QDateTime when(QDate(2004, 2, 17), QTime(10, 10, 10), QTimeZone("Asia/Tokyo"));
    EXPECT_EQ(ClockText(when, QLocale(QLocale::Japanese, QLocale::Japan)), QStringLiteral("2004/02/17 10:10:10"));
    EXPECT_EQ(ClockText(when, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("2/17/04 10:10:10 AM"));
    EXPECT_EQ(ClockText(when, QLocale(QLocale::Korean)), QString::fromUtf8(u8"04. 2. 17. 오전 10:10:10"));
    EXPECT_EQ(ClockText(when, QLocale::c()), QStringLiteral("17 Feb 2004 10:10:10"));
}

TEST_F(MainWindowTest, EveryWayOfClosingAsksTheSaveQuestion)
{
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"close box", [] { Form1->close(); }},
        {"疲れたのでやめる", [] { Form1->ui.BitBtn3->click(); }},
        {"終了", [] { Form1->ui.Q1->trigger(); }},
    };
    for (const auto& [way, close] : ways) {
        StartWithList(0);
        gAuctionList.count = 1;
        gAuctionList.entries[0].Title = way;
        boxes::Reset();
        boxes::Answer(IDYES);
        close();
        ASSERT_EQ(boxes::Shown().size(), 1u) << way;
        const ShownBox& box = boxes::Shown()[0];
        EXPECT_EQ(box.text, SJ("商品リストを保存してから終了しますか？"));
        EXPECT_EQ(box.caption, SJ("メッセージ"));
        EXPECT_EQ(box.flags, MB_YESNO | MB_ICONINFORMATION);
        EXPECT_EQ(box.owner, Form1);
        EXPECT_EQ(stored::Text("Title000", kMireloListKey), way);
    }
}

TEST_F(MainWindowTest, ListSavedAtExitComesBackAtTheNextStart)
{
    StartWithList(3);
    EXPECT_EQ(Items(), (QStringList{"title 0", "title 1", "title 2"}));
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QStringLiteral("title 0"));

    gAuctionList.entries[1].Title = SJ("ミレロ");
    boxes::Answer(IDYES);
    Form1->close();
    Restart();
    EXPECT_EQ(Items(), (QStringList{"title 0", QString::fromUtf8(u8"ミレロ"), "title 2"}));

    boxes::Answer(IDNO);
    Form1->close();
    Restart();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0) << "No at exit: an empty list at the next start";
}

TEST_F(MainWindowTest, TheExitQuestionCannotBeEscapedOrClosed)
{
    StartWithList(2);
    BoxScript::Uninstall(); // the real box
    bool stillAsking = false;
    boxes::WhenModal([&](QWidget* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        stillAsking = box->isVisible();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    Form1->close();
    EXPECT_TRUE(stillAsking);
    EXPECT_EQ(stored::Number(regvalue::ListNum), 2) << "Escape and the close box are not No";
}

TEST_F(MainWindowTest, ClearEmptiesTheBoxButNotTheList)
{
    StartWithList(3);
    boxes::Answer(IDNO);
    Form1->ui.BitBtn5->click();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 3);
    EXPECT_EQ(boxes::Texts(), (std::vector<std::string>{"コンボボックスの値を全てクリアしますか？"}));

    boxes::Answer(IDYES);
    Form1->ui.BitBtn5->click();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QString());

    // The titles still stand for their addresses, and are saved at exit.
    Open("title 1");
    EXPECT_EQ(opened, (std::vector<QString>{"http://page.example/jp/auction/a1"}));
    boxes::Answer(IDYES);
    Form1->close();
    Restart();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 3);
}

TEST_F(MainWindowTest, OpenHandsTheAddressOfATitleOrAWebAddressToTheBrowser)
{
    StartWithList(3);
    gAuctionList.entries[2].Url = "";
    gAuctionList.entries[1].Url = "file:///bin/sh";
    Open(" \ttitle 0  ");
    Open("title 2"); // a title without address
    Open("   ");
    Open("http://page.example/jp/auction/x9");
    Open("HTTPS://page.example/x");
    // Nothing but web addresses: a list entry's address comes from a web page.
    for (const char* text : {"title 1", "Title 0", "/bin/sh", "calc.exe", "javascript:alert(1)", "http://"})
        Open(text);
    EXPECT_EQ(opened, (std::vector<QString>{"http://page.example/jp/auction/a0", "http://page.example/jp/auction/x9",
                                            "https://page.example/x"}));

    // A longer text is cut to 255 bytes, as the box's text always was.
    opened.clear();
    Open("http://page.example/" + std::string(300, 'a'));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].size(), 255);
}

TEST_F(MainWindowTest, UsagePageIsOurOwnFileOpenedInTheBrowser)
{
    setenv("XDG_CACHE_HOME", (sandbox::Dir() + "/cache").c_str(), 1);
    Form1->ui.InternetI1->trigger();
    unsetenv("XDG_CACHE_HOME");
    ASSERT_EQ(opened.size(), 1u);
    QFile page(QUrl(opened[0]).toLocalFile());
    EXPECT_TRUE(page.fileName().startsWith(QString::fromStdString(sandbox::Dir())));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(page.readAll()).contains(QString::fromUtf8(u8"ミレロくん 使い方")));
}

TEST_F(MainWindowTest, MenuShowsTheSettingsWindowsModallyAndDebugShowsTheLogWithout)
{
    const std::vector<std::pair<QAction*, QDialog*>> items = {
        {Form1->ui.Y2, Form9}, {Form1->ui.O1, Form6}, {Form1->ui.C1, Form7}, {Form1->ui.P1, Form4}, {Form1->ui.V1, Form5},
    };
    for (auto [item, window] : items) {
        QWidget* modal = nullptr;
        boxes::WhenModal([&modal](QWidget* w) {
            modal = w;
            static_cast<QDialog*>(w)->reject();
        });
        item->trigger();
        EXPECT_EQ(modal, window) << item->objectName().toStdString();
    }

    AppendDebugLog("A WTOPN > first");
    Form1->ui.BitBtn4->click();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Form2->ui.BitBtn1->click();
    AppendDebugLog(std::string("B WTCLS > ") + std::string(SJ("ウォッチ")));
    Form1->ui.BitBtn4->click();
    EXPECT_EQ(Form2->ui.Memo1->toPlainText(), QString::fromUtf8(u8"A WTOPN > first\nB WTCLS > ウォッチ"))
        << "the log keeps its lines while hidden";
}

TEST_F(MainWindowTest, KeyboardStartsInTheEntryBoxReturnsThereAndEnterRuns)
{
    StartWithList(0);
    QWidget* entry = Form1->ui.ComboBox1;
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == entry; }, 2000)) << "at start";

    Form1->ui.StringGrid1->setFocus(); // had the keyboard before the dialog
    boxes::WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Form1->ui.Y2->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == entry; }, 2000)) << "after a dialog";
    EXPECT_EQ(QApplication::activeWindow(), Form1);

    Form1->ui.StringGrid1->setFocus();
    QTest::keyClick(Form1->ui.StringGrid1, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), Form1->ui.StringGrid1) << "Tab leaves the table";

    // Enter is "ミレロ" whatever TitleGo says; a list title stands for its address.
    gAuctionList.count = 1;
    gAuctionList.entries[0] = {"page 12", "t", ""};
    Form1->ShowAuctionTitles();
    const std::vector<std::tuple<int, const char*, const char*>> cases = {
        {0, "b63350217", "正しいＵＲＬを指定してください。\n[ b63350217 ]"},
        {1, "t", "正しいＵＲＬを指定してください。\n[ page 12 ]"},
    };
    for (const auto& [titleGo, text, message] : cases) {
        ASSERT_TRUE(stored::SetNumber(regvalue::TitleGo, titleGo));
        boxes::Reset();
        Form1->ui.ComboBox1->setEditText(QString::fromUtf8(text));
        QTest::keyClick(entry, Qt::Key_Return);
        EXPECT_EQ(boxes::Texts(), std::vector<std::string>{message}) << text;
        EXPECT_EQ(Form1->ui.ComboBox1->count(), 1) << "Enter adds no item";
    }
}
