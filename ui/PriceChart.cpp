#include "ui/PriceChart.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "ui/Sjis.h"

namespace {

// Sizes in pixels of the painter's coordinates; print scales them as a whole.
constexpr double kMargin = 6;
constexpr double kGap = 3;
constexpr double kTick = 4;
constexpr double kLabelGap = 10; // between two point labels
constexpr double kArrow = 8;     // from a point to its value mark
constexpr int kTitlePx = 14;
constexpr int kLabelPx = 11;
constexpr int kAxisTitlePx = 12;
constexpr int kMarkPx = 10;
constexpr int kFootPx = 12;
constexpr int kFootMinPx = 9;

QFont PixelFont(const QFont& base, int px, bool bold = false)
{
    QFont f(base);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// Yen as the Japanese locale writes them (1,234,567); prices are whole yen.
QString YenText(double value)
{
    static const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    if (std::isfinite(value) && std::fabs(value) < 1e15 && value == std::floor(value))
        return japanese.toString(static_cast<qlonglong>(value));
    return japanese.toString(value, 'f', 2);
}

QRectF Centred(QPointF centre, QSizeF size)
{
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

// Moves r sideways so it lies within [left, right] where it can.
QRectF KeepInside(QRectF r, double left, double right)
{
    if (r.right() > right)
        r.moveRight(right);
    if (r.left() < left)
        r.moveLeft(left);
    return r;
}

// The labels that matter most survive thinning: the forecast at the end, the
// points given their own colour, then the first one.
std::vector<int> LabelPriority(const ChartModel& model)
{
    std::vector<int> order;
    const int n = static_cast<int>(model.points.size());
    if (n == 0)
        return order;
    order.push_back(n - 1);
    for (int i = n - 2; i >= 0; --i)
        if (model.points[i].colour.isValid())
            order.push_back(i);
    order.push_back(0);
    return order;
}

std::vector<QString> Wrap(const QString& text, const QFont& font, double width)
{
    std::vector<QString> lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// The foot lines are long summaries: shrink them a little first, then wrap,
// so every word stays on the page.
std::vector<QString> FitFoot(const std::vector<QString>& texts, const QFont& base, double width, double maxHeight,
                             QFont& font)
{
    std::vector<QString> lines;
    for (int px = kFootPx; px >= kFootMinPx + 1; --px) {
        font = PixelFont(base, px);
        QFontMetricsF fm(font);
        if (std::all_of(texts.begin(), texts.end(), [&](const QString& t) { return fm.horizontalAdvance(t) <= width; }))
            return texts;
    }
    for (int px = kFootPx - 1; px >= kFootMinPx; --px) {
        font = PixelFont(base, px);
        lines.clear();
        for (const QString& t : texts)
            for (QString& part : Wrap(t, font, width))
                lines.push_back(std::move(part));
        if (lines.size() * QFontMetricsF(font).lineSpacing() <= maxHeight)
            return lines;
    }
    // Only a very small chart gets here: keep what fits and mark the cut.
    QFontMetricsF fm(font);
    std::size_t fit = std::max<std::size_t>(1, static_cast<std::size_t>(maxHeight / fm.lineSpacing()));
    if (lines.size() > fit) {
        lines.resize(fit);
        lines.back() = fm.elidedText(lines.back() + QChar(0x2026), Qt::ElideRight, width);
    }
    return lines;
}

} // namespace

void ChartModel::Add(ChartPoint point)
{
    auto at = std::upper_bound(points.begin(), points.end(), point.x,
                               [](double x, const ChartPoint& p) { return x < p.x; });
    points.insert(at, std::move(point));
}

double NiceStep(double rough)
{
    if (!(rough > 0) || !std::isfinite(rough))
        return 1;
    const double base = std::pow(10.0, std::floor(std::log10(rough)));
    const double f = rough / base;
    const double m = f <= 1 + 1e-9 ? 1 : f <= 2 + 1e-9 ? 2 : f <= 5 + 1e-9 ? 5 : 10;
    return m * base;
}

ChartScale ScaleFor(double dataMax, int maxSteps)
{
    const double top = dataMax > 0 && std::isfinite(dataMax) ? dataMax * 1.05 : 10;
    const double step = std::max(1.0, NiceStep(top / std::max(1, maxSteps)));
    return {std::ceil(top / step - 1e-9) * step, step};
}

std::vector<int> ThinRects(const std::vector<QRectF>& rects, const std::vector<int>& priority, double gap)
{
    const int n = static_cast<int>(rects.size());
    std::vector<char> tried(rects.size(), 0);
    std::vector<int> kept;
    const double g = gap / 2;
    auto consider = [&](int i) {
        if (i < 0 || i >= n || tried[i])
            return;
        tried[i] = 1;
        if (rects[i].isEmpty())
            return;
        const QRectF grown = rects[i].adjusted(-g, -g, g, g);
        for (int k : kept)
            if (grown.intersects(rects[k].adjusted(-g, -g, g, g)))
                return;
        kept.push_back(i);
    };
    for (int i : priority)
        consider(i);
    for (int i = 0; i < n; ++i)
        consider(i);
    std::sort(kept.begin(), kept.end());
    return kept;
}

QPointF ChartLayout::Map(double x, double y) const
{
    const double fx = xMax > xMin ? (x - xMin) / (xMax - xMin) : 0.5;
    const double fy = scale.max > 0 ? y / scale.max : 0;
    return {front.left() + fx * front.width(), front.bottom() - fy * front.height()};
}

namespace {

// Rects placed so far, found by the columns they span, so that a long log's
// marks are checked only against their neighbours.
class RectGrid {
public:
    RectGrid(double left, double width)
        : left_(left), columns_(static_cast<std::size_t>(std::max(1.0, std::ceil(width / kColumn))) + 1)
    {
    }

    // The area of r that placed rects cover (grown by gap / 2 each); 0 when free.
    double Covered(const QRectF& r, double gap)
    {
        const double g = gap / 2;
        const QRectF grown = r.adjusted(-g, -g, g, g);
        double covered = 0;
        ++query_;
        ForColumns(r, [&](std::size_t c) {
            for (int k : columns_[c]) {
                // A rect spanning several columns is met in each: count it once.
                if (seen_[static_cast<std::size_t>(k)] == query_)
                    continue;
                seen_[static_cast<std::size_t>(k)] = query_;
                const QRectF hit = grown.intersected(rects_[static_cast<std::size_t>(k)].adjusted(-g, -g, g, g));
                if (!hit.isEmpty())
                    covered += hit.width() * hit.height();
            }
        });
        return covered;
    }

    void Add(const QRectF& r)
    {
        const int k = static_cast<int>(rects_.size());
        rects_.push_back(r);
        seen_.push_back(0);
        ForColumns(r, [&](std::size_t c) { columns_[c].push_back(k); });
    }

private:
    static constexpr double kColumn = 48;

    std::size_t Column(double x) const
    {
        return static_cast<std::size_t>(std::clamp((x - left_) / kColumn, 0.0, double(columns_.size() - 1)));
    }
    template <class F>
    void ForColumns(const QRectF& r, F&& f) const
    {
        for (std::size_t c = Column(r.left() - 2), last = Column(r.right() + 2); c <= last; ++c)
            f(c);
    }

    double left_;
    std::vector<std::vector<int>> columns_;
    std::vector<QRectF> rects_;
    std::vector<unsigned> seen_; // the last query that met each rect
    unsigned query_ = 0;
};

// Every point gets its value mark; none is dropped for lack of room. Each
// takes the nearest free place above or below its point, a few steps further
// out when those are taken. Where none is free the mark stays right at its
// point, on the side less covered, so that a crowded log's marks follow its
// line instead of burying the chart. The marks that matter most are placed
// first and drawn last, on top.
void PlaceMarks(ChartLayout& L, const ChartModel& model, const std::vector<int>& priority, const QFontMetricsF& fm,
                const QRectF& clear)
{
    constexpr int kLevels = 4; // steps out from the point, each one mark high
    constexpr double kMarkGap = 2;
    const std::vector<ChartPoint>& pts = model.points;
    const int n = static_cast<int>(pts.size());
    const double top = std::max(L.area.top(), L.front.top() + L.depth.y()), bottom = L.front.bottom();

    std::vector<int> order;
    std::vector<char> queued(pts.size(), 0);
    for (int i : priority)
        if (i >= 0 && i < n && !queued[i]) {
            queued[i] = 1;
            order.push_back(i);
        }
    for (int i = 0; i < n; ++i)
        if (!queued[i])
            order.push_back(i);

    RectGrid placed(L.area.left(), L.area.width());
    std::vector<ChartLayout::Text> marks;
    std::vector<QPointF> anchors;
    for (int i : order) {
        const QString text = YenText(pts[i].y);
        const QPointF anchor = L.Map(pts[i].x, std::max(0.0, pts[i].y)) + L.depth;
        const QSizeF size(fm.horizontalAdvance(text) + 6, fm.height() + 2);
        const QRectF base = KeepInside(QRectF(QPointF(anchor.x() - size.width() / 2, 0), size), L.front.left(),
                                       L.area.right());
        QRectF best;
        double bestCovered = -1;
        for (int level = 0; level <= kLevels && bestCovered != 0; ++level) {
            const double reach = kArrow + level * (size.height() + kMarkGap);
            for (const double y : {anchor.y() - reach - size.height(), anchor.y() + reach}) {
                const QRectF box = base.translated(0, y);
                if (box.top() < top || box.bottom() > bottom || (!clear.isEmpty() && box.intersects(clear)))
                    continue;
                const double covered = placed.Covered(box, kMarkGap);
                if (covered == 0 || (level == 0 && (bestCovered < 0 || covered < bestCovered))) {
                    best = box;
                    bestCovered = covered;
                }
                if (covered == 0)
                    break;
            }
        }
        if (best.isNull()) // a chart too small for the near places: above, as near as the top allows
            best = base.translated(0, std::clamp(anchor.y() - kArrow - size.height(), L.area.top(),
                                                 std::max(L.area.top(), L.area.bottom() - size.height())));
        placed.Add(best);
        marks.push_back({best, text, i});
        anchors.push_back(anchor);
    }
    L.marks.assign(marks.rbegin(), marks.rend());
    L.markAnchors.assign(anchors.rbegin(), anchors.rend());
}

} // namespace

ChartLayout LayoutChart(const ChartModel& model, const QRectF& area, const QFont& base, const QRectF& keepClear)
{
    ChartLayout L;
    L.area = area;
    L.titleFont = PixelFont(base, kTitlePx, true);
    L.labelFont = PixelFont(base, kLabelPx);
    L.axisTitleFont = PixelFont(base, kAxisTitlePx);
    L.markFont = PixelFont(base, kMarkPx);
    const QFontMetricsF titleFm(L.titleFont), labelFm(L.labelFont), axisFm(L.axisTitleFont), markFm(L.markFont);
    const QRectF clear = keepClear.intersected(area);
    const std::vector<ChartPoint>& pts = model.points;
    const int n = static_cast<int>(pts.size());

    std::vector<QString> labels;
    labels.reserve(pts.size());
    for (const ChartPoint& p : pts)
        labels.push_back(QStr(p.label));

    // Top: the title, centred unless that would put it under the controls.
    double top = area.top() + kMargin;
    if (!model.title.empty()) {
        const QString text = QStr(model.title);
        QRectF r(0, area.top() + kMargin, titleFm.horizontalAdvance(text), titleFm.height());
        r.moveLeft(area.center().x() - r.width() / 2);
        if (!clear.isEmpty() && r.intersects(clear))
            r.moveLeft(clear.right() + kMargin * 2);
        if (r.right() > area.right() - kMargin) {
            r.moveLeft(area.center().x() - r.width() / 2);
            if (!clear.isEmpty() && r.intersects(clear))
                r.moveTop(clear.bottom() + kGap);
        }
        r = KeepInside(r, area.left(), area.right());
        L.title = {r, text};
        top = r.bottom() + kGap;
    }
    if (!clear.isEmpty())
        top = std::max(top, clear.bottom() + kGap);
    top += labelFm.height() / 2; // room for the top tick label

    // Bottom, upwards: foot, axis title, point labels.
    double bottom = area.bottom() - kMargin;
    if (!model.footLines.empty()) {
        std::vector<QString> texts;
        for (const std::string& line : model.footLines)
            texts.push_back(QStr(line));
        const double width = area.width() - 2 * kMargin;
        const double minLine = QFontMetricsF(PixelFont(base, kFootMinPx)).lineSpacing();
        const double maxHeight = std::max(area.height() * 0.35, 2 * minLine);
        std::vector<QString> lines = FitFoot(texts, base, width, maxHeight, L.footFont);
        const QFontMetricsF fm(L.footFont);
        double y = bottom - lines.size() * fm.lineSpacing();
        bottom = y - kGap;
        for (QString& line : lines) {
            const QRectF r(area.center().x() - width / 2, y, width, fm.height());
            L.foot.push_back({r, std::move(line)});
            y += fm.lineSpacing();
        }
    }
    if (!model.bottomTitle.empty()) {
        const QString text = QStr(model.bottomTitle);
        L.bottomTitle = {QRectF(0, bottom - axisFm.height(), axisFm.horizontalAdvance(text), axisFm.height()), text};
        bottom -= axisFm.height() + kGap;
    }
    bottom -= kTick + 1 + labelFm.height();
    bottom = std::max(bottom, top + 1);

    // Depth of the 3D view: a share of the plot, small enough to leave the data readable.
    const double plotHeight = bottom - top;
    double d = 0;
    if (model.view3D)
        d = std::round(std::clamp(std::min(plotHeight * 0.12, area.width() * 0.04), 3.0, 30.0));
    L.depth = QPointF(d, -d);
    const double frontTop = std::min(top + d, bottom - 1);

    // Vertical scale: as many steps as tick labels fit comfortably.
    double dataMax = 0;
    for (const ChartPoint& p : pts)
        dataMax = std::max(dataMax, p.y);
    const int maxSteps = std::clamp(static_cast<int>((bottom - frontTop) / (labelFm.height() * 1.8)), 1, 10);
    L.scale = ScaleFor(dataMax, maxSteps);
    const int ticks = static_cast<int>(std::lround(L.scale.max / L.scale.step));
    double tickWidth = 0;
    for (int k = 0; k <= ticks; ++k) {
        ChartLayout::Text t;
        t.text = YenText(k * L.scale.step);
        t.point = k;
        tickWidth = std::max(tickWidth, labelFm.horizontalAdvance(t.text));
        L.yLabels.push_back(std::move(t));
    }

    // Left, rightwards: axis title (turned), tick labels, ticks.
    double left = area.left() + kMargin;
    if (!model.leftTitle.empty()) {
        L.leftTitle.text = QStr(model.leftTitle);
        left += axisFm.height() + kGap;
    }
    left += tickWidth + kGap + kTick;
    // Right: the back wall, and half of the last label centred on the last point.
    double right = area.right() - kMargin - d;
    if (n > 0)
        right = std::min(right, area.right() - 1 - labelFm.horizontalAdvance(labels.back()) / 2);
    right = std::max(right, left + 1);
    L.front = QRectF(QPointF(left, frontTop), QPointF(right, bottom));

    if (n > 0) {
        L.xMin = pts.front().x;
        L.xMax = pts.back().x;
        if (!(L.xMax > L.xMin)) {
            L.xMin -= 1;
            L.xMax += 1;
        }
    }

    for (ChartLayout::Text& t : L.yLabels) {
        const double y = L.Map(0, t.point * L.scale.step).y();
        const double w = labelFm.horizontalAdvance(t.text);
        t.rect = QRectF(left - kTick - kGap - w, y - labelFm.height() / 2, w, labelFm.height());
    }
    if (!L.leftTitle.text.isEmpty())
        L.leftTitle.rect = Centred(QPointF(area.left() + kMargin + axisFm.height() / 2, L.front.center().y()),
                                   QSizeF(axisFm.horizontalAdvance(L.leftTitle.text), axisFm.height()));
    if (!L.bottomTitle.text.isEmpty())
        L.bottomTitle.rect = KeepInside(Centred(QPointF(L.front.center().x(), L.bottomTitle.rect.center().y()),
                                                L.bottomTitle.rect.size()),
                                        area.left(), area.right());

    // Point labels under the front plane, thinned so none covers another.
    const std::vector<int> priority = LabelPriority(model);
    {
        std::vector<QRectF> spans(pts.size());
        for (int i = 0; i < n; ++i) {
            if (labels[i].isEmpty())
                continue;
            const double w = labelFm.horizontalAdvance(labels[i]);
            const double x = L.Map(pts[i].x, 0).x();
            const QRectF r(x - w / 2, bottom + kTick + 1, w, labelFm.height());
            spans[i] = KeepInside(r, area.left(), area.right());
        }
        for (int i : ThinRects(spans, priority, kLabelGap))
            L.xLabels.push_back({spans[i], labels[i], i});
    }

    if (model.marksVisible)
        PlaceMarks(L, model, priority, markFm, clear);
    return L;
}

namespace {

const QColor kInk(0x30, 0x30, 0x30);
const QColor kAxis(0x70, 0x75, 0x7d);
const QColor kGrid(0xd0, 0xd4, 0xda);

void DrawText(QPainter& p, const QFont& font, const QRectF& rect, const QString& text, int align = Qt::AlignCenter)
{
    p.setFont(font);
    p.drawText(rect, align | Qt::TextDontClip, text);
}

void DrawFrame(QPainter& p, const ChartModel& model, const ChartLayout& L)
{
    const QRectF& f = L.front;
    const QPointF d = L.depth;
    const QRectF back = f.translated(d);
    QLinearGradient wall(back.topLeft(), back.bottomLeft());
    wall.setColorAt(0, QColor(0xff, 0xff, 0xff));
    wall.setColorAt(1, QColor(0xee, 0xf1, 0xf5));

    p.setPen(Qt::NoPen);
    p.setBrush(wall);
    p.drawRect(back);
    if (!d.isNull()) {
        p.setBrush(QColor(0xe4, 0xe8, 0xee));
        p.drawPolygon(QPolygonF({f.topLeft(), back.topLeft(), back.bottomLeft(), f.bottomLeft()}));
        p.setBrush(QColor(0xd6, 0xdb, 0xe2));
        p.drawPolygon(QPolygonF({f.bottomLeft(), f.bottomRight(), back.bottomRight(), back.bottomLeft()}));
    }

    // Grid on the back wall, carried over the left wall and the floor to the front axes.
    p.setPen(QPen(kGrid, 1));
    for (const ChartLayout::Text& t : L.yLabels) {
        const QPointF a = L.Map(L.xMin, t.point * L.scale.step);
        if (t.point > 0)
            p.drawLine(a + d, QPointF(back.right(), a.y() + d.y()));
        if (!d.isNull())
            p.drawLine(a, a + d);
    }
    for (const ChartLayout::Text& t : L.xLabels) {
        const QPointF foot = L.Map(model.points[t.point].x, 0);
        p.drawLine(foot + d, QPointF(foot.x() + d.x(), back.top()));
        if (!d.isNull())
            p.drawLine(foot, foot + d);
    }

    p.setPen(QPen(QColor(0xa8, 0xae, 0xb6), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(back);
    if (!d.isNull()) {
        p.drawLine(f.topLeft(), back.topLeft());
        p.drawLine(f.bottomRight(), back.bottomRight());
    }
    // Front axes with their ticks.
    p.setPen(QPen(kAxis, 1));
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.drawLine(f.bottomLeft(), f.bottomRight());
    for (const ChartLayout::Text& t : L.yLabels) {
        const double y = L.Map(0, t.point * L.scale.step).y();
        p.drawLine(QPointF(f.left() - kTick, y), QPointF(f.left(), y));
    }
}

void DrawSeries(QPainter& p, const ChartModel& model, const ChartLayout& L)
{
    const std::vector<ChartPoint>& pts = model.points;
    if (pts.empty())
        return;
    const QPointF d = L.depth;
    p.save();
    // Values below 0 (the fixed minimum) stay inside the plot.
    const QRectF& f = L.front;
    p.setClipRect(QRectF(QPointF(f.left(), f.top() + d.y()), QPointF(f.right() + d.x(), f.bottom())).adjusted(-2, -2, 2, 2));
    if (pts.size() == 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(model.ColourOf(pts[0]));
        p.drawEllipse(L.Map(pts[0].x, pts[0].y) + d / 2, 3, 3);
    }
    for (std::size_t i = 1; i < pts.size(); ++i) {
        const QColor c = model.ColourOf(pts[i]);
        const QPointF a = L.Map(pts[i - 1].x, pts[i - 1].y);
        const QPointF b = L.Map(pts[i].x, pts[i].y);
        if (d.isNull()) {
            p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(a, b);
        } else {
            // A segment steeper than the depth direction shows the ribbon's
            // underside, which is in shadow. Outlined in its own colour so
            // neighbouring faces meet without seams.
            const QPointF s = b - a;
            const QColor face = s.x() * -d.y() + s.y() * d.x() < 0 ? c.darker(135) : c;
            p.setPen(QPen(face, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(face);
            p.drawPolygon(QPolygonF({a, b, b + d, a + d}));
        }
    }
    if (!d.isNull()) {
        // Darker edges give the ribbon its shape; one polyline per run of a
        // colour, as overlapping short strokes would pile up into a dark smear.
        for (std::size_t i = 1; i < pts.size();) {
            const QColor c = model.ColourOf(pts[i]);
            QPolygonF edge{L.Map(pts[i - 1].x, pts[i - 1].y)};
            for (; i < pts.size() && model.ColourOf(pts[i]) == c; ++i)
                edge << L.Map(pts[i].x, pts[i].y);
            p.setPen(QPen(c.darker(160), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(edge);
            p.setPen(QPen(c.darker(125), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(edge.translated(d));
        }
    }
    p.restore();
}

void DrawMarks(QPainter& p, const ChartLayout& L)
{
    for (std::size_t i = 0; i < L.marks.size(); ++i) {
        const QRectF& box = L.marks[i].rect;
        const QPointF anchor = L.markAnchors[i];
        const double edge = box.top() > anchor.y() ? box.top() : box.bottom();
        p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
        p.drawLine(anchor, QPointF(anchor.x(), edge));
        p.setBrush(QColor(0xff, 0xff, 0xe1));
        p.drawRect(box);
        p.setPen(Qt::black);
        DrawText(p, L.markFont, box, L.marks[i].text);
    }
}

} // namespace

void PaintChart(QPainter& p, const ChartModel& model, const ChartLayout& L)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(L.area, Qt::white);
    DrawFrame(p, model, L);
    DrawSeries(p, model, L);

    p.setPen(kInk);
    for (const ChartLayout::Text& t : L.yLabels)
        DrawText(p, L.labelFont, t.rect, t.text, Qt::AlignRight | Qt::AlignVCenter);
    p.setPen(QPen(kAxis, 1));
    for (const ChartLayout::Text& t : L.xLabels) {
        const double x = L.Map(model.points[t.point].x, 0).x();
        p.drawLine(QPointF(x, L.front.bottom()), QPointF(x, L.front.bottom() + kTick));
    }
    p.setPen(kInk);
    for (const ChartLayout::Text& t : L.xLabels)
        DrawText(p, L.labelFont, t.rect, t.text);
    DrawText(p, L.titleFont, L.title.rect, L.title.text);
    DrawText(p, L.axisTitleFont, L.bottomTitle.rect, L.bottomTitle.text);
    if (!L.leftTitle.text.isEmpty()) {
        p.save();
        p.translate(L.leftTitle.rect.center());
        p.rotate(-90);
        DrawText(p, L.axisTitleFont, Centred(QPointF(), L.leftTitle.rect.size()), L.leftTitle.text);
        p.restore();
    }
    DrawMarks(p, L);
    p.setPen(kInk);
    for (const ChartLayout::Text& t : L.foot)
        DrawText(p, L.footFont, t.rect, t.text);
    p.restore();
}

PriceChart::PriceChart(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void PriceChart::SetTitle(std::string_view sjis)
{
    model_.title = std::string(sjis);
    update();
}

void PriceChart::SetBottomAxisTitle(std::string_view sjis)
{
    model_.bottomTitle = std::string(sjis);
    update();
}

void PriceChart::SetLeftAxisTitle(std::string_view sjis)
{
    model_.leftTitle = std::string(sjis);
    update();
}

void PriceChart::Clear()
{
    model_.points.clear();
    update();
}

void PriceChart::AddXY(double x, double y, std::string_view labelSjis, QColor colour)
{
    model_.Add({x, y, std::string(labelSjis), colour});
    update();
}

void PriceChart::SetSeriesColour(QColor colour)
{
    model_.seriesColour = colour;
    update();
}

void PriceChart::SetView3D(bool on)
{
    model_.view3D = on;
    update();
}

void PriceChart::SetMarksVisible(bool on)
{
    model_.marksVisible = on;
    update();
}

void PriceChart::SetFootLines(std::vector<std::string> sjisLines)
{
    model_.footLines = std::move(sjisLines);
    update();
}

void PriceChart::ClearFoot()
{
    model_.footLines.clear();
    update();
}

void PriceChart::Paint(QPainter& painter, const QRectF& area) const
{
    PaintChart(painter, model_, LayoutChart(model_, area, font()));
}

QImage PriceChart::RenderImage(QSize size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    Paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

bool PriceChart::ExportPng(const QString& path, QSize size) const
{
    if (size.isEmpty())
        size = this->size();
    if (size.isEmpty())
        return false;
    return RenderImage(size).save(path, "PNG");
}

bool PriceChart::Print(QPrinter& printer) const
{
    QPainter p;
    if (!p.begin(&printer))
        return false;
    // Drawn as on a screen of 96 dots per inch, then scaled to the printer, so
    // the page shows the chart as the window does, only larger.
    const double scale = printer.resolution() / 96.0;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    QSizeF size(page.width() / scale, page.height() / scale);
    size.setHeight(std::min(size.height(), size.width() * 0.75));
    p.scale(scale, scale);
    Paint(p, QRectF(QPointF(0, 0), size));
    return p.end();
}

void PriceChart::PrintPreview(QWidget* owner)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog dialog(&printer, owner);
    dialog.setWindowTitle(QStr(SJ("印刷プレビュー")));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) { Print(*target); });
    dialog.exec();
    update();
}

void PriceChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintChart(p, model_, LayoutChart(model_, QRectF(rect()), font(), QRectF(childrenRect())));
}
