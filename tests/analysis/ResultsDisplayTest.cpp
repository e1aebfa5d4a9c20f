#include <QCheckBox>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

#include "analysis/Prediction.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/StoredSettings.h"
#include "ui/Sjis.h"

namespace {

const std::time_t kDec29 = LocalTime(2023, 12, 29, 22, 0); // the fixture auction, 9.5 of 10.5 days in

class ResultsDisplayTest : public FormsTest {
protected:
    // The display's part of an analysis run, in the run's order.
    void Show(std::string_view pageUtf8, std::time_t now = kDec29)
    {
        WriteEucPage("http.txt", pageUtf8);
        Form1->ResetResultLabels();
        ParseBidHistory("http.txt", now, [](HeaderField f, std::string_view v) { Form1->ShowField(f, v); });
        Form1->ShowBids(gBidLog);
        Form1->PredictWinningPrice(gAuctionRecord, gBidLog, now);
        Form1->ShowSummary(gAuctionRecord);
    }
    static std::string Text(const QLabel* label) { return label->text().toStdString(); }
    static std::string Cell(int col, int row) { return Utf8FromSjis(Form1->ui.StringGrid1->Cell(col, row)); }
    static const std::vector<ChartPoint>& Points() { return Form1->ui.Chart1->Points(); }
};

// Digits as this machine's user groups them (the texts' own tests pin the locales).
std::string Grouped(int value)
{
    return GroupedNumber(value, QLocale::system()).toStdString();
}

} // namespace

TEST(ForecastTextTest, YenSignBeforeDigitsGroupedTheLocalesWay)
{
    auto yen = [](std::int64_t value, const char* name) { return YenText(value, QLocale(QString::fromLatin1(name))); };
    EXPECT_EQ(yen(7000, "ja_JP"), QString::fromUtf8("¥7,000")) << "not the full-width sign of the Japanese locale";
    EXPECT_EQ(yen(1234567, "de_DE"), QString::fromUtf8("¥1.234.567")) << "never the euro";
    EXPECT_EQ(yen(1234567, "hi_IN"), QString::fromUtf8("¥12,34,567"));
    EXPECT_EQ(GroupedNumber(12345, QLocale(QLocale::Japanese, QLocale::Japan)), QStringLiteral("12,345"));
    Prediction ended;
    ended.ended = true;
    EXPECT_EQ(ForecastText(ended, QLocale::system()), QString::fromUtf8("（終了）"));
    EXPECT_EQ(ConfidenceText(ended), QStringLiteral("100%"));
}

namespace {

TEST_F(ResultsDisplayTest, HeaderLabelsAreResetThenFilledFromThePage)
{
    Show(BidHistoryPage());
    const Ui::TForm1& ui = Form1->ui;
    EXPECT_EQ(Text(ui.Label10), "ｾｲｺｰ 腕時計 〓型 限定品");
    EXPECT_EQ(Text(ui.Label12), "12月30日 22時00分");
    EXPECT_EQ(Text(ui.Label14), "5,000円");
    EXPECT_EQ(Text(ui.Label16), "1,200円");
    EXPECT_EQ(Text(ui.Label18), "seller_1");

    std::string bare = BidHistoryPage();
    for (const std::string marker : {"希望落札価格", "userID=", "userID="})
        bare.replace(bare.find(marker), marker.size(), "x");
    Show(bare);
    EXPECT_EQ(Text(ui.Label14), "(設定なし)") << "ASCII parentheses, unlike the design text";
    EXPECT_EQ(Text(ui.Label18), "(未取得)");
    EXPECT_EQ(Text(ui.Label20), "b12345678");
}

TEST_F(ResultsDisplayTest, RunningAuctionGetsForecastConfidenceAndTwoColouredPoints)
{
    Show(BidHistoryPage());
    EXPECT_EQ(Text(Form1->ui.Label22), "¥" + Grouped(1300)) << "1,000 + trunc(200 × 10.5 / 9.5 × 1.2) rounds up";
    EXPECT_EQ(Text(Form1->ui.Label24), "90%");
    std::vector<std::string> points;
    for (const ChartPoint& p : Points())
        points.push_back(Utf8FromSjis(p.label) + Format(" %.0f ", p.y)
                         + (p.colour.isValid() ? p.colour.name().toStdString() : "series"));
    EXPECT_EQ(points, (std::vector<std::string>{"12/20 10:00 1000 series", "12/26 08:00 1050 series",
                                                "12/27 09:30 1100 series", "12/28 21:05 1200 series",
                                                "現在 1200 #008000", "12/30 22:00 1300 #0000ff"}));
    EXPECT_EQ(Points()[4].x, kDec29);
    EXPECT_EQ(Points()[5].x, LocalTime(2023, 12, 30, 22, 0));

    ASSERT_TRUE(stored::SetNumber(regvalue::Keiko, 0)); // read afresh at each forecast
    Show(BidHistoryPage());
    EXPECT_EQ(Text(Form1->ui.Label22), "¥" + Grouped(1200));
}

TEST_F(ResultsDisplayTest, EndedAuctionShowsFinishedAndTheYearTurnsForward)
{
    Show(BidHistoryPage(), LocalTime(2023, 12, 30, 22, 0));
    EXPECT_EQ(Text(Form1->ui.Label22), "（終了）");
    EXPECT_EQ(Text(Form1->ui.Label24), "100%");
    EXPECT_EQ(Points().size(), 4u);

    // Read on 30 December, an end on 3 January lies ahead, not back at the start of the year.
    Show(BidHistoryPage(0, "1月3日 10時00分"), LocalTime(2023, 12, 30, 12, 0));
    EXPECT_EQ(Text(Form1->ui.Label22).substr(0, 2), "¥");
    EXPECT_EQ(Points().back().x, LocalTime(2024, 1, 3, 10, 0));
    EXPECT_EQ(Points().back().label, "1/3 10:00");
}

TEST_F(ResultsDisplayTest, NoBidsOrUnreadableEndLeaveThePanelAsItWas)
{
    Show(BidHistoryPage());
    Show(BidHistoryPage(0, "未定"));
    EXPECT_EQ(Text(Form1->ui.Label22), "¥" + Grouped(1300));
    EXPECT_EQ(Text(Form1->ui.Label24), "90%");
    EXPECT_EQ(Points().size(), 4u) << "the bids, without forecast points";

    Show("<HTML>error</HTML>");
    EXPECT_EQ(Text(Form1->ui.Label22), "¥" + Grouped(1300));
    EXPECT_TRUE(Points().empty());
    EXPECT_EQ(Form1->ui.StringGrid1->RowCount(), 1);
    EXPECT_EQ(Cell(2, 0), "入札金額(円)");
}

TEST_F(ResultsDisplayTest, TableListsOldestFirstAndDropsTheRowsOfALongerRun)
{
    StringGrid* grid = Form1->ui.StringGrid1;
    Show(BidHistoryPage(30));
    EXPECT_EQ(grid->RowCount(), 31);
    EXPECT_EQ(Cell(4, 30), "手動入札");
    EXPECT_EQ(Cell(2, 30), Grouped(3900)) << "the user's thousands separator";

    Show(BidHistoryPage());
    EXPECT_EQ(grid->RowCount(), 5);
    EXPECT_EQ(Cell(0, 0) + Cell(1, 0) + Cell(2, 0) + Cell(3, 0) + Cell(4, 0), "SN入札日時入札金額(円)入札者入札方法");
    EXPECT_EQ(Cell(0, 1) + Cell(1, 1) + Cell(3, 1), "112/20 10:00オークション開始。");
    EXPECT_EQ(Cell(0, 4) + Cell(1, 4) + Cell(3, 4), "412/28 21:05abc");
    EXPECT_EQ(Cell(2, 4), Grouped(1200));

    // Fixed header row and column only when there is more than one bid.
    grid->SetFixedRows(0);
    grid->SetFixedCols(0);
    Show(BidHistoryPage(1));
    EXPECT_EQ(grid->FixedRows() + grid->FixedCols(), 0);
    Show(BidHistoryPage(2));
    EXPECT_EQ(grid->FixedRows(), 1);
    EXPECT_EQ(grid->FixedCols(), 1);
}

TEST_F(ResultsDisplayTest, SummaryQuotesTheForecastAndNamesAMissingBuyItNow)
{
    Show(BidHistoryPage());
    using V = std::vector<std::string>;
    auto foot = [] {
        V lines;
        for (const std::string& line : Form1->ui.Chart1->FootLines())
            lines.push_back(Utf8FromSjis(line));
        return lines;
    };
    EXPECT_EQ(foot(), (V{"商品:ｾｲｺｰ 腕時計 〓型 限定品 予測:￥" + Grouped(1300) + " 確度:90%",
                         "開始:12月20日 10時00分 終了:12月30日 22時00分 入札件数:4  希望落札価格:5,000 "
                         "現在の価格:1,200 出品ID:b12345678 出品者ID:seller_1"}));
    std::string page = BidHistoryPage();
    page.replace(page.find("希望落札価格"), std::string("希望落札価格").size(), "x");
    Show(page, LocalTime(2024, 1, 2, 0, 0));
    EXPECT_EQ(foot()[0], "商品:ｾｲｺｰ 腕時計 〓型 限定品 予測:（終了） 確度:100%");
    EXPECT_NE(foot()[1].find(" 希望落札価格:(未設定) 現在の価格:1,200 "), std::string::npos);
}

TEST_F(ResultsDisplayTest, TogglesSwitchTheChartAndPrintPreviewsIt)
{
    const Ui::TForm1& ui = Form1->ui;
    EXPECT_TRUE(ui.Chart1->View3D() && !ui.Chart1->MarksVisible());
    ui.CheckBox1->click();
    ui.CheckBox2->click();
    EXPECT_TRUE(!ui.Chart1->View3D() && ui.Chart1->MarksVisible());
    ui.CheckBox1->click();
    EXPECT_TRUE(ui.Chart1->View3D());
    EXPECT_FALSE(ui.BitBtn7->isEnabled()) << "until a run has ended well";

    Show(BidHistoryPage(20));
    ui.BitBtn7->setEnabled(true);
    bool previewed = false;
    boxes::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(modal);
        if (dialog && dialog->parentWidget() == Form1) {
            previewed = true;
            dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog->printer()->setOutputFileName(QStringLiteral("chart.pdf"));
            dialog->findChild<QPrintPreviewWidget*>()->print();
        }
        modal->close();
    });
    ui.BitBtn7->click();
    ASSERT_TRUE(previewed);
    QProcess pdftoppm;
    pdftoppm.start(QStringLiteral("pdftoppm"), QStringLiteral("-r 40 -png -singlefile chart.pdf page").split(' '));
    ASSERT_TRUE(pdftoppm.waitForFinished(30000)) << "pdftoppm (poppler-utils) is needed";
    const QImage page(QStringLiteral("page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()) << "landscape";
    int red = 0, blue = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 80 && c.blue() < 80;
            blue += c.blue() > 200 && c.red() < 60;
        }
    }
    EXPECT_GT(red, 150) << "the bids' ribbon";
    EXPECT_GT(blue, 5) << "the segment to the forecast";
}

} // namespace
