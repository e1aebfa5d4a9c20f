// The watch-list import against a loopback My Auction service that shows its
// pages only to a request carrying the login cookie.
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

#include "import/BrowserCookie.h"
#include "import/Cookie8.h"
#include "import/Message10.h"
#include "import/MyAuctionScan.h"
#include "import/Unit3.h"
#include "net/NMHTTP.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/net/NetSupport.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/StoredSettings.h"
#include "ui/Sjis.h"
#include "ui/StatusBar.h"

namespace {

const std::string kHeading = "<BIG><B>Yahoo!オークション</B> - <B>マイ・オークション</B></BIG>";

std::string Title(int i)
{
    return Format("ウォッチ商品 %02d", i);
}

// The service's My Auction pages (EUC-JP), as the real one lays them out.
class MyAuctionService {
public:
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(server.Port()); }
    std::string TopUrl() const { return Base() + "/jp/show/mystatus"; }

    // The request targets, in order.
    std::vector<std::string> Targets() const
    {
        std::vector<std::string> out;
        for (const std::string& r : server.Requests())
            out.push_back(r.substr(4, r.find(" HTTP/1.0\r\n") - 4));
        return out;
    }

    std::atomic<int> entries{12};
    std::atomic<bool> watchLine{true}; // the top page lists the watch list
    std::atomic<int> hold{-1};         // this request's reply stops halfway until the client goes

private:
    std::string Page(const std::string& target) const
    {
        const std::string top = "/jp/show/mystatus";
        if (target == top) {
            std::string page = "<HTML><BODY>\n" + kHeading + "\n<TABLE>\n";
            if (watchLine)
                page += "<TR><TD><A HREF=\"" + Base() + top +
                        "?select=watchlist&watchclosed=0&myaucpic=false&picsnum=20&status=open\">ウォッチリスト</A></TD></TR>\n";
            page += "<TR><TD><A HREF=\"" + Base() + top + "?select=bidding\">入札中</A></TD></TR>\n";
            // The selling list's link is relative: it cannot be fetched.
            page += "<TR><TD><A HREF=\"" + top + "?select=selling\">出品中</A></TD></TR>\n";
            return page + "</TABLE>\n</BODY></HTML>\n";
        }
        std::string heading = "<B>開催中のオークション</B>";
        if (target.find("watchclosed=1") != std::string::npos)
            heading = "<B>終了したオークション</B>";
        else if (target.find("select=bidding") != std::string::npos)
            heading = "<B>入札中</B>";
        std::string page = "<HTML><BODY>\n" + kHeading + "\n" + heading + "\n<TABLE>\n<TR><TD>商品ID</TD><TD>商品名</TD></TR>\n";
        for (int i = 1; i <= entries; ++i)
            page += Format("<TR><TD>a%d</TD><TD><a href=\"%s/jp/auction/a%d\">%s</a></TD></TR>\n", i,
                           Base().c_str(), i, Title(i).c_str());
        return page + "</TABLE>\n</BODY></HTML>\n";
    }

    void Answer(ScriptServer::Conn& c, int index)
    {
        const std::string request = c.ReadRequest();
        const std::string target = request.substr(4, request.find(' ', 4) - 4);
        const bool loggedIn = request.find("\r\nCookie: Y=sample\r\n") != std::string::npos;
        const std::string body = EucFromUtf8(loggedIn ? Page(target) : "<HTML><BODY><B>ログイン</B></BODY></HTML>\n");
        c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=EUC-JP\r\n\r\n");
        if (index == hold) {
            c.Send(body.substr(0, 20));
            c.WaitPeerEnd(10000);
            return;
        }
        c.Send(body);
        c.Close();
    }

public:
    ScriptServer server{[this](ScriptServer::Conn& c, int index) { Answer(c, index); }};
};

class ImportTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        gMyAuctionLinks = {};
        gAuctionList = {};
        gBrowserCookie = {};
        ASSERT_TRUE(stored::SetNumber("Cookie", 1));
        Form3->FollowUpRun = [this] { followUps.push_back(SjisStr(Form1->ui.ComboBox1->currentText())); };
    }
    void TearDown() override
    {
        TPowersock::LookupOverride = nullptr;
        FormsTest::TearDown();
    }

    // The program starts: the browser holds the login cookie, or none; the
    // My Auction address is the service's, or none is stored.
    void Start(bool withCookie = true, bool storeAddress = true)
    {
        if (storeAddress) {
            ASSERT_TRUE(stored::SetText("UrlMyAuction", service.TopUrl()));
        }
        if (withCookie)
            sandbox::WriteFile(sandbox::ConfigHome() + "/quillmere/mirelo/cookies.txt",
                               ".yahoo.co.jp\tTRUE\t/\tFALSE\t0\tY\tsample\n");
        Form1->show();
    }

    // The list and the entry box as an earlier session left them.
    static void HaveList()
    {
        gAuctionList.count = 2;
        gAuctionList.entries[0] = {"http://page.example/jp/auction/old1", "old one", ""};
        gAuctionList.entries[1] = {"http://page.example/jp/auction/old2", "old two", ""};
        Form1->ShowAuctionTitles();
    }

    static void Import()
    {
        Form3->show();
        Form3->ui.BitBtn1->click();
    }

    static std::vector<std::string> Titles()
    {
        std::vector<std::string> out;
        for (int i = 0; i < gAuctionList.count; ++i)
            out.push_back(Utf8FromSjis(gAuctionList.entries[static_cast<std::size_t>(i)].Title));
        return out;
    }

    static std::vector<std::string> ComboItems()
    {
        std::vector<std::string> out;
        for (int i = 0; i < Form1->ui.ComboBox1->count(); ++i)
            out.push_back(Form1->ui.ComboBox1->itemText(i).toStdString());
        return out;
    }

    static std::string Caption() { return Form1->windowTitle().toStdString(); }

    // Runs act once the held request has been sent.
    void WhenHeld(std::function<void()> act)
    {
        auto* timer = new QTimer(Form3);
        QObject::connect(timer, &QTimer::timeout, [this, timer, act] {
            const std::vector<std::string> requests = service.server.Requests();
            if (static_cast<int>(requests.size()) > service.hold
                && requests[static_cast<std::size_t>(service.hold)].ends_with("\r\n\r\n")) {
                timer->stop();
                act();
            }
        });
        timer->start(10);
    }

    // Clicks "中止", answering Yes, once the held request has been sent.
    void CancelWhenHeld()
    {
        WhenHeld([] {
            boxes::Answer(IDYES);
            Form3->ui.BitBtn6->click();
        });
    }

    MyAuctionService service;
    std::vector<std::string> followUps; // the entry box's text at each follow-up run
};

const std::string kAdvice =
    "IEのCookieが以下の状態でないか確認してください。\n・Cookieが無効になっている\n・Cookieの有効期限が切れている\n"
    "・ヤフオクでログオフ状態になっている\n対処方法としては、IEでヤフオクにアクセスして、ウォッチリストなどが表示できるか確認してください。\n"
    "またIEを終了しないと、Cookieに反映されないこともあります。\nCookieを反映するために「ミレロくん」を再起動してください。";
const std::string kAborted = "処理を中断しました。\n\n原因として、" + kAdvice;
const std::string kNoLink = "マイ･オークションからＵＲＬを取得できませんでした。\n\n原因として、" + kAdvice;
const std::string kNothing = "１件も取得できませんでした。\n\n実際にはあるという場合の原因として、" + kAdvice;

void ExpectBox(const ShownBox& box, const std::string& caption, const std::string& text, unsigned flags)
{
    EXPECT_EQ(Utf8FromSjis(box.caption), caption);
    EXPECT_EQ(Utf8FromSjis(box.text), text);
    EXPECT_EQ(box.flags, flags);
    EXPECT_EQ(box.owner, Form3);
}

} // namespace

TEST_F(ImportTest, ImportsTwelveEntriesInPageOrder)
{
    Start();
    HaveList();
    Import();

    ASSERT_EQ(service.Targets(), (std::vector<std::string>{
        "/jp/show/mystatus",
        // The blank the watch-list adjustment leaves goes out as browsers send it.
        "/jp/show/mystatus?select=watchlist&watchclosed=0&myaucpic=true%20&picsnum=50&status=open"}));
    EXPECT_EQ(gMyAuctionLinks.WTOPN, service.TopUrl() + "?select=watchlist&watchclosed=0&myaucpic=true &picsnum=50&status=open");

    std::vector<std::string> titles;
    for (int i = 1; i <= 12; ++i)
        titles.push_back(Title(i));
    EXPECT_EQ(Titles(), titles);
    EXPECT_EQ(gAuctionList.entries[11].Url, service.Base() + "/jp/auction/a12");
    EXPECT_EQ(ComboItems(), titles);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText().toStdString(), Title(1));
    EXPECT_EQ(Caption(), "ミレロくん - ウォッチリスト（開催中）");

    ASSERT_EQ(boxes::Shown().size(), 1u);
    ExpectBox(boxes::Shown()[0], "ミレロくん", "12 件、取得できました。", MB_OK);
    EXPECT_EQ(followUps, std::vector<std::string>{SjisFromUtf8(Title(1))}) << "WatchGo missing means on";
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_EQ(Utf8FromSjis(Form3->ui.StatusBar1->SimpleText()), "ＨＯＳＴ通信完了");
}

TEST_F(ImportTest, EachChoiceTakesItsListAndTheChoiceStays)
{
    Start();
    Form3->ui.RadioButton3->setChecked(true);
    Import();
    EXPECT_EQ(service.Targets().at(1), "/jp/show/mystatus?select=bidding");
    EXPECT_EQ(Caption(), "ミレロくん - 入札中");
    EXPECT_EQ(gAuctionList.count, 12);

    // The ended watch list: the running list's link as the top page gave it, asking for closed ones.
    Form3->show();
    EXPECT_TRUE(Form3->ui.RadioButton3->isChecked());
    Form3->ui.RadioButton2->setChecked(true);
    Form3->ui.BitBtn1->click();
    EXPECT_EQ(service.Targets().at(3), "/jp/show/mystatus?select=watchlist&watchclosed=1&myaucpic=false&picsnum=20&status=closed");
    EXPECT_EQ(Caption(), "ミレロくん - ウォッチリスト（終了分）");
    EXPECT_EQ(gAuctionList.count, 12);

    // A relative link cannot be fetched.
    boxes::Reset();
    HaveList();
    Form3->show();
    Form3->ui.RadioButton4->setChecked(true);
    Form3->ui.BitBtn1->click();
    EXPECT_EQ(service.Targets().size(), 5u);
    EXPECT_EQ(Caption(), "ミレロくん - 出品中");
    ASSERT_EQ(boxes::Shown().size(), 1u);
    ExpectBox(boxes::Shown()[0], "接続に失敗しました。", kNoLink, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"old one", "old two"}));
    EXPECT_TRUE(Form3->isVisible()) << "a run that ends early leaves the window open";
}

TEST_F(ImportTest, WithoutACookieNoCookieLineGoesOutAndTheLinkIsMissing)
{
    Start(false);
    HaveList();
    Import();

    ASSERT_EQ(service.Targets(), std::vector<std::string>{"/jp/show/mystatus"}) << "the login page has no links";
    EXPECT_EQ(service.server.Requests().at(0).find("Cookie"), std::string::npos);
    EXPECT_EQ(Caption(), "ミレロくん - ウォッチリスト（開催中）") << "the caption changes before the link check";
    ASSERT_EQ(boxes::Shown().size(), 1u);
    ExpectBox(boxes::Shown()[0], "接続に失敗しました。", kNoLink, MB_OK | MB_ICONSTOP);
    EXPECT_NE(boxes::Shown()[0].text.find("\x83\x7D\x83\x43\xA5"), std::string::npos) << "the half-width dot";
    EXPECT_EQ(Titles(), (std::vector<std::string>{"old one", "old two"}));
    EXPECT_EQ(ComboItems(), (std::vector<std::string>{"old one", "old two"}));
    EXPECT_TRUE(followUps.empty());

    // The cookie window shows what was sent: nothing.
    Form8->show();
    EXPECT_EQ(Form8->ui.Memo1->toPlainText(), QString());
}

TEST_F(ImportTest, NothingHarvestedWarnsAndStillStartsTheRun)
{
    Start();
    HaveList();
    service.entries = 0;
    ASSERT_TRUE(stored::SetNumber("WatchGo", 1));
    std::size_t boxesBeforeRun = 0;
    Form3->FollowUpRun = [&] {
        boxesBeforeRun = boxes::Shown().size();
        followUps.push_back(SjisStr(Form1->ui.ComboBox1->currentText()));
    };
    Import();

    EXPECT_EQ(gAuctionList.count, 0);
    EXPECT_TRUE(ComboItems().empty());
    ASSERT_EQ(boxes::Shown().size(), 1u);
    ExpectBox(boxes::Shown()[0], "確認メッセージ", kNothing, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(followUps, std::vector<std::string>{""}) << "the run starts on an empty entry box";
    EXPECT_EQ(boxesBeforeRun, 1u);
    EXPECT_FALSE(Form3->isVisible());
}

TEST_F(ImportTest, CancellingEitherRequestLeavesTheListAsItWas)
{
    Start();
    for (int request : {0, 1}) {
        SCOPED_TRACE(request);
        boxes::Reset();
        HaveList();
        Form1->setWindowTitle(QStringLiteral("ミレロくん"));
        service.hold = service.server.Connections() + request;
        CancelWhenHeld();
        Import();

        ASSERT_EQ(boxes::Shown().size(), 2u);
        ExpectBox(boxes::Shown()[0], "メッセージ", "受信を中断しますか？", MB_YESNO | MB_ICONWARNING);
        ExpectBox(boxes::Shown()[1], "接続に失敗しました。", kAborted, MB_OK | MB_ICONSTOP);
        EXPECT_EQ(Titles(), (std::vector<std::string>{"old one", "old two"}));
        EXPECT_EQ(ComboItems(), (std::vector<std::string>{"old one", "old two"}));
        EXPECT_EQ(Form1->ui.ComboBox1->currentText(), QStringLiteral("old one"));
        EXPECT_EQ(Caption(), request == 0 ? "ミレロくん" : "ミレロくん - ウォッチリスト（開催中）");
        EXPECT_TRUE(Form3->ui.BitBtn1->isEnabled());
        EXPECT_FALSE(Form3->ui.BitBtn6->isEnabled());
    }
    EXPECT_EQ(service.server.Connections(), 3);
}

TEST_F(ImportTest, ASecondImportReusesTheEarlierWatchListLink)
{
    Start();
    ASSERT_TRUE(stored::SetNumber("WatchGo", 2)); // on only when exactly 1
    Import();
    ASSERT_EQ(service.Targets().size(), 2u);
    service.watchLine = false;
    Import();
    ASSERT_EQ(service.Targets().size(), 4u);
    EXPECT_EQ(service.Targets()[3], service.Targets()[1]);
    EXPECT_EQ(gAuctionList.count, 12);
    EXPECT_TRUE(followUps.empty());
}

TEST_F(ImportTest, AddressesThatCannotBeFetchedAreRefusedBeforeAnyRequest)
{
    Start();
    HaveList();
    const std::string port = std::to_string(service.server.Port());
    for (const std::string& url : {std::string(), "https://127.0.0.1:" + port + "/jp/show/mystatus",
                                  "http://127.0.0.1:" + port, "127.0.0.1:" + port + "/jp/show/mystatus"}) {
        SCOPED_TRACE(url);
        boxes::Reset();
        ASSERT_TRUE(stored::SetText("UrlMyAuction", url));
        Import();
        ASSERT_EQ(boxes::Shown().size(), 1u);
        ExpectBox(boxes::Shown()[0], "ミレロくん", "正しいＵＲＬを指定してください。\n[ " + url + " ]", MB_OK);
    }
    EXPECT_EQ(service.server.Connections(), 0);
    EXPECT_EQ(Caption(), "ミレロくん");
    EXPECT_EQ(gAuctionList.count, 2);
}

TEST_F(ImportTest, WithoutAStoredAddressTheDefaultPageIsAskedForThroughTheProxy)
{
    Start(true, false);
    ASSERT_TRUE(stored::SetNumber("Proxy", 1));
    ASSERT_TRUE(stored::SetText("ProxyHost", "127.0.0.1"));
    ASSERT_TRUE(stored::SetText("ProxyPort", std::to_string(service.server.Port())));
    Import();
    ASSERT_EQ(service.Targets(), std::vector<std::string>{"http://user.auctions.yahoo.co.jp/jp/show/mystatus"});
    EXPECT_NE(service.server.Requests()[0].find("\r\nHost: user.auctions.yahoo.co.jp\r\n"), std::string::npos);
}

TEST_F(ImportTest, AClickDuringARunIsIgnored)
{
    Start();
    Form3->NMHTTP1->TimeOut = 3000; // a tangled pair of runs ends soon
    // The name is answered late: until then "取り込み" is usable.
    TPowersock::LookupOverride = [](const std::string&, auto answer) {
        After(200, [answer] { answer("127.0.0.1"); });
    };
    ASSERT_TRUE(stored::SetText("UrlMyAuction", "http://myauction.test:" + std::to_string(service.server.Port()) +
                                                    "/jp/show/mystatus"));
    bool enabledMeanwhile = false;
    After(50, [&] {
        enabledMeanwhile = Form3->ui.BitBtn1->isEnabled();
        Form3->ui.BitBtn1->click();
    });
    Import();
    EXPECT_TRUE(enabledMeanwhile);
    EXPECT_EQ(service.Targets().size(), 2u);
    EXPECT_EQ(boxes::Texts(), std::vector<std::string>{"12 件、取得できました。"});
}

TEST_F(ImportTest, ClosingTheWindowDuringATransferAsksAndCancels)
{
    Start();
    const std::vector<std::pair<const char*, std::function<void()>>> closes = {
        {"close box", [] { Form3->close(); }},
        {"閉じる", [] { Form3->ui.BitBtn2->click(); }},
        {"Escape", [] { QTest::keyClick(Form3, Qt::Key_Escape); }},
    };
    for (const auto& [how, close] : closes) {
        SCOPED_TRACE(how);
        boxes::Reset();
        HaveList();
        service.hold = service.server.Connections();
        bool stayedOnNo = false;
        boxes::Answer(IDNO);
        boxes::Answer(IDYES);
        WhenHeld([&, close = close] {
            close();
            stayedOnNo = Form3->isVisible();
            close();
        });
        Import();

        EXPECT_TRUE(stayedOnNo);
        EXPECT_EQ(boxes::Texts(), (std::vector<std::string>{"受信を中断しますか？", "受信を中断しますか？", kAborted}));
        EXPECT_EQ(Titles(), (std::vector<std::string>{"old one", "old two"}));
        EXPECT_FALSE(Form3->isVisible()) << "closed once the run has reported";
    }
}

TEST_F(ImportTest, TheFollowUpWaitsForTheRunningAnalysis)
{
    Start();
    Form3->FollowUpRun = [] { Form1->QueueRunAnalysis(); };
    Form1->NMHTTP1->TimeOut = 5000;
    std::atomic<bool> imported{false};
    ScriptServer page([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        for (int i = 0; i < 500 && !imported; ++i)
            ::usleep(10000);
        c.Send("HTTP/1.0 200 OK\r\n\r\n" + EucFromUtf8(BidHistoryPage()));
        c.Close();
    });
    After(0, [&] {
        Import();
        imported = true;
    });
    Form1->ui.ComboBox1->setEditText(QString::fromStdString("http://" + page.Address() + "/jp/auction/t1"));
    Form1->ui.BitBtn1->click();

    EXPECT_EQ(boxes::Texts(), std::vector<std::string>{"12 件、取得できました。"});
    EXPECT_EQ(Form1->ui.Label10->text().toStdString(), "ｾｲｺｰ 腕時計 〓型 限定品");
    EXPECT_EQ(service.Targets().size(), 2u) << "no run inside the running one";
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.Targets().size() == 3 && Form1->ui.BitBtn1->isEnabled(); }));
    EXPECT_EQ(service.Targets().back(), "/jp/show/bid_hist?aID=a1&typ=log");
    EXPECT_EQ(boxes::Texts().size(), 1u);
}

// The notice before the cookie is sent. An empty stored address makes a run
// that goes on end at once with the address message.
TEST_F(ImportTest, TheCookieNoticeAsksUntilSilencedWithYes)
{
    Start();
    ASSERT_TRUE(stored::SetNumber("Cookie", 0));
    ASSERT_TRUE(stored::SetText("UrlMyAuction", ""));
    const auto proceeded = [] { return boxes::Shown().size() == 1; };
    const auto answer = [](std::function<void(TForm10*)> act) {
        boxes::Reset();
        boxes::WhenModal([act](QWidget* w) {
            ASSERT_EQ(w, Form10);
            act(Form10);
        });
    };

    // No with the box ticked: nothing is sent and nothing is stored.
    answer([](TForm10* f) {
        f->ui.CheckBox1->setChecked(true);
        f->ui.BitBtn2->click();
    });
    Import();
    EXPECT_FALSE(proceeded());
    EXPECT_EQ(stored::Number("Cookie"), 0);

    // The tick stays between showings; Escape says no.
    answer([](TForm10* f) {
        EXPECT_TRUE(f->ui.CheckBox1->isChecked());
        f->ui.CheckBox1->setChecked(false);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(f, &escape);
    });
    Import();
    EXPECT_FALSE(proceeded());

    // Yes without the tick goes on and asks again next time.
    answer([](TForm10* f) { f->ui.BitBtn1->click(); });
    Import();
    EXPECT_TRUE(proceeded());
    EXPECT_EQ(stored::Number("Cookie"), 0);

    // The close box goes on like Yes, and with the tick silences the notice.
    answer([](TForm10* f) {
        f->ui.CheckBox1->setChecked(true);
        f->close();
    });
    Import();
    EXPECT_TRUE(proceeded());
    EXPECT_EQ(stored::Number("Cookie"), 1);

    boxes::Reset();
    Import();
    EXPECT_TRUE(proceeded()) << "silenced";

    // Any value but 0 silences it.
    ASSERT_TRUE(stored::SetNumber("Cookie", -7));
    boxes::Reset();
    Import();
    EXPECT_TRUE(proceeded());
}

TEST_F(ImportTest, TheMainWindowOpensTheImportAndTheCookieWindows)
{
    Start();
    EXPECT_EQ(gBrowserCookie.Text(), "Y=sample") << "captured when the main window showed";
    QWidget* modal = nullptr;
    boxes::WhenModal([&modal](QWidget* w) {
        modal = w;
        EXPECT_EQ(Form8->ui.Memo1->toPlainText(), QStringLiteral("Y=sample"));
        Form8->ui.BitBtn2->click();
    });
    Form1->ui.URLU1->trigger();
    EXPECT_EQ(modal, Form8);

    boxes::WhenModal([&modal](QWidget* w) {
        modal = w;
        Form3->ui.BitBtn2->click();
    });
    Form1->ui.BitBtn2->click();
    EXPECT_EQ(modal, Form3);
    EXPECT_TRUE(Form3->ui.RadioButton1->isChecked());
    EXPECT_FALSE(Form3->ui.BitBtn6->isEnabled());
}
