#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>

#include "base/Text.h"
#include "tests/support/Boxes.h"
#include "ui/PriceChart.h"
#include "ui/Sjis.h"

namespace {

const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QRectF kWindowArea(0, 0, 917, 260);
QFont Font() { return QApplication::font(); }

// bids rising from 1,000 to 8,000 yen over five days, then "now" and the
// forecast two days later.
ChartModel Auction(int bids)
{
    ChartModel m;
    m.title = std::string(SJ("入札価格推移"));
    m.bottomTitle = std::string(SJ("入札日時"));
    m.leftTitle = std::string(SJ("入札金額（円)"));
    const double start = 1718053200, day = 86400;
    for (int i = 0; i < bids; ++i)
        m.Add({start + 5 * day * i / bids, std::round(1000 + 7000.0 * i / std::max(1, bids - 1)),
               Format("6/%d %02d:%02d", 10 + i * 5 / bids, i % 24, i % 60), {}});
    m.Add({start + 5 * day, 8000, std::string(SJ("現在")), kGreen});
    m.Add({start + 7 * day, 9500, "6/17 21:00", kBlue});
    m.footLines = {std::string(SJ("商品:ヴィンテージ 機械式腕時計 1960年代 手巻き 稼働品 オーバーホール済み "
                                  "純正ベルト 箱と保証書付き 予測:￥9,500 確度:71%")),
                   std::string(SJ("開始:6月10日 21時00分 終了:6月17日 21時00分 入札件数:20 希望落札価格:(未設定) "
                                  "現在の価格:8,000 出品ID:x123456789 出品者ID:watch_shop_tokyo"))};
    return m;
}

void Fill(PriceChart& chart, const ChartModel& m)
{
    for (const ChartPoint& p : m.points)
        chart.AddXY(p.x, p.y, p.label, p.colour);
    chart.SetFootLines(m.footLines);
}

void ExpectApartAndInside(const std::vector<ChartLayout::Text>& texts, const QRectF& area)
{
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(area.contains(texts[i].rect)) << texts[i].text.toStdString();
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(texts[i].rect.intersects(texts[j].rect))
                << texts[i].text.toStdString() << " covers " << texts[j].text.toStdString();
    }
}

int Count(const QImage& image, const std::function<bool(QColor)>& pick)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += pick(image.pixelColor(x, y));
    return n;
}

bool Reddish(QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; }
bool Inked(QColor c) { return c.lightness() < 200; }

} // namespace

TEST(PriceChartTest, KeepsPointsInTimeOrderAndEqualTimesInAddOrder)
{
    PriceChart chart;
    chart.AddXY(500, 1, "c");
    chart.AddXY(300, 2, "a");
    chart.AddXY(700, 3, "e", kBlue);
    chart.AddXY(300, 4, "b");
    chart.AddXY(500, 5, "d", kGreen);
    std::string order;
    for (const ChartPoint& p : chart.Points())
        order += p.label;
    EXPECT_EQ(order, "abcde");
    EXPECT_EQ(chart.Model().ColourOf(chart.Points()[3]), kGreen);
    // Bid points follow the series colour, also when it changes later.
    EXPECT_EQ(chart.Model().ColourOf(chart.Points()[0]), QColor(Qt::red));
    chart.SetSeriesColour(Qt::darkMagenta);
    EXPECT_EQ(chart.Model().ColourOf(chart.Points()[0]), QColor(Qt::darkMagenta));
}

TEST(PriceChartTest, ScaleStepsAreOneTwoOrFiveTimesAPowerOfTenAndCoverTheData)
{
    EXPECT_EQ(NiceStep(1.01), 2);
    EXPECT_EQ(NiceStep(2100), 5000);
    EXPECT_EQ(NiceStep(5001), 10000);
    for (double top : {0.0, 1.0, 7.0, 999.0, 1000.0, 1234.0, 8000.0, 9500.0, 99999.0, 1e9, 2147483647.0})
        for (int steps = 1; steps <= 10; ++steps) {
            const ChartScale s = ScaleFor(top, steps);
            const double mantissa = s.step / std::pow(10.0, std::floor(std::log10(s.step)));
            EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                        std::fabs(mantissa - 5) < 1e-9);
            EXPECT_GE(s.step, 1); // whole yen
            EXPECT_GT(s.max, top);
            EXPECT_LE(std::lround(s.max / s.step), steps) << top << " in " << steps;
            EXPECT_NEAR(s.max / s.step, std::round(s.max / s.step), 1e-9);
        }
}

TEST(PriceChartTest, MapsTheDataOntoTheFrontPlaneWithTheBackWallBehindIt)
{
    ChartModel m = Auction(20);
    m.view3D = false;
    const ChartLayout flat = LayoutChart(m, kWindowArea, Font());
    m.view3D = true;
    const ChartLayout L = LayoutChart(m, kWindowArea, Font());
    EXPECT_EQ(L.Map(m.points.front().x, 0), L.front.bottomLeft());
    EXPECT_EQ(L.Map(m.points.back().x, L.scale.max), L.front.topRight());
    ASSERT_GE(L.yLabels.size(), 3u);
    EXPECT_EQ(L.yLabels[1].text, QLocale(QLocale::Japanese).toString(qlonglong(L.scale.step)));
    EXPECT_LT(L.yLabels[1].rect.bottom(), L.yLabels[0].rect.top());
    // Oblique projection: the back wall up and to the right, where the flat plot ends.
    EXPECT_EQ(flat.depth, QPointF(0, 0));
    EXPECT_GT(L.depth.x(), 2);
    EXPECT_EQ(L.depth.y(), -L.depth.x());
    EXPECT_DOUBLE_EQ(L.front.top() + L.depth.y(), flat.front.top());
    EXPECT_TRUE(kWindowArea.contains(L.front.translated(L.depth)));
}

TEST(PriceChartTest, LabelsAreThinnedMarksAllShownAndBothKeepClearOfTheControls)
{
    const QRectF controls(8, 4, 212, 24); // check boxes and print button on the chart
    for (int bids : {20, 300, 1024})
        for (bool view3D : {true, false})
            for (QRectF area : {kWindowArea, QRectF(0, 0, 1047, 698), QRectF(0, 0, 300, 220)}) {
                SCOPED_TRACE(testing::Message() << bids << " bids, " << area.width() << " wide, 3D " << view3D);
                ChartModel m = Auction(bids);
                m.view3D = view3D;
                m.marksVisible = true;
                const ChartLayout L = LayoutChart(m, area, Font(), controls);
                ExpectApartAndInside(L.xLabels, area);
                // Every point's price, apart where there is room, drawn
                // inside; the forecast's on top.
                ASSERT_EQ(L.marks.size(), m.points.size());
                std::vector<int> marked;
                for (const ChartLayout::Text& t : L.marks) {
                    EXPECT_TRUE(area.contains(t.rect)) << t.text.toStdString();
                    EXPECT_EQ(t.text, QLocale(QLocale::Japanese).toString(qlonglong(m.points[t.point].y)));
                    marked.push_back(t.point);
                }
                std::sort(marked.begin(), marked.end());
                EXPECT_EQ(std::adjacent_find(marked.begin(), marked.end()), marked.end());
                if (bids == 20 && area.width() > 900)
                    ExpectApartAndInside(L.marks, area);
                ASSERT_GE(L.xLabels.size(), 2u);
                EXPECT_EQ(L.xLabels.back().text, QStringLiteral("6/17 21:00")); // the forecast's
                EXPECT_EQ(L.marks.back().text, QStringLiteral("9,500"));
                if (area.width() > 900) {
                    EXPECT_GE(L.xLabels.size(), 8u);
                    EXPECT_EQ(L.xLabels[L.xLabels.size() - 2].text, QStr(SJ("現在")));
                }
                EXPECT_FALSE(L.title.rect.intersects(controls));
                EXPECT_FALSE(L.front.united(L.front.translated(L.depth)).intersects(controls));
                for (const auto* texts : {&L.yLabels, &L.marks})
                    for (const ChartLayout::Text& t : *texts)
                        EXPECT_FALSE(t.rect.intersects(controls)) << t.text.toStdString();
            }
}

TEST(PriceChartTest, LongFootLinesWrapOrShrinkButLoseNoText)
{
    ChartModel m = Auction(20);
    m.footLines[0] += std::string(SJ("とても長い商品名")) + std::string(300, 'x');
    std::string want;
    for (const std::string& line : m.footLines)
        want += Utf8FromSjis(line);
    std::erase(want, ' ');
    for (QRectF area : {kWindowArea, QRectF(0, 0, 1047, 698), QRectF(0, 0, 500, 400)}) {
        const ChartLayout L = LayoutChart(m, area, Font());
        ASSERT_GE(L.foot.size(), 2u);
        std::string got;
        for (const ChartLayout::Text& t : L.foot) {
            got += t.text.toStdString();
            EXPECT_LE(QFontMetricsF(L.footFont).horizontalAdvance(t.text), area.width());
            EXPECT_TRUE(area.contains(t.rect));
        }
        std::erase(got, ' ');
        EXPECT_EQ(got, want);
        EXPECT_GE(L.footFont.pixelSize(), 9);
        EXPECT_GT(L.front.height(), area.height() / 3);
        for (const ChartLayout::Text& t : L.xLabels)
            EXPECT_LT(t.rect.bottom(), L.foot.front().rect.top());
    }
}

TEST(PriceChartTest, OddSeriesStillGiveAUsableLayout)
{
    ChartModel m;
    ChartLayout L = LayoutChart(m, kWindowArea, Font());
    EXPECT_TRUE(L.xLabels.empty());
    EXPECT_GE(L.yLabels.size(), 2u);

    m.Add({1718053200, 1500, "6/10 21:00", {}}); // alone: in the middle
    L = LayoutChart(m, kWindowArea, Font());
    EXPECT_NEAR(L.Map(1718053200, 0).x(), L.front.center().x(), 0.5);

    for (double price : {3000.0, 0.0}) { // all equal: above the floor, unless 0
        m = Auction(50);
        for (ChartPoint& p : m.points)
            p.y = price;
        L = LayoutChart(m, kWindowArea, Font());
        EXPECT_GT(L.scale.max, price);
        EXPECT_EQ(L.Map(0, price).y() == L.front.bottom(), price == 0);
    }

    m.points.back().y = 1e9; // grouped tick labels still beside the plot
    m.marksVisible = true;
    L = LayoutChart(m, kWindowArea, Font());
    EXPECT_EQ(L.yLabels.back().text, QLocale(QLocale::Japanese).toString(qlonglong(L.scale.max)));
    for (const ChartLayout::Text& t : L.yLabels)
        EXPECT_TRUE(kWindowArea.contains(t.rect) && t.rect.right() < L.front.left());

    L = LayoutChart(m, QRectF(0, 0, 40, 30), Font()); // far too small, still forwards
    EXPECT_TRUE(L.front.width() > 0 && L.front.height() > 0);
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    PaintChart(p, m, L);
}

TEST(PriceChartTest, SegmentsTakeTheColourOfThePointTheyLeadInto)
{
    PriceChart chart;
    chart.SetView3D(false);
    chart.AddXY(0, 1000, "a");
    chart.AddXY(100, 2000, "b");
    chart.AddXY(200, 2000, "c", kGreen);
    chart.AddXY(300, 2000, "d", kBlue);
    chart.AddXY(400, 3000, "e");
    const QSize size(600, 300);
    const QImage image = chart.RenderImage(size);
    const ChartLayout L = LayoutChart(chart.Model(), QRectF(QPoint(), size), chart.font());
    auto middle = [&](int i) {
        const ChartPoint &a = chart.Points()[i - 1], &b = chart.Points()[i];
        const QPointF m = (L.Map(a.x, a.y) + L.Map(b.x, b.y)) / 2;
        return image.pixelColor(int(std::floor(m.x())), int(std::floor(m.y())));
    };
    EXPECT_TRUE(Reddish(middle(1)));
    EXPECT_EQ(middle(2), kGreen);
    EXPECT_EQ(middle(3), kBlue);
}

TEST(PriceChartTest, ViewAndMarksChangeThePictureAndEveryCaseDraws)
{
    PriceChart chart;
    const QSize size(917, 260);
    EXPECT_GT(Count(chart.RenderImage(size), Inked), 300); // axes without data

    Fill(chart, Auction(20));
    EXPECT_TRUE(chart.View3D());
    const QImage deep = chart.RenderImage(size);
    chart.SetView3D(false);
    const QImage flat = chart.RenderImage(size);
    chart.SetMarksVisible(true);
    ASSERT_TRUE(chart.ExportPng(QStringLiteral("chart.png"), size));
    const QImage marked(QStringLiteral("chart.png"));
    EXPECT_EQ(marked.size(), size);
    EXPECT_GT(Count(deep, Reddish), 2 * Count(flat, Reddish)); // the ribbon has a face
    EXPECT_GT(Count(marked, [](QColor c) { return c == QColor(0xff, 0xff, 0xe1); }), 200);
    EXPECT_NE(flat, marked.convertToFormat(flat.format()));

    chart.Clear();
    chart.AddXY(5, 700, "only");
    EXPECT_GT(Count(chart.RenderImage(size), Reddish), 10); // a lone point still shows
}

TEST(PriceChartTest, PrintsTheChartOntoALandscapePage)
{
    PriceChart chart;
    Fill(chart, Auction(20));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFileName(QStringLiteral("chart.pdf"));
    ASSERT_TRUE(chart.Print(printer));

    QProcess pdftoppm;
    pdftoppm.start(QStringLiteral("pdftoppm"), QStringLiteral("-r 40 -png -singlefile chart.pdf page").split(' '));
    ASSERT_TRUE(pdftoppm.waitForFinished(30000)) << "pdftoppm (poppler-utils) is needed";
    ASSERT_EQ(pdftoppm.exitCode(), 0) << pdftoppm.readAllStandardError().toStdString();
    const QImage page(QStringLiteral("page.png"));
    EXPECT_GT(page.width(), page.height());
    EXPECT_GT(Count(page, Reddish), 300);
    EXPECT_GT(Count(page, [](QColor c) { return c.blue() > 200 && c.red() < 60; }), 30);
    EXPECT_GT(Count(page, Inked), 2000);
}

TEST(PriceChartTest, PrintPreviewIsModalLandscapeOwnedAndFreedAfterwards)
{
    QWidget owner;
    PriceChart* chart = new PriceChart(&owner);
    chart->AddXY(0, 1000, "a");
    chart->AddXY(100, 2000, "b");
    bool seen = false;
    boxes::WhenModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(modal)) {
            seen = true;
            EXPECT_EQ(dialog->parentWidget(), &owner);
            EXPECT_EQ(dialog->printer()->pageLayout().orientation(), QPageLayout::Landscape);
            auto* preview = dialog->findChild<QPrintPreviewWidget*>();
            EXPECT_TRUE(preview && preview->pageCount() == 1); // the chart was drawn into it
        }
        modal->close();
    });
    chart->PrintPreview(&owner);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(owner.findChildren<QPrintPreviewDialog*>().isEmpty());
}
