#include "board/BoardModel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <limits>

#include "analysis/Prediction.h"
#include "base/Text.h"
#include "board/BoardText.h"

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QString Yen(std::optional<std::int64_t> value)
{
    return value ? BoardYen(*value) : QString();
}

QString DateTime(std::int64_t time, const char* format)
{
    return QDateTime::fromSecsSinceEpoch(time).toString(QString::fromLatin1(format));
}

qint64 SortValue(std::optional<std::int64_t> value)
{
    // Rows without the value go last in ascending order.
    return value ? *value : std::numeric_limits<qint64>::max();
}

} // namespace

BoardModel::BoardModel(const Board& board, std::function<std::int64_t()> clock, QObject* parent)
    : QAbstractTableModel(parent), board_(board), clock_(std::move(clock))
{
}

int BoardModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(board_.Rows().size());
}

int BoardModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant BoardModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[kColumns] = {"商品名", "現在価格", "入札", "終了日時", "残り時間", "予測",
                                                   "相場（件数）", "相場加味予測", "上限", "状態", "最終取得",
                                                   "落札見込み", "同型"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
        return U(captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags BoardModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == Limit)
        f |= Qt::ItemIsEditable;
    return f;
}

BoardModel::Look BoardModel::LookOf(const BoardRow& row, std::int64_t now) const
{
    if (row.OverLimit() || (!row.done && row.ForecastOverLimit()))
        return Look::OverLimit;
    if (row.done || row.state == RowState::Ended)
        return Look::Ended;
    const std::optional<std::int64_t> end = row.EndTime();
    if (end && *end - now <= kSoonSeconds)
        return *end > now ? Look::Soon : Look::Ended;
    return Look::Plain;
}

QString BoardModel::Marks(const BoardRow& row, std::int64_t now) const
{
    QString marks;
    const std::optional<std::int64_t> end = row.EndTime();
    if (!row.done && end && *end > now && *end - now <= kSoonSeconds)
        marks += U("・まもなく終了");
    if (row.OverLimit())
        marks += U("・価格が上限超え");
    if (!row.done && row.ForecastOverLimit())
        marks += U("・予測が上限超え");
    return marks;
}

QVariant BoardModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const BoardRow& row = board_.Rows()[static_cast<std::size_t>(index.row())];
    const std::int64_t now = clock_();
    const BoardColumns c = ColumnsOf(row, now);

    if (role == Qt::BackgroundRole) {
        switch (LookOf(row, now)) {
        case Look::OverLimit:
            return QBrush(QColor(255, 205, 210));
        case Look::Soon:
            return QBrush(QColor(255, 224, 178));
        case Look::Ended:
            return QBrush(QColor(224, 224, 224));
        case Look::Plain:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const int col = index.column();
        return col == Price || col == Bids || col == Forecast || col == Market || col == MarketForecast || col == Limit
                       || col == Chance
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role == Qt::UserRole) { // the sort value
        switch (index.column()) {
        case Title:
            return QString::fromStdString(Utf8FromSjis(row.title));
        case Price:
            return SortValue(c.price);
        case Bids:
            return SortValue(c.bids);
        case End:
            return SortValue(c.end);
        case TimeLeft:
            // Ended rows after the running ones.
            return row.done ? std::numeric_limits<qint64>::max() - 1 : SortValue(c.end);
        case Forecast:
            return SortValue(c.forecast);
        case Market:
            return SortValue(c.marketPrice);
        case MarketForecast:
            return SortValue(c.marketForecast);
        case Limit:
            return SortValue(row.limit);
        case State:
            return StateText(row) + Marks(row, now);
        case LastRead:
            return qint64{row.lastRead};
        case Chance:
            return c.chance ? *c.chance : 2.0;
        case Group: {
            // A group's rows together, the cheapest first; rows alone last.
            const GroupMark mark = GroupOf(index.row());
            if (mark.group < 0)
                return std::numeric_limits<qint64>::max();
            return qint64{mark.group} * 4 + (mark.cheapest ? 0 : 1);
        }
        }
        return {};
    }
    // A narrow column cuts the state and the title: the tip has them whole.
    if (role == Qt::ToolTipRole && index.column() == State)
        return StateText(row) + Marks(row, now);
    if (role == Qt::ToolTipRole && index.column() == Title)
        return QString::fromStdString(Utf8FromSjis(row.title));
    if (role == Qt::ToolTipRole && (index.column() == Forecast || index.column() == MarketForecast) && c.band)
        return U("予想範囲 %1〜%2（%3）")
            .arg(Yen(c.band->low), Yen(c.band->high),
                 row.last && row.last->bandFromOwnErrors ? U("これまでの予測の誤差から") : U("似た落札から"));
    if (role == Qt::EditRole && index.column() == Limit)
        return row.limit ? QString::number(*row.limit) : QString();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Title:
        return QString::fromStdString(Utf8FromSjis(row.title));
    case Price:
        return Yen(c.price);
    case Bids:
        return c.bids ? QString::number(*c.bids) : QString();
    case End:
        return c.end ? DateTime(*c.end, "yyyy/MM/dd HH:mm") : QString();
    case TimeLeft:
        return c.end ? TimeLeftText(*c.end - now) : QString();
    case Forecast:
        return Yen(c.forecast);
    case Market:
        return c.marketPrice ? U("%1（%2件）").arg(Yen(c.marketPrice)).arg(c.marketCount) : QString();
    case MarketForecast:
        return Yen(c.marketForecast);
    case Limit:
        return Yen(row.limit);
    case State:
        return StateText(row) + Marks(row, now);
    case LastRead:
        return row.lastRead ? DateTime(row.lastRead, "HH:mm:ss") : QString();
    case Chance:
        return c.chance ? QString::number(std::lround(*c.chance * 100)) + U(" %") : QString();
    case Group: {
        const GroupMark mark = GroupOf(index.row());
        if (mark.group < 0)
            return QString();
        return QString::fromStdString(GroupLabel(mark.group)) + (mark.cheapest ? U("・最安見込み") : QString());
    }
    }
    return {};
}

bool BoardModel::Regroup()
{
    // The groups follow the titles alone, and a sweep changes them one read at a time.
    const std::int64_t now = clock_();
    std::vector<std::string> titles;
    std::vector<std::optional<std::int64_t>> expected;
    for (const BoardRow& row : board_.Rows()) {
        titles.push_back(row.title);
        expected.push_back(ExpectedClose(row, now));
    }
    if (titles != groupedTitles_) {
        groupOfRow_ = grouper_.Group(titles);
        groupedTitles_ = std::move(titles);
    }
    std::vector<GroupMark> groups = MarkCheapest(groupOfRow_, expected);
    const bool changed = groups != groups_;
    groups_ = std::move(groups);
    return changed;
}

GroupMark BoardModel::GroupOf(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < groups_.size() ? groups_[static_cast<std::size_t>(row)] : GroupMark{};
}

bool BoardModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != Limit || !OnLimit)
        return false;
    QString text = value.toString().trimmed();
    text.remove(QLatin1Char(',')).remove(QChar(0x00A5)).remove(U("円"));
    std::optional<std::int64_t> limit;
    if (!text.isEmpty()) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        // A limit is a price the settings store can hold.
        if (!ok || number <= 0 || number > std::numeric_limits<std::int32_t>::max())
            return false;
        limit = number;
    }
    OnLimit(index.row(), limit);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), kColumns - 1));
    return true;
}

void BoardModel::Reset()
{
    beginResetModel();
    looks_.clear();
    Regroup();
    endResetModel();
    Tick();
}

void BoardModel::RowsChanged()
{
    Regroup();
    const int rows = rowCount();
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, kColumns - 1));
}

void BoardModel::RowsChanged(const std::vector<std::size_t>& rows)
{
    // A read may change a group's cheapest, or a title: then every group row repaints.
    if (Regroup() && rowCount() > 0)
        emit dataChanged(index(0, Group), index(rowCount() - 1, Group));
    for (std::size_t r : rows) {
        if (r < board_.Rows().size())
            emit dataChanged(index(static_cast<int>(r), 0), index(static_cast<int>(r), kColumns - 1));
    }
}

void BoardModel::Tick()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const std::int64_t now = clock_();
    looks_.resize(static_cast<std::size_t>(rows), Look::Plain);
    // Display only: a sort by the sort role need not move any row.
    emit dataChanged(index(0, TimeLeft), index(rows - 1, TimeLeft), {Qt::DisplayRole});
    for (int r = 0; r < rows; ++r) {
        const Look look = LookOf(board_.Rows()[static_cast<std::size_t>(r)], now);
        if (look != looks_[static_cast<std::size_t>(r)]) {
            looks_[static_cast<std::size_t>(r)] = look;
            emit dataChanged(index(r, 0), index(r, kColumns - 1));
        }
    }
}
