// The board's reads against a service on 127.0.0.1: recorded as a run
// records them, and every bad input a clear state of its row.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <sstream>

#include "base/Registry.h"
#include "board/BoardReader.h"
#include "board/BoardText.h"
#include "board/BoardTool.h"
#include "history/History.h"
#include "net/NMHTTP.h"
#include "tests/analysis/FakeService.h"
#include "tests/analysis/PageFixtures.h"

namespace {

constexpr std::time_t kHour = 3600, kDay = 86400;
constexpr const char* kHistoryTarget = "/jp/show/bid_hist?aID=t1&typ=log";

std::string Running(std::time_t now)
{
    return EucFromUtf8(BidPage("Camera", now - kDay, now + kDay, 1000, {{now - kHour, "b1", 1500}}));
}

// The reply as a service whose clock says serviceNow sends it.
std::string Dated(std::string reply, std::time_t serviceNow)
{
    const QString date = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(serviceNow, Qt::UTC),
                                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    return reply.insert(reply.find("\r\n") + 2, "Date: " + date.toStdString() + "\r\n");
}

std::string Ended(std::time_t now)
{
    return EucFromUtf8(BidPage("Camera", now - 2 * kDay, now - kHour, 1000, {{now - 2 * kHour, "b1", 2500}}));
}

class BoardReadTest : public testing::Test {
protected:
    BoardReading Read(const std::string& url) { return reader.Read(url, now, 1, true); }
    std::string Url() const { return service.Url("/jp/auction/t1"); }

    FakeService service;
    BoardReader reader{"./board.txt"};
    std::time_t now = std::time(nullptr);
};

} // namespace

TEST_F(BoardReadTest, EveryReadIsRecordedAsARunAndTheEndedOneWithItsClosingPrice)
{
    service.Set(kHistoryTarget, Http("200 OK", Running(now)));
    BoardReading r = Read(Url());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.recorded);
    EXPECT_EQ(r.auction.LatestPrice(), 1500);
    ASSERT_TRUE(r.prediction);
    EXPECT_FALSE(r.prediction->ended);

    service.Set(kHistoryTarget, Http("200 OK", Ended(now)));
    r = Read(Url());
    ASSERT_TRUE(r.ok) << r.error;
    History history;
    ASSERT_TRUE(history.OpenToRead());
    const std::vector<RecordedAuction> auctions = history.Auctions();
    ASSERT_EQ(auctions.size(), 1u);
    EXPECT_TRUE(auctions[0].ended);
    EXPECT_EQ(auctions[0].closingPrice, 2500);
    EXPECT_EQ(auctions[0].address, Url());
    // The forecast of the running read is the one beside the closing price.
    EXPECT_EQ(r.halfTimeForecast, auctions[0].lastForecast);
}

TEST_F(BoardReadTest, BadInputsGiveTheirRowAClearReason)
{
    ScriptServer halfPage([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        // The connection closes with the end time still to come.
        const std::string page = Http("200 OK", Running(now));
        c.Send(page.substr(0, page.find(EucFromUtf8("終了日時"))));
        c.Close();
    });
    ScriptServer hang([](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.WaitPeerEnd(3000);
    });
    service.Set("/jp/show/bid_hist?aID=t2&typ=log", Http("200 OK", EucFromUtf8("<HTML>ようこそ</HTML>")));
    service.Set("/jp/show/bid_hist?aID=t3&typ=log", Http("500 Internal Server Error", "oops"));
    reader.Http().TimeOut = 500;
    const struct {
        std::string url;
        const char* reason; // UTF-8, the start of the row's error
        bool permanent;
    } cases[] = {
        {"mailto:someone@example.com", "オークションのアドレスではありません", true},
        {"ただの商品名", "オークションのアドレスではありません", true},
        {service.Url("/jp/auction/gone"), "オークションが見つかりません（404）", false},
        {service.Url("/jp/auction/t2"), "入札履歴のページではありません", false},
        {service.Url("/jp/auction/t3"), "サーバーの応答 500", false},
        {"http://" + halfPage.Address() + "/jp/auction/t1", "終了日時が読めません", false},
        {"http://" + hang.Address() + "/jp/auction/t1", "応答がありません（時間切れ）", false},
        {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/jp/auction/t1", "読み込めません（接続できません）", false},
    };
    for (const auto& c : cases) {
        const BoardReading r = Read(SjisFromUtf8(c.url));
        EXPECT_FALSE(r.ok) << c.url;
        EXPECT_EQ(Utf8FromSjis(r.error).rfind(c.reason, 0), 0u) << c.url << ": " << Utf8FromSjis(r.error);
        EXPECT_EQ(r.permanent, c.permanent) << c.url;
    }
}

TEST_F(BoardReadTest, AHistoryHeldByAnotherCopyCostsTheRecordNotTheRead)
{
    {
        History history;
        ASSERT_TRUE(history.Open());
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(HistoryPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    service.Set(kHistoryTarget, Http("200 OK", Ended(now)));
    const BoardReading r = Read(Url());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.recordFailed);

    // The board shows it and reads the closing price again later.
    Board board;
    board.SetEntries({{Url(), "Camera", ""}}, now);
    board.Started(0, now);
    board.Finished(0, r);
    EXPECT_EQ(StateText(board.Rows()[0]), QString::fromUtf8("エラー: 履歴に記録できません（ほかのコピーが使用中か、書き込めません）"));
    EXPECT_TRUE(board.Rows()[0].due);
}

TEST_F(BoardReadTest, TheServicesClockSaysWhetherAnAuctionHasEnded)
{
    // This computer's clock runs 40 s fast: by the service's the auction has 20 s to go.
    const std::time_t end = (now / 60 + 1) * 60; // the page gives whole minutes
    const std::time_t serviceNow = end - 20;
    now = end + 20;
    service.Set(kHistoryTarget, Dated(Http("200 OK", EucFromUtf8(BidPage("Camera", serviceNow - kDay, end, 1000,
                                                                          {{serviceNow - kHour, "b1", 1500}}))),
                                      serviceNow));
    const BoardReading r = Read(Url());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.now, serviceNow);
    ASSERT_TRUE(r.prediction);
    EXPECT_FALSE(r.prediction->ended);
    Board board;
    board.SetEntries({{Url(), "Camera", ""}, {service.Url("/jp/auction/t2"), "Lens", ""}}, now);
    board.Started(0, now);
    board.LearnClock(now, serviceNow);
    board.Finished(0, r);
    EXPECT_FALSE(board.Rows()[0].done);
    EXPECT_EQ(board.Rows()[0].due, end + schedule::kAfterEnd);
    EXPECT_EQ(board.ServiceTime(now + 5), serviceNow + 5);
    // The row listed on this clock is due now by the service's.
    EXPECT_EQ(board.Rows()[1].due, serviceNow);

    for (const char* stray : {"Thu, 01 Jan 1970 00:00:00 GMT", "yesterday", ""})
        EXPECT_EQ(ServiceTimeOf(stray, now), std::nullopt) << stray;
}

TEST_F(BoardReadTest, TheToolPrintsEveryEntryAndCarriesTheErrorsOfThoseThatFail)
{
    // The service's clock is two hours behind this one's: the time left is by the service's.
    service.Set(kHistoryTarget, Dated(Http("200 OK", Running(now - 2 * kHour)), now - 2 * kHour));
    AuctionList list;
    list.entries[0] = {Url(), "Camera", ""};
    list.entries[1] = {service.Url("/jp/auction/gone"), "Gone", ""};
    list.entries[2] = {SjisFromUtf8("リストの見出し"), "Heading", ""};
    list.count = 3;
    ASSERT_TRUE(StoreAuctionList(list, true));
    ASSERT_EQ(StoreAuctionLimit("t1", 3000), 0);
    // The quickest gap the settings allow keeps the test short.
    ASSERT_TRUE(StoreBoardSettings(BoardSettings{BoardSettings::kMinFloor, 1, 5, true, false}));

    std::ostringstream out, err;
    EXPECT_EQ(RunBoardTool({"--board", "--json", "--record"}, out, err), 1);
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).array();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0][QStringLiteral("state")].toString(), QStringLiteral("waiting"));
    EXPECT_EQ(rows[0][QStringLiteral("price")].toInt(), 1500);
    EXPECT_EQ(rows[0][QStringLiteral("limit")].toInt(), 3000);
    EXPECT_NEAR(rows[0][QStringLiteral("secondsLeft")].toInt(), kDay, 120);
    // Alone, and without a market or past forecasts: no group, no band, no chance.
    EXPECT_FALSE(rows[0][QStringLiteral("cheapest")].toBool(true));
    for (const char* key : {"group", "chance", "bandLow", "bandHigh"})
        EXPECT_TRUE(rows[0][QLatin1String(key)].isNull()) << key;
    EXPECT_EQ(rows[1][QStringLiteral("state")].toString(), QStringLiteral("error"));
    EXPECT_EQ(rows[1][QStringLiteral("error")].toString(), QString::fromUtf8("オークションが見つかりません（404）"));
    EXPECT_EQ(rows[2][QStringLiteral("state")].toString(), QStringLiteral("error"));
    History history;
    ASSERT_TRUE(history.OpenToRead());
    EXPECT_EQ(history.Auctions().size(), 1u);

    std::ostringstream usage;
    EXPECT_EQ(RunBoardTool({"--board", "--bogus"}, usage, err), 2);
}
