#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

#include "analysis/Prediction.h"
#include "app/ForecastTool.h"
#include "base/Text.h"
#include "history/History.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun Tool(const std::vector<std::string>& args, const char* encoding = "UTF-8")
{
    std::ostringstream out, err;
    ToolRun run;
    run.status = RunForecastTool(args, out, err, encoding);
    run.out = out.str();
    run.err = err.str();
    return run;
}

class ForecastToolTest : public testing::Test {
protected:
    void SetUp() override { WriteEucPage("page.html", BidHistoryPage()); }
    static std::vector<std::string> At(const char* now, std::vector<std::string> more = {})
    {
        std::vector<std::string> args{"page.html", "--now", now};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

std::string Grouped(int value)
{
    return GroupedNumber(value, QLocale::system()).toStdString();
}

} // namespace

TEST_F(ForecastToolTest, PrintsTheItemEveryBidAndTheForecast)
{
    const ToolRun run = Tool(At("2023-12-29 22:00"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, run.out.find("\n\n")),
              "商品：ｾｲｺｰ 腕時計 〓型 限定品\n出品日時：12月20日 10時00分\n終了日時：12月30日 22時00分\n"
              "手動入札件数：4 \n希望落札金額：5,000円\n現在の価格：1,200円\n出品者：seller_1\nｵｰｸｼｮﾝID：b12345678");
    EXPECT_NE(run.out.find("SN\t入札日時\t入札金額(円)\t入札者\t入札方法\n1\t12/20 10:00\t" + Grouped(1000)
                           + "\tオークション開始。\t 開始価格\n2\t12/26 08:00\t"),
              std::string::npos);
    EXPECT_NE(run.out.find("4\t12/28 21:05\t" + Grouped(1200) + "\tabc\t手動入札\n\n落札予測：¥" + Grouped(1300)
                           + "\n確度：90%\n予測傾向：無難（ふつう）\n"),
              std::string::npos);

    // The terminal's encoding; unchanged for UTF-8 and for the C locale's ASCII.
    EXPECT_EQ(Tool(At("2023-12-29 22:00"), "EUC-JP").out.substr(0, 6), EucFromUtf8("商品："));
    EXPECT_EQ(Tool(At("2023-12-29 22:00"), "ANSI_X3.4-1968").out, run.out);
}

TEST_F(ForecastToolTest, TendencyComesFromTheOptionOrTheStore)
{
    ASSERT_TRUE(stored::SetNumber(regvalue::Keiko, 0));
    const std::string stored = Tool(At("2023-12-29 22:00")).out;
    EXPECT_NE(stored.find("落札予測：¥" + Grouped(1200) + "\n確度：90%\n予測傾向：控えめ（安め）"), std::string::npos);
    const std::string high = Tool(At("2023-12-29 22:00", {"--tendency", "high"})).out;
    EXPECT_NE(high.find("¥" + Grouped(1300) + "\n確度：90%\n予測傾向：辛め（高め）"), std::string::npos);
}

TEST_F(ForecastToolTest, JsonCarriesNumbersAndUnicodeTexts)
{
    const ToolRun run = Tool({"--json", "page.html", "--tendency", "middle", "--now", "2023-12-29 22:00"});
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    EXPECT_EQ(root["item"]["title"].toString(), QString::fromUtf8("ｾｲｺｰ 腕時計 〓型 限定品"));
    const QJsonArray bids = root["bids"].toArray();
    ASSERT_EQ(bids.size(), 4);
    EXPECT_EQ(bids[0]["bidderId"].toString(), QString::fromUtf8("オークション開始。"));
    EXPECT_EQ(bids[3]["time"].toInteger(), LocalTime(2023, 12, 28, 21, 5));
    EXPECT_EQ(bids[3]["price"].toInt(), 1200);
    EXPECT_EQ(root["forecast"]["price"].toInt(), 1300);
    EXPECT_EQ(root["forecast"]["confidence"].toInt(), 90);
    EXPECT_EQ(root["forecast"]["endTime"].toInteger(), LocalTime(2023, 12, 30, 22, 0));
    EXPECT_EQ(root["tendency"].toString(), QStringLiteral("middle"));

    const QJsonObject ended = QJsonDocument::fromJson(QByteArray::fromStdString(
        Tool(At("2023-12-30 22:00", {"--json"})).out)).object();
    EXPECT_TRUE(ended["forecast"]["ended"].toBool());
    EXPECT_TRUE(ended["forecast"]["price"].isNull());
}

TEST_F(ForecastToolTest, EndedAuctionAndTheTurnOfTheYear)
{
    EXPECT_NE(Tool(At("2023-12-30 22:00")).out.find("落札予測：（終了）\n確度：100%"), std::string::npos);
    WriteEucPage("page.html", BidHistoryPage(0, "1月3日 10時00分"));
    EXPECT_NE(Tool(At("2023-12-30 12:00")).out.find("落札予測：¥"), std::string::npos);
}

TEST_F(ForecastToolTest, NowIsReadInZonesWithDaylightSaving)
{
    const LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(ParseNowOption("2026-06-15 12:00"), LocalTime(2026, 6, 15, 12, 0)) << "standard time, as the pages";
    EXPECT_EQ(ParseNowOption("2026-03-29 02:30"), LocalTime(2026, 3, 29, 2, 30)) << "the hour skipped in spring";
    EXPECT_EQ(ParseNowOption("2026-06-31 12:00"), std::nullopt);
    EXPECT_EQ(Tool(At("2023-06-15 12:00")).status, 0);
}

TEST_F(ForecastToolTest, FailsClearlyWithANonZeroStatus)
{
    const ToolRun missing = Tool({"absent.html"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "mirelo-forecast: cannot read absent.html: No such file or directory\n");
    EXPECT_EQ(missing.out, "");

    sandbox::WriteFile("other.html", "<HTML><TITLE>Another site</TITLE>nothing here</HTML>\n");
    const ToolRun other = Tool({"other.html"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("other.html is not a bid-history page"), std::string::npos);
    EXPECT_EQ(Tool({"."}).status, 1);

    WriteEucPage("page.html", BidHistoryPage(0, "未定"));
    const ToolRun noEnd = Tool(At("2023-12-29 22:00"));
    EXPECT_EQ(noEnd.status, 1) << "no forecast is not a success";
    EXPECT_NE(noEnd.out.find("落札予測：（未予測）"), std::string::npos) << "what could be read is still shown";
    EXPECT_EQ(noEnd.err, "mirelo-forecast: no forecast: the end time cannot be read\n");

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {}, {"a.html", "b.html"}, {"page.html", "--now"}, {"page.html", "--now", "2023-02-30 10:00"},
             {"page.html", "--now", "2023-12-29"}, {"page.html", "--tendency", "bold"}, {"page.html", "--verbose"}}) {
        const ToolRun run = Tool(wrong);
        EXPECT_EQ(run.status, 2) << testing::PrintToString(wrong);
        EXPECT_NE(run.err.find("usage: mirelo-forecast PAGE.html"), std::string::npos);
    }
    EXPECT_EQ(Tool({"--help"}).status, 0);
}

TEST_F(ForecastToolTest, RecordsOnlyWhenAskedAndShowsTheMarketOfSimilarSales)
{
    const ToolRun plain = Tool(At("2023-12-31 10:00", {"--json"}));
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(plain.out))["market"].isNull());
    EXPECT_FALSE(std::filesystem::exists(HistoryPath())) << "a replay writes nothing";

    // Three ended sales of the same watch, each closing at 1,200.
    for (const char* id : {"c1", "c2", "c3"}) {
        std::string page = BidHistoryPage();
        page.replace(page.find("b12345678"), 9, id);
        WriteEucPage("sold.html", page);
        EXPECT_EQ(Tool({"sold.html", "--now", "2023-12-31 10:00", "--record"}).status, 0) << id;
    }
    const QJsonObject market = QJsonDocument::fromJson(QByteArray::fromStdString(
        Tool(At("2023-12-29 22:00", {"--json"})).out))["market"].toObject();
    EXPECT_EQ(market["price"].toInt(), 1200);
    EXPECT_EQ(market["count"].toInt(), 3);
    EXPECT_EQ(market["low"].toInt(), 1200);
    EXPECT_EQ(market["forecast"].toInt(), 1200);
    const QJsonArray similar = market["similar"].toArray();
    ASSERT_EQ(similar.size(), 3);
    EXPECT_EQ(similar[0]["title"].toString(), QString::fromUtf8("ｾｲｺｰ 腕時計 〓型 限定品"));
    EXPECT_EQ(similar[0]["similarity"].toDouble(), 1.0);
    EXPECT_EQ(similar[0]["endTime"].toInteger(), LocalTime(2023, 12, 30, 22, 0));
    const std::string yen = "¥" + Grouped(1200);
    const std::string text = Tool(At("2023-12-29 22:00")).out;
    EXPECT_NE(text.find("相場：" + yen + "（類似 3 件、" + yen + "〜" + yen + "）\n相場を加味した予測：" + yen), text.npos);
    EXPECT_NE(text.find("予想範囲：" + yen + "〜"), text.npos) << "the band starts at the current price";

    // The band and the chance at a limit: none below the current price, all far above it.
    for (const auto& [limit, chance] : {std::pair{"1100", 0.0}, std::pair{"100000", 1.0}}) {
        const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(
            Tool(At("2023-12-29 22:00", {"--json", "--limit", limit})).out)).object();
        EXPECT_EQ(root["chance"].toDouble(-1), chance) << limit;
        const QJsonObject band = root["band"].toObject();
        EXPECT_EQ(band["basis"].toString(), QStringLiteral("market"));
        EXPECT_EQ(band["count"].toInt(), 3);
        EXPECT_EQ(band["low"].toInt(), 1200);
        EXPECT_GE(band["high"].toInt(), 1200);
    }
    EXPECT_EQ(Tool(At("2023-12-29 22:00", {"--limit", "12O0"})).status, 2);

    // A history that cannot be written is not a silent success.
    std::filesystem::remove_all(sandbox::ConfigHome());
    sandbox::WriteFile(sandbox::ConfigHome(), "not a folder");
    const ToolRun refused = Tool(At("2023-12-29 22:00", {"--record"}));
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("not recorded"), std::string::npos);
}

TEST_F(ForecastToolTest, JsonListsTheModelsSalesLeftOutOfTheMarketWithWhy)
{
    std::string page = BidHistoryPage();
    for (std::size_t at; (at = page.find("丂型")) != std::string::npos;)
        page.replace(at, std::string("丂型").size(), "SARB033");
    WriteEucPage("page.html", page);
    {
        History history;
        ASSERT_TRUE(history.Open());
        const struct {
            const char *id, *title;
            std::int32_t price;
        } sales[] = {
            {"c1", "セイコー SARB033 自動巻き 腕時計", 45000}, {"c2", "SEIKO SARB033 箱・保証書あり", 44000},
            {"c3", "SEIKO SARB033 匿名配送対応", 46000},       {"c4", "セイコー SARB033 美品", 43000},
            {"a1", "SARB033対応 替えベルト 互換", 2000},        {"j1", "SEIKO SARB033 ジャンク", 9000},
        };
        std::int32_t end = static_cast<std::int32_t>(LocalTime(2023, 12, 1, 10, 0));
        for (const auto& sale : sales) {
            AuctionRecord record;
            record.auctionId = sale.id;
            record.title = SjisFromUtf8(sale.title);
            BidLog log;
            log.Add({end, sale.price, "", "bidder", ""});
            log.Add({end - 86400, 100, "", "start", ""});
            Prediction ended;
            ended.ended = true;
            ended.endTime = end;
            ASSERT_TRUE(history.Record(record, log, ended, 1, "", end + 1));
            end += 3600;
        }
        ASSERT_TRUE(history.SetExcluded("b12345678", "c4", true));
    }
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(Tool(At("2023-12-29 22:00", {"--json"})).out));
    const QJsonObject market = json["market"].toObject();
    EXPECT_EQ(market["count"].toInt(), 3);
    ASSERT_EQ(market["excluded"].toArray().size(), 1);
    EXPECT_EQ(market["excluded"][0]["auctionId"].toString(), "c4");
    EXPECT_TRUE(market["outliers"].toArray().isEmpty());
    std::set<std::pair<QString, QString>> why;
    for (const QJsonValue sale : json["notTaken"].toArray())
        why.emplace(sale["auctionId"].toString(), sale["reason"].toString());
    EXPECT_EQ(why, (std::set<std::pair<QString, QString>>{{"c4", "excluded"}, {"a1", "accessory"}, {"j1", "junk"}}));
}

// Titles that break naive CSV come back whole through Python's csv module,
// with a cell that would start a formula guarded.
TEST_F(ForecastToolTest, HistoryCsvOfHostileTitlesReadsBackWhole)
{
    const std::string titles[] = {"a, \"quoted\", and\ttabbed", "=HYPERLINK(\"http://x\")", "+1", "-2", "@SUM(A1)",
                                  "line\r\nbreak", std::string("nul \x00 ff \xff end", 14), "素直な題名"};
    {
        History history;
        ASSERT_TRUE(history.Open());
        for (std::size_t i = 0; i < std::size(titles); ++i) {
            AuctionRecord record;
            record.auctionId = "h" + std::to_string(i);
            record.title = i + 1 == std::size(titles) ? SjisFromUtf8(titles[i]) : titles[i];
            BidLog log;
            log.Add({1'700'000'000, 1000, "", "bidder", ""});
            Prediction p;
            p.ended = false;
            p.forecast = 2000;
            p.endTime = 1'700'100'000;
            ASSERT_TRUE(history.Record(record, log, p, 1, "", 1'700'000'000 + static_cast<std::time_t>(i)));
        }
    }
    const ToolRun run = Tool({"--history-csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark first";
    sandbox::WriteFile("history.csv", run.out);

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open('history.csv', newline='', encoding='utf-8-sig') as f:\n"
                                 "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n")});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(std::size(titles)) + 1);
    EXPECT_EQ(rows[0][1].toString(), QStringLiteral("商品"));
    const QString expected[] = {QStringLiteral("a, \"quoted\", and\ttabbed"), QStringLiteral("'=HYPERLINK(\"http://x\")"),
                                QStringLiteral("'+1"), QStringLiteral("'-2"), QStringLiteral("'@SUM(A1)"),
                                QStringLiteral("line\r\nbreak"), QStringLiteral("nul ? ff ? end"),
                                QStringLiteral("素直な題名")};
    for (std::size_t i = 0; i < std::size(titles); ++i) {
        // The latest recorded first.
        const QJsonArray row = rows[static_cast<qsizetype>(std::size(titles) - i)].toArray();
        ASSERT_EQ(row.size(), 13) << i;
        EXPECT_EQ(row[0].toString(), QString::fromStdString("h" + std::to_string(i)));
        EXPECT_EQ(row[1].toString(), expected[i]) << i;
        EXPECT_EQ(row[3].toString(), QStringLiteral("開催中"));
        EXPECT_EQ(row[6].toString(), QStringLiteral("2000")) << "the middle tendency's forecast";
    }
}

// The manual page keeps up with the program: every option --help names is
// described, and the exit statuses are the same.
TEST(ForecastToolManualTest, EveryOptionAndExitStatusOfTheHelpIsInTheManualPage)
{
    const ToolRun help = Tool({"--help"});
    ASSERT_EQ(help.status, 0);
    QString manual = QString::fromStdString(sandbox::ReadFile(MIRELO_SOURCE_DIR "/packaging/man/mirelo-forecast.1"));
    manual.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const auto section = [&](const char* name) {
        const qsizetype start = manual.indexOf(QStringLiteral(".SH ") + QLatin1String(name));
        return start < 0 ? QString() : manual.mid(start, manual.indexOf(QStringLiteral("\n.SH "), start + 1) - start);
    };
    const QString options = section("OPTIONS"), statuses = section("EXIT STATUS");
    ASSERT_FALSE(options.isEmpty());

    const QString text = QString::fromStdString(help.out);
    std::set<QString> named;
    for (const auto& m : QRegularExpression(QStringLiteral("(?:^|[\\s\\[,|])(--?[a-z][a-z-]*)")).globalMatch(text))
        named.insert(m.captured(1));
    EXPECT_GE(named.size(), 6u) << help.out;
    for (const QString& option : named) {
        const QRegularExpression word(QStringLiteral("(?<![\\w-])") + QRegularExpression::escape(option)
                                      + QStringLiteral("(?![\\w-])"));
        EXPECT_TRUE(word.match(options).hasMatch()) << option.toStdString() << " is not in the manual's OPTIONS";
    }

    const auto numbers = [](const QString& from, const QString& pattern) {
        std::set<int> found;
        for (const auto& m : QRegularExpression(pattern, QRegularExpression::MultilineOption).globalMatch(from))
            found.insert(m.captured(1).toInt());
        return found;
    };
    const std::set<int> helped = numbers(text.mid(text.indexOf(QStringLiteral("exit status:"))), QStringLiteral("^\\s+(\\d+)\\s"));
    EXPECT_EQ(helped, (std::set<int>{0, 1, 2, 3})) << help.out;
    EXPECT_EQ(numbers(statuses, QStringLiteral("^\\.TP\\n\\.B (\\d+)$")), helped);
}
