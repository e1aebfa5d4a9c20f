// The price-over-time chart of the main window: one line series of labelled,
// coloured points over seconds, drawn flat or in 3D, on screen, in print and to PNG.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class QPrinter;

struct ChartPoint {
    double x = 0;       // seconds since 1970
    double y = 0;       // yen
    std::string label;  // Shift_JIS, shown on the horizontal axis
    QColor colour;      // invalid: the series colour
};

// What the chart shows; kept apart from the widget so that the layout and
// the drawing can be used and tested without one.
struct ChartModel {
    std::string title;
    std::string bottomTitle;
    std::string leftTitle;
    std::vector<std::string> footLines;
    std::vector<ChartPoint> points; // ascending x
    QColor seriesColour = Qt::red;
    bool view3D = true;
    bool marksVisible = false;

    // Inserts after every point whose x is not larger, so equal times keep
    // the order they were added in.
    void Add(ChartPoint point);
    QColor ColourOf(const ChartPoint& point) const { return point.colour.isValid() ? point.colour : seriesColour; }
};

// Vertical scale: 0 .. max in steps of 1, 2 or 5 times a power of ten.
struct ChartScale {
    double max = 0;
    double step = 0;
};
double NiceStep(double rough);
// At most maxSteps steps, and the top a little above dataMax so the highest
// point does not touch the frame.
ChartScale ScaleFor(double dataMax, int maxSteps);

// Indices, ascending, of the rects that can be drawn without two of them coming
// closer than gap: those in priority order first, then the rest in index order,
// each kept only when it clears every one kept before. Empty rects are skipped.
std::vector<int> ThinRects(const std::vector<QRectF>& rects, const std::vector<int>& priority, double gap);

// Everything one drawing of the chart places, in the painter's coordinates.
struct ChartLayout {
    struct Text {
        QRectF rect;
        QString text;
        int point = -1; // index of the point it belongs to, or -1
    };

    QRectF area;
    QRectF front;       // front plane of the plot
    QPointF depth;      // back plane = front + depth; (0, 0) when flat
    double xMin = 0, xMax = 1;
    ChartScale scale;

    QFont titleFont, labelFont, axisTitleFont, footFont, markFont;
    Text title;
    Text bottomTitle;
    Text leftTitle;              // rect before the quarter turn: centre and size
    std::vector<Text> yLabels;   // point: the tick's index from 0
    std::vector<Text> xLabels;   // kept point labels, left to right
    std::vector<Text> marks;     // every point's value mark (rect of the box), in drawing order
    std::vector<QPointF> markAnchors; // where each mark's arrow starts
    std::vector<Text> foot;      // wrapped foot lines

    QPointF Map(double x, double y) const;
};

// keepClear: an area (the widget's own controls) that title and plot must avoid.
ChartLayout LayoutChart(const ChartModel& model, const QRectF& area, const QFont& base, const QRectF& keepClear = {});
void PaintChart(QPainter& painter, const ChartModel& model, const ChartLayout& layout);

class PriceChart : public QWidget {
    Q_OBJECT
public:
    explicit PriceChart(QWidget* parent = nullptr);

    void SetTitle(std::string_view sjis);
    void SetBottomAxisTitle(std::string_view sjis);
    void SetLeftAxisTitle(std::string_view sjis);
    const std::string& Title() const { return model_.title; }
    const std::string& BottomAxisTitle() const { return model_.bottomTitle; }
    const std::string& LeftAxisTitle() const { return model_.leftTitle; }

    // The series. A point without a colour is drawn in the series colour; the
    // segment leading into a point takes the point's colour.
    void Clear();
    void AddXY(double x, double y, std::string_view labelSjis, QColor colour = QColor());
    const std::vector<ChartPoint>& Points() const { return model_.points; }
    void SetSeriesColour(QColor colour);
    QColor SeriesColour() const { return model_.seriesColour; }

    void SetView3D(bool on);
    bool View3D() const { return model_.view3D; }
    void SetMarksVisible(bool on);
    bool MarksVisible() const { return model_.marksVisible; }

    void SetFootLines(std::vector<std::string> sjisLines);
    void ClearFoot();
    const std::vector<std::string>& FootLines() const { return model_.footLines; }

    void Repaint() { update(); }
    const ChartModel& Model() const { return model_; }

    // The one drawing routine of screen, print and export.
    void Paint(QPainter& painter, const QRectF& area) const;
    QImage RenderImage(QSize size) const;
    // size: the widget's size when empty.
    bool ExportPng(const QString& path, QSize size = QSize()) const;
    // One page: the chart fills the printable width, at most 3/4 as high.
    bool Print(QPrinter& printer) const;
    // Modal print preview owned by owner, landscape preselected; repaints after.
    void PrintPreview(QWidget* owner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ChartModel model_;
};
