// The analysis run end to end: the main window against a loopback service.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sstream>
#include <fcntl.h>
#include <unistd.h>

#include "analysis/AuctionTarget.h"
#include "app/ForecastTool.h"
#include "base/AuctionList.h"
#include "history/History.h"
#include "tests/analysis/FakeService.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/net/NetSupport.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Boxes.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/StoredSettings.h"
#include "ui/Sjis.h"

namespace {

using Texts = std::vector<std::string>;

constexpr std::time_t kHour = 3600, kDay = 86400;

// Holds the service's thread until the window has done its part (5 s at most).
void WaitFor(const std::atomic<bool>& flag)
{
    for (int i = 0; i < 500 && !flag; ++i)
        ::usleep(10000);
}

// The bid-history request for auction t1, byte for byte (the main window stores no cookie).
constexpr const char* kHistoryRequest = "GET /jp/show/bid_hist?aID=t1&typ=log HTTP/1.0\r\n"
                                        "Host: 127.0.0.1\r\n"
                                        "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                                        "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                                        "Content-type: application/x-www-form-urlencoded\r\n"
                                        "\r\n";

class RunAnalysisTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        boxes::Reset();
        gAuctionList = AuctionList{};
        now = std::time(nullptr);
        running = BidPage("ニコン D70 ボディ", now - 2 * kDay, now + 3 * kDay, 1000,
                          {{now - kHour, "taka_0815", 1500}, {now - kDay, "hiro1973", 1200}});
        service.Set(kHistory, Http("200 OK", EucFromUtf8(running)));
    }
    void TearDown() override
    {
        gAuctionList = AuctionList{};
        FormsTest::TearDown();
    }

    // Types text into the entry box and clicks "ミレロ".
    static void Run(const std::string& utf8)
    {
        Form1->ui.ComboBox1->setEditText(QString::fromStdString(utf8));
        Form1->ui.BitBtn1->click();
    }

    // The list a previous session saved, shown in the drop-down; titles in UTF-8.
    void ShowList(const std::vector<AuctionEntry>& entries)
    {
        for (AuctionEntry e : entries) {
            e.Title = SjisFromUtf8(e.Title);
            gAuctionList.entries[static_cast<std::size_t>(gAuctionList.count++)] = e;
        }
        Form1->ShowAuctionTitles();
    }

    static bool Idle()
    {
        const auto& ui = Form1->ui;
        return ui.BitBtn1->isEnabled() && !ui.BitBtn6->isEnabled() && !ui.Image3->isHidden() && ui.Image4->isHidden()
               && !std::filesystem::exists(".lock");
    }
    static bool PictureShown() { return !Form1->ui.Image5->pixmap().isNull(); }
    static std::string Text(const QLabel* label) { return label->text().toStdString(); }
    static int Rows() { return Form1->ui.StringGrid1->RowCount(); }
    static std::string Cell(int col, int row) { return Utf8FromSjis(Form1->ui.StringGrid1->Cell(col, row)); }
    // The chart's points as "label=price".
    static Texts Points()
    {
        Texts out;
        for (const ChartPoint& p : Form1->ui.Chart1->Points())
            out.push_back(Utf8FromSjis(p.label) + "=" + std::to_string(static_cast<long long>(p.y)));
        return out;
    }

    static inline const std::string kHistory = "/jp/show/bid_hist?aID=t1&typ=log";
    std::time_t now = 0;
    std::string running;
    FakeService service;
};

std::string SourceFile(const std::string& relative)
{
    return sandbox::ReadFile(std::string(MIRELO_SOURCE_DIR) + "/" + relative);
}

} // namespace

TEST_F(RunAnalysisTest, ARunSendsItsRequestHoldsTheLockAndShowsEverything)
{
    // What the window looks like while the page is on its way.
    bool busy = false;
    std::atomic<bool> looked{false};
    service.beforeReply = [&] { WaitFor(looked); };
    After(0, [&] {
        const auto& ui = Form1->ui;
        busy = !ui.BitBtn1->isEnabled() && ui.BitBtn6->isEnabled() && ui.Image3->isHidden() && !ui.Image4->isHidden()
               && std::filesystem::is_directory(".lock");
        looked = true;
    });
    Run("  " + service.Url("/jp/auction/t1") + "\t ");

    EXPECT_TRUE(busy);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(boxes::Texts(), Texts{});
    EXPECT_EQ(service.server.Requests(), Texts{kHistoryRequest});
    EXPECT_EQ(sandbox::ReadFile("http.txt"), EucFromUtf8(running));
    const auto& ui = Form1->ui;
    EXPECT_TRUE(ui.BitBtn5->isEnabled());
    EXPECT_TRUE(ui.BitBtn7->isEnabled());

    const std::string start = HeaderDate(now - 2 * kDay), end = HeaderDate(now + 3 * kDay);
    EXPECT_EQ(Text(ui.Label10), "ニコン D70 ボディ");
    EXPECT_EQ(Text(ui.Label11), start);
    EXPECT_EQ(Text(ui.Label12).substr(0, end.size()), end);
    EXPECT_EQ(Text(ui.Label13), "2");
    EXPECT_EQ(Text(ui.Label14), "(設定なし)");
    EXPECT_EQ(Text(ui.Label16), "1,500円");
    EXPECT_EQ(Text(ui.Label18), "seller_9");
    EXPECT_EQ(Text(ui.Label20), "t1");

    ASSERT_EQ(Rows(), 4);
    EXPECT_EQ(Cell(3, 1), "オークション開始。");
    EXPECT_EQ(Cell(3, 3), "taka_0815");
    EXPECT_EQ(ui.StringGrid1->item(3, 2)->text().toStdString(), "1,500");

    // Two days of five gone, 500 yen risen: 1,000 + 500 × 5/2 × 1.2, in steps of 100.
    EXPECT_EQ(Text(ui.Label22), "¥2,500");
    EXPECT_EQ(Text(ui.Label24), "40%");
    const std::tm e = Local(now + 3 * kDay);
    const std::string endLabel = Format("%d/%d %02d:%02d", e.tm_mon + 1, e.tm_mday, e.tm_hour, e.tm_min);
    const Texts points = Points();
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[3], "現在=1500");
    EXPECT_EQ(points[4], endLabel + "=2500");
    EXPECT_EQ(ui.Chart1->Points()[3].colour, QColor(0, 128, 0));

    const auto& foot = ui.Chart1->FootLines();
    ASSERT_EQ(foot.size(), 2u);
    EXPECT_EQ(Utf8FromSjis(foot[0]), "商品:ニコン D70 ボディ 予測:￥2,500 確度:40%");
    EXPECT_EQ(Utf8FromSjis(foot[1]), "開始:" + start + " 終了:" + Utf8FromSjis(gAuctionRecord.endText)
                                          + " 入札件数:2 希望落札価格:(未設定) 現在の価格:1,500 出品ID:t1 出品者ID:seller_9");

    // A query after the ID stays part of it.
    Run(service.Url("/jp/auction/t1?x=1"));
    EXPECT_EQ(service.Targets().back(), "/jp/show/bid_hist?aID=t1?x=1&typ=log");
}

TEST_F(RunAnalysisTest, ALaterRunReplacesEverythingAndAnErrorPageGivesTheResetTexts)
{
    Run(service.Url("/jp/auction/t1"));
    ASSERT_EQ(Rows(), 4);

    // Only the start row: no rows left over from the first run.
    service.Set("/jp/show/bid_hist?aID=t2&typ=log",
                Http("200 OK", EucFromUtf8(BidPage("iPod", now - kDay, now + kDay, 800, {}, "20,000"))));
    Run(service.Url("/jp/auction/t2"));
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(Text(Form1->ui.Label10), "iPod");
    EXPECT_EQ(Text(Form1->ui.Label14), "20,000円");
    ASSERT_EQ(Points().size(), 3u);
    EXPECT_EQ(Points()[1], "現在=800");

    // The service's error page is read like any other page.
    Run(service.Url("/jp/auction/gone"));
    EXPECT_EQ(boxes::Texts(), Texts{});
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(1, 0), "入札日時");
    EXPECT_EQ(Points(), Texts{});
    for (const QLabel* label : {Form1->ui.Label10, Form1->ui.Label11, Form1->ui.Label12, Form1->ui.Label13,
                                Form1->ui.Label16, Form1->ui.Label18, Form1->ui.Label20})
        EXPECT_EQ(Text(label), "(未取得)") << label->objectName().toStdString();
    EXPECT_EQ(Text(Form1->ui.Label14), "(設定なし)");
    EXPECT_TRUE(Idle());

    // Both pages name auction t1: one auction in the history, as the later
    // run read it; the error page names none.
    {
        History history;
        ASSERT_TRUE(history.OpenToRead());
        const std::vector<RecordedAuction> recorded = history.Auctions();
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].title, "iPod");
        EXPECT_EQ(recorded[0].address, service.Url("/jp/auction/t2"));
    }
    // A history that cannot be written leaves the run as it was.
    std::filesystem::remove(HistoryPath());
    std::filesystem::create_directory(HistoryPath());
    Run(service.Url("/jp/auction/t1"));
    EXPECT_EQ(boxes::Texts(), Texts{});
    EXPECT_EQ(Rows(), 4);
    EXPECT_TRUE(Idle());
}

TEST_F(RunAnalysisTest, EachRefusedInputHasItsMessageAndSendsNothing)
{
    const std::string host = "http://" + service.server.Address();
    const std::string id256(256, 'b');
    const std::string twoLine = "正しいＵＲＬを指定してください。\n[ ";
    const std::string oneLine = "正しいＵＲＬを指定してください。";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {" \t ", ""},
        {"b63350217", twoLine + "b63350217 ]"},
        {host, twoLine + host + " ]"},
        {"https://" + service.server.Address() + "/jp/auction/t1", twoLine + "https://" + service.server.Address() + "/jp/auction/t1 ]"},
        {"HTTP://" + service.server.Address() + "/jp/auction/t1", twoLine + "HTTP://" + service.server.Address() + "/jp/auction/t1 ]"},
        {host + "/jp/item/t1", oneLine},
        {host + "/JP/AUCTION/t1", oneLine},
        {host + "/jp/auction/" + id256, twoLine + host + "/jp/auction/" + id256 + " ]"},
        {host + "/jp/auction/" + std::string(1024 - host.size() - 12, 'b'),
         twoLine + host + "/jp/auction/" + std::string(1024 - host.size() - 12, 'b') + " ]"},
    };
    for (const auto& [input, message] : cases) {
        boxes::Reset();
        Run(input);
        EXPECT_EQ(boxes::Texts(), message.empty() ? Texts{} : Texts{message}) << input;
        EXPECT_TRUE(Idle()) << input;
    }
    EXPECT_EQ(service.server.Connections(), 0);
    EXPECT_FALSE(Form1->ui.BitBtn7->isEnabled()) << "no run got as far as the results";
}

TEST(AuctionTargetTest, AnAuctionIdMayBeAsLongAsItsRequestCanBeSent)
{
    // The request path is sent up to 256 characters: 226 of them are the ID's.
    const std::string id226(226, 'b');
    const AuctionTarget t = ReadAuctionTarget("http://127.0.0.1:1/jp/auction/" + id226, {});
    EXPECT_EQ(t.problem, AuctionTarget::None);
    EXPECT_EQ(t.requestPath, "/jp/show/bid_hist?aID=" + id226 + "&typ=log");
    EXPECT_EQ(t.requestPath.size(), 256u);

    const AuctionTarget longer = ReadAuctionTarget("http://127.0.0.1:1/jp/auction/" + id226 + "b", {});
    EXPECT_EQ(longer.problem, AuctionTarget::NotAnAddress) << "would lose its \"&typ=log\"";
}

TEST_F(RunAnalysisTest, AListTitleRunsItsAddressWithItsPictureUnlessSwitchedOff)
{
    service.Set("/img/t1.jpg", Http("200 OK", SourceFile("samples/img/e51122334.jpg")));
    ShowList({{service.Url("/jp/auction/t1"), "ニコン", service.Url("/img/t1.jpg")}});
    Run("ニコン");
    EXPECT_EQ(boxes::Texts(), Texts{});
    EXPECT_EQ(service.Targets(), (Texts{kHistory, "/img/t1.jpg"}));
    EXPECT_TRUE(PictureShown());
    EXPECT_TRUE(Idle());

    // A typed address never loads a picture, and the old one goes; nor does
    // a title when pictures are switched off.
    Run(service.Url("/jp/auction/t1"));
    EXPECT_FALSE(PictureShown());
    Run("ニコン");
    ASSERT_TRUE(PictureShown());
    ASSERT_TRUE(stored::SetNumber(regvalue::ShowImage, 0));
    Run("ニコン");
    EXPECT_FALSE(PictureShown());
    EXPECT_EQ(service.Targets(), (Texts{kHistory, "/img/t1.jpg", kHistory, kHistory, "/img/t1.jpg", kHistory}));

    // A title whose address is not one shows the address it stands for.
    ShowList({{"page 12", "壊れた", ""}});
    Run("壊れた");
    EXPECT_EQ(boxes::Texts(), Texts{"正しいＵＲＬを指定してください。\n[ page 12 ]"});
}

TEST_F(RunAnalysisTest, APictureThatCannotBeShownEndsTheRunAndLeavesThePreviousResults)
{
    const std::string jpeg = SourceFile("samples/img/e51122334.jpg");
    service.Set("/img/cut.jpg", Http("200 OK", jpeg.substr(0, 20)));
    service.Set("/img/good.jpg", Http("200 OK", jpeg));
    const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/img/t1.jpg";
    ShowList({{service.Url("/jp/auction/t1"), "cut", service.Url("/img/cut.jpg")},
              {service.Url("/jp/auction/t1"), "refused", refused},
              {service.Url("/jp/auction/t1"), "good", service.Url("/img/good.jpg")}});
    Run("good");
    ASSERT_TRUE(PictureShown());

    for (const char* entry : {"cut", "refused"}) {
        Run("good");
        boxes::Reset();
        Run(entry);
        ASSERT_FALSE(boxes::Texts().empty()) << entry;
        EXPECT_EQ(boxes::Texts().back(), "処理を中断しました。") << entry;
        EXPECT_FALSE(PictureShown()) << entry;
        EXPECT_TRUE(Idle());
        EXPECT_EQ(Text(Form1->ui.Label10), "ニコン D70 ボディ") << "the results are not touched";
        EXPECT_EQ(Rows(), 4);
    }
    EXPECT_EQ(sandbox::ReadFile("img.jpg"), jpeg) << "a failed fetch leaves the last picture";
}

TEST_F(RunAnalysisTest, ProxyOnWithoutAPortEndsBeforeAnythingIsSent)
{
    ASSERT_TRUE(stored::SetNumber(regvalue::Proxy, 1));
    ASSERT_TRUE(stored::SetText(regvalue::ProxyHost, "127.0.0.1"));
    Run(service.Url("/jp/auction/t1"));
    EXPECT_EQ(boxes::Texts(), Texts{"処理を中断しました。"});
    EXPECT_EQ(service.server.Connections(), 0);
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(Form1->ui.BitBtn7->isEnabled());
}

TEST_F(RunAnalysisTest, AStaleLockDelaysTheRunAndIsRemoved)
{
    std::filesystem::create_directory(".lock");
    QElapsedTimer clock;
    clock.start();
    Run("");
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_TRUE(Idle());

    // A file of that name delays the run the same way but is left alone.
    sandbox::WriteFile(".lock", "not ours");
    Run("");
    EXPECT_EQ(sandbox::ReadFile(".lock"), "not ours");
}

TEST_F(RunAnalysisTest, CancelAsksAndStopsTheDownloadOnlyOnYes)
{
    for (const int answer : {IDNO, IDYES}) {
        boxes::Reset();
        std::atomic<bool> asked{false};
        // The reply starts, then waits for the question to be answered.
        ScriptServer slow([&](ScriptServer::Conn& c, int) {
            c.ReadRequest();
            const std::string reply = Http("200 OK", EucFromUtf8(running));
            c.Send(reply.substr(0, 100));
            WaitFor(asked);
            c.Send(reply.substr(100));
            c.Close();
        });
        boxes::OnNext([&, answer](const ShownBox&, std::string&) {
            asked = true;
            return answer;
        });
        After(50, [] { Form1->ui.BitBtn6->click(); });
        Run("http://" + slow.Address() + "/jp/auction/t1");

        if (answer == IDYES) {
            EXPECT_EQ(boxes::Texts(), (Texts{"受信を中断しますか？", "処理を中断しました。"}));
            EXPECT_FALSE(Form1->ui.BitBtn7->isEnabled()) << "no results from a cancelled run";
        } else {
            EXPECT_EQ(boxes::Texts(), Texts{"受信を中断しますか？"});
            EXPECT_TRUE(Form1->ui.BitBtn7->isEnabled());
            EXPECT_EQ(Rows(), 4);
            Form1->ui.BitBtn7->setEnabled(false);
        }
        EXPECT_TRUE(Idle());
    }
}

namespace {

// Runs url in a copy of this test program, a process of its own in this
// test's folder; the copy writes the title it shows into "shown-<url's last letter>".
int StartCopy(const std::string& url)
{
    setenv("MIRELO_COPY", (sandbox::Dir() + "\n" + url).c_str(), 1);
    const int pid = StartChild([] {
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        ::execl("/proc/self/exe", "copy", "--gtest_filter=RunAnalysisTest.DISABLED_CopyInAFolderOfAnother",
                "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
        return 127;
    });
    unsetenv("MIRELO_COPY");
    return pid;
}

} // namespace

TEST_F(RunAnalysisTest, DISABLED_CopyInAFolderOfAnother)
{
    ASSERT_NE(std::getenv("MIRELO_COPY"), nullptr);
    std::istringstream copy(std::getenv("MIRELO_COPY"));
    std::string folder, url;
    std::getline(copy, folder);
    std::getline(copy, url);
    std::filesystem::current_path(folder);
    Run(url);
    sandbox::WriteFile("shown-" + url.substr(url.size() - 1), Text(Form1->ui.Label10));
}

TEST_F(RunAnalysisTest, TwoCopiesInOneFolderEachShowTheirOwnAuction)
{
    // A's page stops halfway until B, started meanwhile, has all of its own;
    // both pages are longer than any socket buffer.
    const std::string padding(40000, '\n');
    const std::string pageA = EucFromUtf8(BidPage("A の品", now - kDay, now + kDay, 100, {}) + padding);
    const std::string pageB = EucFromUtf8(BidPage("B の品", now - kDay, now + kDay, 200, {}) + padding);
    std::atomic<bool> halfSent{false}, bServed{false};
    ScriptServer slow([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        const std::string reply = Http("200 OK", pageA);
        c.Send(reply.substr(0, reply.size() / 2));
        halfSent = true;
        WaitFor(bServed);
        c.Send(reply.substr(reply.size() / 2));
        c.Close();
    });
    ScriptServer fast([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send(Http("200 OK", pageB));
        c.Close();
        bServed = true;
    });
    const int a = StartCopy("http://" + slow.Address() + "/jp/auction/a");
    WaitFor(halfSent);
    EXPECT_EQ(WaitChild(StartCopy("http://" + fast.Address() + "/jp/auction/b")), 0);
    EXPECT_EQ(WaitChild(a), 0);
    EXPECT_EQ(sandbox::ReadFile("shown-a"), "A の品");
    EXPECT_EQ(sandbox::ReadFile("shown-b"), "B の品");
    const std::string last = sandbox::ReadFile("http.txt");
    EXPECT_TRUE(last == pageA || last == pageB) << "one whole page, not a mix";

    // A download cut halfway keeps the work file and leaves no private file.
    ScriptServer cut([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send(Http("200 OK", running).substr(0, 300));
        c.Reset();
    });
    Run("http://" + cut.Address() + "/jp/auction/t1");
    EXPECT_EQ(boxes::Texts(), Texts{"処理を中断しました。"});
    EXPECT_EQ(sandbox::ReadFile("http.txt"), last);
    // So does a reply cut inside its header: a broken transfer, not an empty page.
    ScriptServer headerCut(ScriptServer::Reply("HTTP/1.0 200 OK\r\nContent-Type: text/ht"));
    boxes::Reset();
    Run("http://" + headerCut.Address() + "/jp/auction/t1");
    EXPECT_EQ(boxes::Texts(), Texts{"処理を中断しました。"});
    EXPECT_EQ(sandbox::ReadFile("http.txt"), last);
    for (const auto& entry : std::filesystem::directory_iterator("."))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(RunAnalysisTest, TheLockWaitKeepsTheWindowAlive)
{
    std::filesystem::create_directory(".lock");
    bool handledWhileWaiting = false;
    After(0, [&] {
        handledWhileWaiting = !Form1->ui.BitBtn1->isEnabled();
        std::filesystem::remove(".lock"); // its owner ends: the run takes it
    });
    Run("");
    EXPECT_TRUE(handledWhileWaiting);
    EXPECT_TRUE(Idle());
}

TEST_F(RunAnalysisTest, ClosingTheWindowDuringARunEndsTheRunAndTheProgram)
{
    for (const bool downloading : {false, true}) {
        boxes::Reset();
        std::atomic<bool> requested{false}, ended{false};
        std::string peer;
        ScriptServer held([&](ScriptServer::Conn& c, int) {
            c.ReadRequest();
            requested = true;
            peer = c.WaitPeerEnd(20000);
            ended = true;
        });
        if (!downloading)
            std::filesystem::create_directory(".lock");
        Form1->show();
        After(0, [&] { Run("http://" + held.Address() + "/jp/auction/t1"); });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (requested || !downloading) {
                poll.stop();
                Form1->close();
            }
        });
        poll.start(10);
        QApplication::exec();

        EXPECT_EQ(boxes::Texts(), Texts{"商品リストを保存してから終了しますか？"}) << downloading;
        EXPECT_TRUE(Idle()) << downloading;
        if (downloading)
            WaitFor(ended);
        EXPECT_NE(peer, "open") << "the request is given up at once";
        EXPECT_EQ(held.Connections(), downloading ? 1 : 0);
    }
}

TEST_F(RunAnalysisTest, PickingATitleRunsOnlyWithTitleGoAndWhenNoRunIsActive)
{
    ShowList({{service.Url("/jp/auction/t0"), "first", ""}, {service.Url("/jp/auction/t1"), "second", ""}});
    EXPECT_EQ(service.server.Connections(), 0) << "loading the list is not a pick";

    ASSERT_TRUE(stored::SetNumber(regvalue::TitleGo, 0));
    QTest::keyClick(Form1->ui.ComboBox1, Qt::Key_Down);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), "second");
    EXPECT_EQ(service.server.Connections(), 0);

    ASSERT_TRUE(stored::SetNumber(regvalue::TitleGo, 1));
    // A second pick while the first run waits for its page does not start another.
    std::atomic<bool> picked{false};
    service.beforeReply = [&] { WaitFor(picked); };
    After(0, [&] {
        QTest::keyClick(Form1->ui.ComboBox1, Qt::Key_Down);
        picked = true;
    });
    QTest::keyClick(Form1->ui.ComboBox1, Qt::Key_Up);
    EXPECT_EQ(service.Targets(), Texts{"/jp/show/bid_hist?aID=t0&typ=log"});
    EXPECT_EQ(boxes::Texts(), Texts{});
    EXPECT_TRUE(Idle());
}

namespace {

class ForecastUrlTest : public testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };
    static Result Tool(const std::vector<std::string>& args)
    {
        std::ostringstream out, err;
        const int status = RunForecastTool(args, out, err);
        return {status, out.str(), err.str()};
    }

    std::time_t now = std::time(nullptr);
    FakeService service;
};

} // namespace

TEST_F(ForecastUrlTest, AnAuctionAddressIsFetchedLikeTheWindowDoesOrFailsClearly)
{
    service.Set("/jp/show/bid_hist?aID=t1&typ=log",
                Http("200 OK", EucFromUtf8(BidPage("ニコン D70 ボディ", now - 2 * kDay, now + 3 * kDay, 1000,
                                                   {{now - kHour, "taka_0815", 1500}}))));
    service.Set("/jp/show/bid_hist?aID=cut&typ=log", "HTTP/1.0 200 OK\r\nContent-Ty");
    const Result fetched = Tool({service.Url("/jp/auction/t1"), "--tendency", "middle"});
    EXPECT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_NE(fetched.out.find("商品：ニコン D70 ボディ\n"), std::string::npos) << fetched.out;
    EXPECT_NE(fetched.out.find("落札予測：¥2,500\n確度：40%\n"), std::string::npos) << fetched.out;
    EXPECT_EQ(service.server.Requests(), Texts{kHistoryRequest});
    EXPECT_FALSE(std::filesystem::exists("http.txt")) << "the window's work file is not the tool's";

    // Failures: status 1 and a message, nothing on standard output.
    const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/jp/auction/t1";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {service.Url("/jp/auction/gone"), "cannot fetch " + service.Url("/jp/auction/gone") + ": the service answered 404"},
        {refused, "cannot fetch " + refused + ": "},
        {"https://127.0.0.1/jp/auction/t1", "https://127.0.0.1/jp/auction/t1 is not an auction page address"},
        {service.Url("/jp/item/t1"), service.Url("/jp/item/t1") + " is not an auction page address"},
        {service.Url("/jp/auction/cut"),
         "cannot fetch " + service.Url("/jp/auction/cut") + ": Connection closed before the end of the reply header"},
    };
    for (const auto& [url, message] : cases) {
        const Result run = Tool({url});
        EXPECT_EQ(run.status, 1) << url;
        EXPECT_EQ(run.err.rfind("mirelo-forecast: " + message, 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
    }

    // The stored proxy is used; one without a port stops the tool before anything is sent.
    ASSERT_TRUE(stored::SetNumber(regvalue::Proxy, 1));
    ASSERT_TRUE(stored::SetText(regvalue::ProxyHost, "127.0.0.1"));
    EXPECT_EQ(Tool({service.Url("/jp/auction/t1")}).status, 1);
    EXPECT_EQ(service.server.Connections(), 3) << "the first run, the 404 and the cut header only";
}
