#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeZone>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/AuctionList.h"
#include "app/Clock.h"
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

QString U(const char8_t* utf8)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8));
}

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

    // A saved list of n entries, as a previous run left it.
    static void StoreList(int n)
    {
        AuctionList list;
        list.count = n;
        for (int i = 0; i < n; ++i) {
            auto& e = list.entries[static_cast<std::size_t>(i)];
            e.Title = Format("title %d", i);
            e.Url = Format("http://page.example/jp/auction/a%d", i);
            e.Img = Format("http://img.example/a%d.jpg", i);
        }
        ASSERT_TRUE(StoreAuctionList(list, true));
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

bool IsTheSaveQuestion(const ShownBox& box)
{
    return box.text == SJ("商品リストを保存してから終了しますか？") && box.caption == SJ("メッセージ")
           && box.flags == (MB_YESNO | MB_ICONINFORMATION) && box.owner == Form1;
}

} // namespace

TEST_F(MainWindowTest, FirstShowOnAFreshMachine)
{
    gAuctionList.count = 2; // whatever an earlier window set left
    Form1->show();
    EXPECT_EQ(Form1->ui.Label25->text(), QStringLiteral("Ver 1.32"));
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QString());
    EXPECT_EQ(gAuctionList.count, 0);
    EXPECT_TRUE(Form1->Timer1->isActive());
    EXPECT_EQ(Form1->Timer1->interval(), 1000);
    EXPECT_FALSE(Form1->ui.Label26->text().isEmpty());

    // The clock advances on its own.
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
    EXPECT_EQ(ClockText(when, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("17.02.04 10:10:10"));
    EXPECT_EQ(ClockText(when, QLocale::c()), QStringLiteral("17 Feb 2004 10:10:10"));
    for (QLocale::Language language : {QLocale::Korean, QLocale::Chinese, QLocale::French, QLocale::Finnish}) {
        QString text = ClockText(when, QLocale(language));
        EXPECT_FALSE(text.contains(QStringLiteral("JST")) || text.contains(QStringLiteral("+09"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("10\\D10\\D10")))) << text.toStdString();
    }
}

TEST_F(MainWindowTest, EveryWayOfClosingAsksTheSaveQuestion)
{
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"close box", [] { Form1->close(); }},
        {"疲れたのでやめる", [] { Form1->ui.BitBtn3->click(); }},
        {"終了", [] { Form1->ui.Q1->trigger(); }},
    };
    for (const auto& [way, close] : ways) {
        Restart();
        StoreList(0);
        gAuctionList = AuctionList{};
        gAuctionList.count = 1;
        gAuctionList.entries[0].Title = way;
        boxes::Reset();
        boxes::Answer(IDYES);
        close();
        ASSERT_EQ(boxes::Shown().size(), 1u) << way;
        EXPECT_TRUE(IsTheSaveQuestion(boxes::Shown()[0])) << way;
        EXPECT_EQ(stored::Number("ListNum"), 1) << way;
        EXPECT_EQ(stored::Text("Title000", kMireloListKey), way);
    }
}

TEST_F(MainWindowTest, ListSavedAtExitComesBackAtTheNextStart)
{
    StoreList(3);
    Form1->show();
    EXPECT_EQ(Items(), (QStringList{"title 0", "title 1", "title 2"}));
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QStringLiteral("title 0"));

    gAuctionList.entries[1].Title = SJ("ミレロ");
    boxes::Answer(IDYES);
    Form1->close();
    Restart();
    EXPECT_EQ(Items(), (QStringList{"title 0", U(u8"ミレロ"), "title 2"}));
    EXPECT_EQ(gAuctionList.entries[2].Img, "http://img.example/a2.jpg") << "the picture address is read back too";

    // No at exit: an empty list next time, though the entries stay stored.
    boxes::Answer(IDNO);
    Form1->close();
    EXPECT_EQ(stored::Number("ListNum"), 0);
    Restart();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0);
    EXPECT_EQ(stored::Text("Title001", kMireloListKey), SJ("ミレロ"));
}

TEST_F(MainWindowTest, StoredCountWithoutEntriesListsEmptyTitles)
{
    ASSERT_TRUE(stored::SetNumber("ListNum", 3));
    Form1->show();
    EXPECT_EQ(Items(), (QStringList{"", "", ""}));
}

TEST_F(MainWindowTest, ClearEmptiesTheBoxButNotTheList)
{
    StoreList(3);
    Form1->show();
    boxes::Answer(IDNO);
    Form1->ui.BitBtn5->click();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 3);
    ASSERT_EQ(boxes::Texts(), (std::vector<std::string>{"コンボボックスの値を全てクリアしますか？"}));
    EXPECT_EQ(boxes::Shown()[0].flags, MB_YESNO | MB_ICONINFORMATION);

    boxes::Answer(IDYES);
    Form1->ui.BitBtn5->click();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QString());
    EXPECT_EQ(gAuctionList.count, 3);

    // The titles still stand for their addresses, and are saved at exit.
    Open("title 1");
    EXPECT_EQ(opened, (std::vector<QString>{"http://page.example/jp/auction/a1"}));
    boxes::Answer(IDYES);
    Form1->close();
    Restart();
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 3);
}

TEST_F(MainWindowTest, OpenHandsTheAddressOfATitleOrTheTextToTheBrowser)
{
    StoreList(3);
    Form1->show();
    gAuctionList.entries[2].Url = "";
    Open(" \ttitle 0  ");
    Open("title 2");              // a title without address: nothing
    Open("   ");                  // an empty box: nothing
    Open("Title 0");              // not a title (letter case): taken as typed, not an address
    Open("http://page.example/jp/auction/x9");
    Open("HTTPS://page.example/x");
    EXPECT_EQ(opened, (std::vector<QString>{"http://page.example/jp/auction/a0", "http://page.example/jp/auction/x9",
                                            "https://page.example/x"}));

    // A longer text is cut to 255 bytes, as the box's text always was.
    opened.clear();
    Open("http://page.example/" + std::string(300, 'a'));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].size(), 255);
}

TEST_F(MainWindowTest, OpenGivesTheBrowserWebAddressesOnly)
{
    StoreList(1);
    Form1->show();
    // A list entry's address comes from a web page: it must not start programs or open files.
    gAuctionList.entries[0].Url = "file:///bin/sh";
    Open("title 0");
    for (const char* text : {"/bin/sh", "calc.exe", "file:///etc/passwd", "javascript:alert(1)", "http://", "mailto:a@b.example"})
        Open(text);
    EXPECT_TRUE(opened.empty()) << opened[0].toStdString();
}

TEST_F(MainWindowTest, UsagePageIsOurOwnFileOpenedInTheBrowser)
{
    setenv("XDG_CACHE_HOME", (sandbox::Dir() + "/cache").c_str(), 1);
    Form1->ui.InternetI1->trigger();
    ASSERT_EQ(opened.size(), 1u);
    QUrl url(opened[0]);
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_TRUE(url.toLocalFile().startsWith(QString::fromStdString(sandbox::Dir())));
    QFile page(url.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    QString html = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(html.contains(U(u8"ミレロくん 使い方")));
    EXPECT_TRUE(html.contains(U(u8"一括取込")));
    unsetenv("XDG_CACHE_HOME");
}

TEST_F(MainWindowTest, MenuItemsShowTheirSettingsWindowsModally)
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
        EXPECT_FALSE(window->isVisible());
    }
}

TEST_F(MainWindowTest, DebugButtonShowsTheLogWithoutBlocking)
{
    AppendDebugLog("A WTOPN > first");
    Form1->ui.BitBtn4->click();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_FALSE(Form2->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    Form2->ui.BitBtn1->click();
    EXPECT_FALSE(Form2->isVisible());
    AppendDebugLog(std::string("B WTCLS > ") + std::string(SJ("ウォッチ")));
    Form1->ui.BitBtn4->click();
    EXPECT_EQ(Form2->ui.Memo1->toPlainText(), U(u8"A WTOPN > first\nB WTCLS > ウォッチ"));
    EXPECT_TRUE(Form2->ui.Memo1->isReadOnly());
}
