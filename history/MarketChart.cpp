#include "history/MarketChart.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHelpEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "analysis/Prediction.h"
#include "base/Text.h"
#include "ui/Dialogs.h"

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

qreal Ms(std::int64_t seconds)
{
    return static_cast<qreal>(seconds) * 1000.0;
}

// A scatter of sales whose points tell their title, price and date on hover.
QScatterSeries* Sales(QChart* chart, const QString& name, const std::vector<SimilarAuction>& sales,
                      QScatterSeries::MarkerShape shape, const QColor& color, MarketChart* owner)
{
    auto* series = new QScatterSeries(chart);
    series->setName(name);
    series->setMarkerShape(shape);
    series->setMarkerSize(9);
    series->setColor(color);
    series->setBorderColor(color.darker());
    for (const SimilarAuction& a : sales)
        series->append(Ms(a.endTime), static_cast<qreal>(a.closingPrice));
    QObject::connect(series, &QScatterSeries::hovered, owner, [sales, series, owner, chart](const QPointF& at, bool on) {
        if (!on) {
            owner->ShowTip({});
            return;
        }
        // The nearest on the screen: the point hovered may come back through pixels.
        const auto points = series->points();
        std::optional<std::size_t> nearest;
        qreal best = 0;
        for (qsizetype i = 0; i < points.size() && static_cast<std::size_t>(i) < sales.size(); ++i) {
            const QPointF apart = chart->mapToPosition(points[i], series) - chart->mapToPosition(at, series);
            const qreal distance = QPointF::dotProduct(apart, apart);
            if (!nearest || distance < best) {
                nearest = static_cast<std::size_t>(i);
                best = distance;
            }
        }
        if (!nearest)
            return;
        const SimilarAuction& a = sales[*nearest];
        owner->ShowTip(QString::fromStdString(Utf8FromSjis(a.title)) + U("\n") + YenText(a.closingPrice, QLocale())
                       + U("　") + QDateTime::fromSecsSinceEpoch(a.endTime).toString(QStringLiteral("yyyy/MM/dd HH:mm")));
    });
    chart->addSeries(series);
    return series;
}

QLineSeries* Line(QChart* chart, const QString& name, qreal from, qreal to, qreal y, Qt::PenStyle style,
                  const QColor& color)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(from, y);
    line->append(to, y);
    QPen pen(color);
    pen.setStyle(style);
    pen.setWidth(2);
    line->setPen(pen);
    chart->addSeries(line);
    return line;
}

// The view does not delete the chart it lets go.
void Replace(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace

MarketChart::MarketChart(QWidget* parent) : QWidget(parent), view_(new QChartView(this))
{
    view_->setRenderHint(QPainter::Antialiasing);
    // No taller than the list it takes turns with, so the window still fits a small screen.
    view_->setMinimumHeight(100);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    view_->viewport()->installEventFilter(this);
    Show(std::nullopt, std::nullopt, std::nullopt);
}

void MarketChart::ShowTip(const QString& text)
{
    tip_ = text;
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), text, view_->viewport());
}

bool MarketChart::eventFilter(QObject* watched, QEvent* event)
{
    // The chart's scene answers the pause of the mouse with the tooltip of
    // no item, which would hide the point's at once.
    if (watched == view_->viewport() && event->type() == QEvent::ToolTip && !tip_.isEmpty()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip_, view_->viewport());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MarketChart::Show(const std::optional<MarketOutlook>& outlook, const std::optional<ForecastSpread>& spread,
                       const std::optional<Running>& running)
{
    ShowTip({}); // the hovered point goes with the chart it was on
    auto* chart = new QChart;
    // Small type: the chart shares a small window with three tables.
    QFont small = font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.8);
    else
        small.setPixelSize(std::max(8, small.pixelSize() * 4 / 5));
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(small);
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    if (!outlook) {
        chart->setTitle(U("似た商品の落札がまだ足りません"));
        Replace(view_, chart);
        return;
    }
    const MarketPrice& market = outlook->market;
    std::int64_t first = INT64_MAX, last = INT64_MIN, low = INT64_MAX, high = 0;
    auto take = [&](std::int64_t time, std::int64_t price) {
        first = std::min(first, time);
        last = std::max(last, time);
        low = std::min(low, price);
        high = std::max(high, price);
    };
    for (const auto* list : {&market.similar, &market.outliers, &market.excluded})
        for (const SimilarAuction& a : *list)
            take(a.endTime, a.closingPrice);
    if (running) {
        take(running->endTime, running->currentPrice);
        if (spread)
            take(running->endTime, spread->band.high), take(running->endTime, spread->band.low);
    }
    // A day either side, so that points on the edge stay whole.
    const qreal from = Ms(first - 86400), to = Ms(last + 86400);

    std::vector<QAbstractSeries*> all;
    all.push_back(Line(chart, U("相場"), from, to, static_cast<qreal>(market.price), Qt::SolidLine, QColor(0x2c, 0xa0, 0x2c)));
    if (spread && spread->basis == ForecastSpread::Basis::Market) {
        all.push_back(Line(chart, U("予想範囲"), from, to, static_cast<qreal>(spread->band.low), Qt::DashLine, QColor(0xff, 0x7f, 0x0e)));
        QLineSeries* upper = Line(chart, QString(), from, to, static_cast<qreal>(spread->band.high), Qt::DashLine, QColor(0xff, 0x7f, 0x0e));
        all.push_back(upper);
    }
    // The points over the lines, which would take their hover.
    all.push_back(Sales(chart, U("採用"), market.similar, QScatterSeries::MarkerShapeCircle, QColor(0x1f, 0x77, 0xb4), this));
    if (!market.outliers.empty())
        all.push_back(Sales(chart, U("外れ値"), market.outliers, QScatterSeries::MarkerShapeRectangle, QColor(0xd6, 0x27, 0x28), this));
    if (!market.excluded.empty())
        all.push_back(Sales(chart, U("外した"), market.excluded, QScatterSeries::MarkerShapeRectangle, QColor(0x99, 0x99, 0x99), this));
    if (running) {
        if (spread) {
            auto* bar = new QLineSeries(chart);
            bar->setName(U("この商品の予想範囲"));
            bar->append(Ms(running->endTime), static_cast<qreal>(spread->band.low));
            bar->append(Ms(running->endTime), static_cast<qreal>(spread->band.high));
            QPen pen(QColor(0x94, 0x67, 0xbd));
            pen.setWidth(4);
            bar->setPen(pen);
            chart->addSeries(bar);
            all.push_back(bar);
        }
        auto* now = new QScatterSeries(chart);
        now->setName(U("現在の価格"));
        now->setMarkerShape(QScatterSeries::MarkerShapeStar);
        now->setMarkerSize(14);
        now->setColor(QColor(0x94, 0x67, 0xbd));
        now->append(Ms(running->endTime), static_cast<qreal>(running->currentPrice));
        chart->addSeries(now);
        all.push_back(now);
    }

    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("MM/dd"));
    x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from)), QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to)));
    x->setTickCount(6);
    x->setLabelsFont(small);
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setLabelsFont(small);
    y->setTickCount(4);
    const qreal pad = std::max<qreal>(static_cast<qreal>(high - low) * 0.1, 100);
    y->setRange(std::max<qreal>(0, static_cast<qreal>(low) - pad), static_cast<qreal>(high) + pad);
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : all) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // The band's upper line repeats the lower one's entry.
    for (QLegendMarker* marker : chart->legend()->markers())
        if (marker->label().isEmpty())
            marker->setVisible(false);
    Replace(view_, chart);
}

void MarketChart::SaveWithDialog()
{
    // Told when it fails, as the lists' CSV is.
    SaveFileAs(this, "グラフを保存", "mirelo-market.png", "PNG (*.png)", "グラフを保存できませんでした", [this] {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        view_->grab().save(&buffer, "PNG");
        return png.toStdString();
    });
}

bool MarketChart::SavePng(const QString& path) const
{
    return view_->grab().save(path, "PNG");
}
