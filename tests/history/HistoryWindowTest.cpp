#include <QAction>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QScatterSeries>
#include <map>
#include <set>
#include <gtest/gtest.h>

#include "analysis/Prediction.h"
#include "base/Text.h"
#include "history/History.h"
#include "history/MarketChart.h"
#include "history/Rireki11.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "ui/Browser.h"
#include "ui/Sjis.h"

namespace {

std::string S(std::string_view utf8)
{
    return SjisFromUtf8(utf8);
}

const std::time_t kNow = LocalTime(2024, 6, 15, 12, 0);
constexpr std::time_t kDay = 24 * 3600;

std::string PageDateText(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return S(Format("%d月 %d日 %d時 %d分", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min));
}

std::string Address(const char* id)
{
    return std::string("http://127.0.0.1:8380/jp/auction/") + id;
}

// A five-day auction with one bid at price, as the parser leaves it.
struct Auction {
    AuctionRecord record;
    BidLog log;
};
Auction MakeAuction(const char* id, std::string title, std::time_t end, std::int32_t price)
{
    Auction a;
    const std::time_t start = end - 5 * kDay;
    a.record.title = std::move(title);
    a.record.startText = PageDateText(start);
    a.record.endText = PageDateText(end);
    a.record.bidCountText = "1";
    a.record.currentPriceText = GroupedNumber(price, QLocale::c()).toStdString();
    a.record.auctionId = id;
    a.record.sellerId = "seller";
    a.log.Add({static_cast<std::int32_t>(start + kDay), price, "6/1 12:00", "bidder", S("手動入札")});
    a.log.Add({static_cast<std::int32_t>(start), 1000, "", S("オークション開始。"), ""});
    return a;
}

void Record(History& history, const Auction& a, std::time_t now)
{
    ASSERT_TRUE(history.Record(a.record, a.log, PredictFromRecords(a.record, a.log, now, 1), 1,
                               Address(a.record.auctionId.c_str()), now));
}

class HistoryWindowTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        SetUrlOpener([this](const QUrl& url) { opened.push_back(url.toString().toStdString()); });
    }
    void TearDown() override
    {
        SetUrlOpener({});
        FormsTest::TearDown();
    }

    static std::vector<std::string> Column(StringGrid* grid, int col)
    {
        std::vector<std::string> cells;
        for (int row = 1; row < grid->RowCount(); ++row)
            cells.push_back(Utf8FromSjis(grid->Cell(col, row)));
        return cells;
    }

    std::vector<std::string> opened;
};

} // namespace

TEST_F(HistoryWindowTest, ShowsMarketRecordsAndAccuracyOfTheRunAndClearsOnYes)
{
    const struct {
        const char *id, *title;
        std::int32_t price;
    } d70s[] = {
        {"e1", "ニコン D70 ボディ 元箱付き 美品", 55000},
        {"e2", "【美品】ニコン D70 ボディ 元箱付き", 58000},
        {"e3", "ニコン Ｄ７０ ボディ 元箱付き", 61500},
    };
    std::multiset<std::string> d70Titles;
    {
        History history;
        ASSERT_TRUE(history.Open());
        for (const auto& d70 : d70s) {
            const std::time_t end = kNow - static_cast<std::time_t>(2 + d70Titles.size()) * kDay;
            Record(history, MakeAuction(d70.id, S(d70.title), end, d70.price), kNow);
            d70Titles.insert(d70.title);
        }
        // Forecast at 60 % of its time, then read once closed: one forecast to judge.
        const Auction watch = MakeAuction("b1", S("ロレックス デイトジャスト 16234"), kNow - kDay, 400000);
        Record(history, watch, kNow - 3 * kDay);
        Record(history, watch, kNow);
    }

    Form1->show();
    Form1->ui.M1->trigger();
    ASSERT_TRUE(Form11->isVisible());

    // The user reads a running D70: the open window follows the run.
    const Auction running = MakeAuction("e9", S("ニコン D70 ボディ 元箱付き 美品 送料無料"), kNow + kDay, 50000);
    RecordAnalysisRun(running.record, running.log, Address("e9"), kNow);

    EXPECT_EQ(Utf8FromSjis(SjisStr(Form11->ui.Label2->text())), "ニコン D70 ボディ 元箱付き 美品 送料無料");
    EXPECT_EQ(Form11->ui.Label4->text(), YenText(58000, QLocale()));
    const std::vector<std::string> similar = Column(Form11->ui.StringGrid1, 0);
    EXPECT_EQ(std::multiset(similar.begin(), similar.end()), d70Titles) << "not the watch";
    EXPECT_EQ(Column(Form11->ui.StringGrid2, 0).size(), 5u);
    EXPECT_NE(Utf8FromSjis(Form11->ui.StringGrid3->Cell(3, 2)), "－"); // 無難, 50–75 %

    // Whole titles: the title column takes the free width, also after a user
    // drags a caption's border, and a title reads whole as its tooltip.
    StringGrid* recorded = Form11->ui.StringGrid2;
    for (int drag : {0, 40}) {
        recorded->horizontalHeader()->resizeSection(3, recorded->columnWidth(3) + drag);
        int width = 0;
        for (int col = 0; col < recorded->ColCount(); ++col)
            width += recorded->columnWidth(col);
        EXPECT_EQ(width, recorded->viewport()->width()) << drag;
    }
    EXPECT_EQ(recorded->item(1, 0)->toolTip(), recorded->item(1, 0)->text());
    EXPECT_NE(recorded->item(1, 0)->toolTip(), QString());

    emit Form11->ui.StringGrid1->cellDoubleClicked(1, 0);
    emit Form11->ui.StringGrid1->cellDoubleClicked(0, 0); // the header opens nothing
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].rfind("http://127.0.0.1:8380/jp/auction/e", 0), 0u) << opened[0];

    // "履歴を消去" asks first; No keeps everything.
    boxes::Answer(IDNO);
    Form11->ui.BitBtn1->click();
    EXPECT_EQ(Column(Form11->ui.StringGrid2, 0).size(), 5u);
    boxes::Answer(IDYES);
    Form11->ui.BitBtn1->click();
    EXPECT_EQ(Column(Form11->ui.StringGrid2, 0), std::vector<std::string>{""});
    EXPECT_EQ(Form11->ui.Label4->text().toStdString(), "（データなし）");
    ASSERT_EQ(boxes::Texts(), std::vector<std::string>(2, "落札履歴をすべて消去しますか？"));
    EXPECT_EQ(Utf8FromSjis(boxes::Shown()[0].caption), "メッセージ");
    EXPECT_EQ(boxes::Shown()[0].flags, unsigned{MB_YESNO | MB_ICONINFORMATION});
}

TEST_F(HistoryWindowTest, ShowsTheLeftOutOutlierAndExcludesAComparableUntilBroughtBack)
{
    const struct {
        const char *id, *title;
        std::int32_t price;
    } sales[] = {
        {"e1", "ニコン D70 ボディ 元箱付き 美品", 55000},
        {"e2", "【美品】Nikon D70 ボディ 元箱付き", 58000},
        {"e3", "ニコン Ｄ７０ ボディ 元箱付き", 61500},
        {"e4", "ﾆｺﾝ D70 ボディ 元箱付き 中古", 60000},
        {"e5", "ニコン D70 ボディ 元箱付き", 6000},
        {"e6", "ニコン D70対応 互換バッテリー", 1500},
        {"e7", "ニコン D70 ボディ ジャンク", 3000},
        {"e8", "ニコン D700 ボディ", 60000},
    };
    {
        History history;
        ASSERT_TRUE(history.Open());
        for (std::size_t i = 0; i < std::size(sales); ++i)
            Record(history, MakeAuction(sales[i].id, S(sales[i].title), kNow - static_cast<std::time_t>(2 + i) * kDay,
                                        sales[i].price), kNow);
    }
    Form1->show();
    Form1->ui.M1->trigger();
    const Auction running = MakeAuction("e9", S("ニコン D70 ボディ 元箱付き 美品 送料無料"), kNow + kDay, 50000);
    RecordAnalysisRun(running.record, running.log, Address("e9"), kNow);

    StringGrid* grid = Form11->ui.StringGrid1;
    auto rowOf = [&](const char* title) {
        const std::vector<std::string> titles = Column(grid, 0);
        return static_cast<int>(std::find(titles.begin(), titles.end(), title) - titles.begin()) + 1;
    };
    EXPECT_EQ(Form11->ui.Label4->text(), YenText(59000, QLocale()));
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70 ボディ 元箱付き"))), "外れ値（相場の0.1倍）");
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70 ボディ 元箱付き 美品"))), "採用");
    // The model's other sales, with why they are not in the market; D700 is another model.
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70対応 互換バッテリー"))), "対象外：付属品・部品");
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70 ボディ ジャンク"))), "対象外：ジャンク");
    EXPECT_EQ(rowOf("ニコン D700 ボディ"), grid->rowCount());
    EXPECT_FALSE(Form11->ui.BitBtn3->isEnabled()) << "nothing chosen";
    grid->setCurrentCell(rowOf("ニコン D70 ボディ ジャンク"), 0);
    EXPECT_FALSE(Form11->ui.BitBtn3->isEnabled()) << "not a comparable";

    // "相場から外す" on the cheapest sale: it stays listed, as excluded.
    grid->setCurrentCell(rowOf("ニコン D70 ボディ 元箱付き 美品"), 0);
    ASSERT_TRUE(Form11->ui.BitBtn3->isEnabled());
    EXPECT_FALSE(Form11->ui.BitBtn4->isEnabled());
    Form11->ui.BitBtn3->click();
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70 ボディ 元箱付き 美品"))), "相場から外した");
    EXPECT_EQ(grid->currentRow(), rowOf("ニコン D70 ボディ 元箱付き 美品")) << "the selection follows the sale";
    EXPECT_FALSE(Form11->ui.BitBtn3->isEnabled()) << "a second click takes out no other sale";
    EXPECT_EQ(Form11->ui.Label4->text(), YenText(60000, QLocale()));
    EXPECT_NE(Form11->ui.Label10->text().toStdString().find("外れ値 1 件と外した 1 件を除く"), std::string::npos);
    EXPECT_EQ(Form11->ui.Label15->text().left(1), QStringLiteral("¥")) << "a band from the market";

    // The graph keeps used, outlying and excluded sales apart, and saves as PNG.
    std::map<QString, qsizetype> points;
    for (QAbstractSeries* series : Form11->Chart()->View()->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(series))
            points[scatter->name()] = scatter->count();
    EXPECT_EQ(points, (std::map<QString, qsizetype>{
                          {QStringLiteral("採用"), 3}, {QStringLiteral("外れ値"), 1}, {QStringLiteral("外した"), 1},
                          {QStringLiteral("現在の価格"), 1}}));
    // Hovering a point tells the sale; the point hovered comes back through pixels, a little off.
    Form11->ui.PageControl1->setCurrentIndex(1);
    for (QAbstractSeries* series : Form11->Chart()->View()->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(series); scatter && scatter->name() == QStringLiteral("外した"))
            emit scatter->hovered(scatter->at(0) * 1.0001, true);
    EXPECT_TRUE(Form11->Chart()->Tip().startsWith(QStringLiteral("ニコン D70 ボディ 元箱付き 美品\n¥")));
    // and keeps it when the mouse rests, which the chart's scene would answer with no tip.
    QHelpEvent rest(QEvent::ToolTip, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(Form11->Chart()->View()->viewport(), &rest);
    EXPECT_TRUE(rest.isAccepted());
    ASSERT_TRUE(Form11->Chart()->SavePng(QStringLiteral("market.png")));
    EXPECT_FALSE(QImage(QStringLiteral("market.png")).isNull());
    History reopened;
    ASSERT_TRUE(reopened.OpenToRead());
    EXPECT_EQ(reopened.Market(running.record.title, "e9")->price, 60000) << "stored for every reader";

    // "相場に戻す" brings it back.
    grid->setCurrentCell(rowOf("ニコン D70 ボディ 元箱付き 美品"), 0);
    ASSERT_TRUE(Form11->ui.BitBtn4->isEnabled());
    Form11->ui.BitBtn4->click();
    EXPECT_EQ(Utf8FromSjis(grid->Cell(4, rowOf("ニコン D70 ボディ 元箱付き 美品"))), "採用");
    EXPECT_EQ(Form11->ui.Label4->text(), YenText(59000, QLocale()));
}
