// Times laying out and painting the price chart with a full bid log (1,024 bids
// and the two forecast points) and writes sample pictures for a person to look at:
//   bench_chart [OUTDIR]
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QCheckBox>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <random>

#include "base/Text.h"
#include "ui/Application.h"
#include "ui/PriceChart.h"
#include "ui/Sjis.h"

namespace {

std::string Label(qint64 t)
{
    return SjisStr(QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(QStringLiteral("M/d hh:mm")));
}

// bids over five days rising from 1,000 to about 8,000 yen, then "now" and the forecast.
void Fill(PriceChart& chart, int bids)
{
    const qint64 start = 1718053200; // 2024-06-10 21:00
    std::mt19937 random(7);
    chart.Clear();
    double price = 1000;
    for (int i = 0; i < bids; ++i) {
        const qint64 spacing = 5 * 86400 / bids;
        const qint64 t = start + spacing * i + static_cast<qint64>(random() % (spacing / 2));
        chart.AddXY(static_cast<double>(t), price, Label(t));
        const double trend = 1000 + 7000 * std::pow((i + 1.0) / bids, 0.8);
        price = std::max(price, std::round((trend + (random() % 400) - 200.0) / 10) * 10);
    }
    const qint64 now = start + 5 * 86400 + 3600;
    chart.AddXY(static_cast<double>(now), price, SJ("現在"), QColor(0, 128, 0));
    const qint64 end = start + 7 * 86400;
    chart.AddXY(static_cast<double>(end), 9000, Label(end), QColor(0, 0, 255));
    chart.SetFootLines({std::string(SJ("商品:ヴィンテージ 機械式腕時計 1960年代 手巻き 稼働品 "
                                       "オーバーホール済み 箱付き 予測:￥9,000 確度:71%")),
                        std::string(SJ("開始:6月10日 21時00分 終了:6月17日 21時00分 入札件数:20 "
                                       "希望落札価格:(未設定) 現在の価格:8,000 出品ID:x123456789 "
                                       "出品者ID:watch_shop_tokyo"))});
}

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    PriceChart chart;
    chart.SetTitle(SJ("入札価格推移"));
    chart.SetBottomAxisTitle(SJ("入札日時"));
    chart.SetLeftAxisTitle(SJ("入札金額（円)"));

    Fill(chart, 1024);
    QImage image(917, 260, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    const int rounds = 20;
    for (bool view3D : {true, false}) {
        chart.SetView3D(view3D);
        chart.SetMarksVisible(true);
        clock.start();
        for (int i = 0; i < rounds; ++i) {
            QPainter p(&image);
            chart.Paint(p, QRectF(0, 0, 917, 260));
        }
        std::printf("1,026 points, %s, marks: %.1f ms per paint\n", view3D ? "3D" : "flat",
                    double(clock.nsecsElapsed()) / 1e6 / rounds);
    }
    if (dir.isEmpty())
        return 0;

    for (int bids : {20, 300, 1024}) {
        Fill(chart, bids);
        for (bool view3D : {true, false})
            for (bool marks : {false, true}) {
                chart.SetView3D(view3D);
                chart.SetMarksVisible(marks);
                const QString name = QStringLiteral("%1/chart-%2-%3%4")
                                         .arg(dir)
                                         .arg(bids)
                                         .arg(view3D ? "3d" : "flat", marks ? "-marks" : "");
                chart.ExportPng(name + QStringLiteral(".png"), QSize(917, 260));
                chart.ExportPng(name + QStringLiteral("-page.png"), QSize(1047, 698));
            }
    }
    // As the main window shows it, with its controls at the top left.
    {
        PriceChart shown;
        shown.SetTitle(SJ("入札価格推移"));
        shown.SetBottomAxisTitle(SJ("入札日時"));
        shown.SetLeftAxisTitle(SJ("入札金額（円)"));
        (new QCheckBox(QStr(SJ("3D表示")), &shown))->setGeometry(8, 6, 72, 20);
        (new QCheckBox(QStr(SJ("ﾏｰｶ表示")), &shown))->setGeometry(84, 6, 80, 20);
        (new QPushButton(QStr(SJ("印刷")), &shown))->setGeometry(168, 4, 52, 24);
        shown.resize(917, 240); // what the main window gives it
        Fill(shown, 20);
        for (bool view3D : {true, false}) {
            shown.SetView3D(view3D);
            shown.SetMarksVisible(!view3D);
            shown.grab().save(dir + QStringLiteral("/widget-%1.png").arg(view3D ? "3d" : "flat-marks"));
        }
    }
    Fill(chart, 20);
    std::vector<std::string> foot = chart.FootLines();
    foot[0].insert(foot[0].find(SJ(" 予測")), SJ(" 国内正規品 文字盤美品 風防交換済み 付属品多数 即決歓迎"));
    chart.SetFootLines(foot);
    chart.ExportPng(dir + QStringLiteral("/chart-20-long-foot.png"), QSize(917, 240));
    chart.SetView3D(true);
    chart.SetMarksVisible(true);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFileName(dir + QStringLiteral("/chart.pdf"));
    chart.Print(printer);
    return 0;
}
