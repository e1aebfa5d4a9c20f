#include "ui/StringGrid.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <algorithm>

#include "ui/Sjis.h"

StringGrid::StringGrid(QWidget* parent) : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setColumnCount(5);
    setRowCount(5);
    StyleCells();
}

void StringGrid::SetRowCount(int rows)
{
    if (rows < 1)
        rows = 1;
    if (rows <= fixedRows_)
        fixedRows_ = rows - 1;
    setRowCount(rows);
    StyleCells();
}

void StringGrid::SetColCount(int cols)
{
    if (cols < 1)
        cols = 1;
    if (cols <= fixedCols_)
        fixedCols_ = cols - 1;
    setColumnCount(cols);
    StyleCells();
}

void StringGrid::SetFixedRows(int rows)
{
    if (rows >= 0 && rows < rowCount()) {
        fixedRows_ = rows;
        StyleCells();
    }
}

void StringGrid::SetFixedCols(int cols)
{
    if (cols >= 0 && cols < columnCount()) {
        fixedCols_ = cols;
        StyleCells();
    }
}

void StringGrid::SetDefaultRowHeight(int height)
{
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void StringGrid::SetColWidths(std::initializer_list<int> widths)
{
    int col = 0;
    for (int w : widths)
        setColumnWidth(col++, w);
}

std::string StringGrid::Cell(int col, int row) const
{
    const QTableWidgetItem* it = item(row, col);
    return it ? SjisStr(it->text()) : std::string();
}

void StringGrid::SetCell(int col, int row, std::string_view sjis)
{
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
        return;
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, col, it);
    }
    it->setText(QStr(sjis));
    if (col == titleCol_)
        it->setToolTip(it->text());
    bool fixed = row < fixedRows_ || col < fixedCols_;
    it->setFlags(fixed ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    it->setBackground(fixed ? palette().button() : palette().base());
}

void StringGrid::StyleCells()
{
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* it = item(r, c);
            if (!it) {
                it = new QTableWidgetItem;
                setItem(r, c, it);
            }
            bool fixed = r < fixedRows_ || c < fixedCols_;
            it->setFlags(fixed ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            it->setBackground(fixed ? palette().button() : palette().base());
        }
    }
}

void StringGrid::SetTitleColumn(int col)
{
    QStringList captions;
    for (int c = 0; c < columnCount(); ++c)
        captions << (item(0, c) ? item(0, c)->text() : QString());
    setHorizontalHeaderLabels(captions);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->show();
    setRowHidden(0, true);
    if (titleCol_ < 0)
        connect(header, &QHeaderView::sectionResized, this, [this](int logical) {
            if (logical != titleCol_)
                FitTitleColumn();
        });
    titleCol_ = col;
    for (int row = 0; row < rowCount(); ++row) {
        if (QTableWidgetItem* it = item(row, col))
            it->setToolTip(it->text());
    }
    FitTitleColumn();
}

void StringGrid::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    FitTitleColumn();
}

void StringGrid::FitTitleColumn()
{
    if (titleCol_ < 0 || titleCol_ >= columnCount() || fitting_)
        return;
    const QScopedValueRollback<bool> fitting(fitting_, true);
    int others = 0;
    for (int c = 0; c < columnCount(); ++c) {
        if (c != titleCol_)
            others += columnWidth(c);
    }
    // Never narrower than a few characters: the others then scroll.
    setColumnWidth(titleCol_, std::max(viewport()->width() - others, 8 * fontMetrics().averageCharWidth()));
}
