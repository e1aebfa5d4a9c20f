// The board's rows as a table for the view. Each second only the time-left
// texts change (and a row whose look changes with them): the view repaints
// those cells and lays nothing out again.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <optional>
#include <vector>

#include "board/Board.h"
#include "board/BoardGroups.h"

class BoardModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Title, Price, Bids, End, TimeLeft, Forecast, Market, MarketForecast, Limit, State, LastRead, Chance,
                  Group, kColumns };
    // Rows ending within this many seconds are marked.
    static constexpr std::int64_t kSoonSeconds = 600;

    BoardModel(const Board& board, std::function<std::int64_t()> clock, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The board's rows were replaced, or some of them changed.
    void Reset();
    void RowsChanged();
    void RowsChanged(const std::vector<std::size_t>& rows);
    // The countdown: once a second.
    void Tick();

    // A limit typed into a row (none: cleared).
    std::function<void(int row, std::optional<std::int64_t> limit)> OnLimit;

    enum class Look { Plain, Soon, Ended, OverLimit };
    Look LookOf(const BoardRow& row, std::int64_t now) const;
    // The marks the state column adds to the state, so colour is never alone.
    QString Marks(const BoardRow& row, std::int64_t now) const;
    GroupMark GroupOf(int row) const;

private:
    const Board& board_;
    std::function<std::int64_t()> clock_;
    std::vector<Look> looks_;
    // Listings of one model, found again whenever rows change.
    bool Regroup(); // whether any row's mark changed
    std::vector<GroupMark> groups_;
    std::vector<std::string> groupedTitles_; // the titles groupOfRow_ was made from
    std::vector<int> groupOfRow_;
    TitleGrouper grouper_;
};
