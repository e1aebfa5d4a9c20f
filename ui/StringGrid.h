// A grid of texts whose first rows and columns can be fixed (drawn as headers,
// not selectable), addressed by column and row like the cells of a sheet.
#pragma once

#include <QTableWidget>
#include <string>
#include <string_view>

class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit StringGrid(QWidget* parent = nullptr);

    int RowCount() const { return rowCount(); }
    int ColCount() const { return columnCount(); }
    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    // A row count at or below the fixed rows lowers them, as a grid must keep
    // at least one scrolling row.
    void SetRowCount(int rows);
    void SetColCount(int cols);
    void SetFixedRows(int rows);
    void SetFixedCols(int cols);
    void SetDefaultRowHeight(int height);
    void SetColWidths(std::initializer_list<int> widths);

    std::string Cell(int col, int row) const;
    void SetCell(int col, int row, std::string_view sjis);

    // For a column of long texts: row 0's texts become the captions of a
    // header whose borders resize the columns (row 0 itself is hidden); col
    // takes the width the others leave and shows each cell's whole text as
    // its tooltip.
    void SetTitleColumn(int col);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void StyleCells();
    void FitTitleColumn();

    int titleCol_ = -1;
    bool fitting_ = false;

    int fixedRows_ = 1;
    int fixedCols_ = 1;
};
