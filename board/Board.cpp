#include "board/Board.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "base/Text.h"
#include "board/BoardText.h"

std::optional<std::int64_t> BoardRow::EndTime() const
{
    if (!last || !last->auction.endTime)
        return std::nullopt;
    return *last->auction.endTime;
}

std::optional<std::int64_t> BoardRow::Price() const
{
    if (!last)
        return std::nullopt;
    return last->auction.LatestPrice();
}

bool BoardRow::OverLimit() const
{
    const std::optional<std::int64_t> price = Price();
    return limit && price && *price > *limit;
}

bool BoardRow::ForecastOverLimit() const
{
    if (!limit || !last)
        return false;
    std::optional<std::int64_t> forecast = last->marketForecast;
    if (!forecast && last->prediction && !last->prediction->ended)
        forecast = last->prediction->forecast;
    return forecast && *forecast > *limit;
}

void Board::SetEntries(const std::vector<AuctionEntry>& entries, std::int64_t now)
{
    // Kept rows by key, each used once so that a doubled entry keeps both.
    std::unordered_multimap<std::string, BoardRow> kept;
    for (BoardRow& row : rows_) {
        if (row.state == RowState::Reading)
            row.state = RowState::Waiting; // its read still lands on every row of the key
        kept.emplace(row.key, std::move(row));
    }
    std::vector<BoardRow> rows;
    rows.reserve(entries.size());
    for (const AuctionEntry& entry : entries) {
        const std::string key = AuctionKey(entry.Url);
        BoardRow row;
        const auto found = kept.find(key);
        if (found != kept.end()) {
            row = std::move(found->second);
            kept.erase(found);
        } else {
            row.key = key;
            row.due = now;
        }
        row.url = entry.Url;
        if (!row.last)
            row.title = entry.Title;
        row.limitId = AuctionLimitId(entry.Url);
        const auto limit = limits_.find(row.limitId);
        row.limit = limit != limits_.end() ? std::optional<std::int64_t>(limit->second) : std::nullopt;
        rows.push_back(std::move(row));
    }
    rows_ = std::move(rows);
    if (busy_) {
        // The read under way lands on its key's rows, if any remain.
        for (BoardRow& row : rows_) {
            if (row.key == readingKey_)
                row.state = RowState::Reading;
        }
    }
}

void Board::SetLimits(const std::map<std::string, std::int32_t>& limits)
{
    limits_.clear();
    for (const auto& [id, price] : limits) {
        if (price > 0)
            limits_.emplace(id, price);
    }
    for (BoardRow& row : rows_) {
        const auto limit = limits_.find(row.limitId);
        row.limit = limit != limits_.end() ? std::optional<std::int64_t>(limit->second) : std::nullopt;
    }
}

void Board::SetLimit(std::size_t row, std::optional<std::int64_t> limit)
{
    if (row >= rows_.size())
        return;
    const std::string id = rows_[row].limitId;
    if (limit)
        limits_[id] = *limit;
    else
        limits_.erase(id);
    for (BoardRow& r : rows_) {
        if (r.limitId == id) {
            r.limit = limit;
            // A new limit may be passed anew.
            alerted_.erase({r.key, AlertEvent::PriceOverLimit});
            alerted_.erase({r.key, AlertEvent::ForecastOverLimit});
        }
    }
}

void Board::LearnClock(std::int64_t local, std::int64_t service)
{
    // A Date has whole seconds: a change within them is no news, and would make the countdown stutter.
    const std::int64_t shift = service - local - clockOffset_;
    if (std::abs(shift) <= 1)
        return;
    clockOffset_ = service - local;
    // What was taken from the old clock moves with it: a row not yet read was
    // due when listed or when it failed, the gap and the freshness of alerts
    // count from then. Left, a service two hours behind would read nothing
    // more for two hours. Times from an auction's end stand.
    for (BoardRow& row : rows_) {
        if (row.lastRead == 0 && row.due)
            *row.due += shift;
    }
    if (lastRequest_)
        *lastRequest_ += shift;
    if (freshFrom_)
        freshFrom_ += shift;
}

void Board::TakeReading(const std::string& url, BoardReading reading)
{
    const std::string key = AuctionKey(url);
    for (BoardRow& row : rows_) {
        if (row.key != key || row.state == RowState::Reading)
            continue;
        // The run searches no market: the row keeps what it had.
        if (!reading.marketPrice && row.last) {
            reading.marketPrice = row.last->marketPrice;
            reading.marketCount = row.last->marketCount;
            reading.marketForecast = row.last->marketForecast;
        }
        Apply(row, reading);
    }
}

void Board::MarkAllDue(std::int64_t now)
{
    for (BoardRow& row : rows_)
        row.due = now;
}

std::optional<std::size_t> Board::NextToRead(std::int64_t now, bool runActive) const
{
    if (busy_ || runActive || (lastRequest_ && now < *lastRequest_ + settings_.gapSeconds))
        return std::nullopt;
    std::optional<std::size_t> next;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const BoardRow& row = rows_[i];
        if (row.due && *row.due <= now && (!next || *row.due < *rows_[*next].due))
            next = i;
    }
    return next;
}

std::optional<std::int64_t> Board::WaitForNext(std::int64_t now) const
{
    std::optional<std::int64_t> earliest;
    for (const BoardRow& row : rows_) {
        if (row.due && (!earliest || *row.due < *earliest))
            earliest = *row.due;
    }
    if (!earliest)
        return std::nullopt;
    std::int64_t at = *earliest;
    if (lastRequest_)
        at = std::max(at, *lastRequest_ + settings_.gapSeconds);
    return std::max<std::int64_t>(at - now, 0);
}

void Board::Started(std::size_t row, std::int64_t now)
{
    busy_ = true;
    lastRequest_ = now;
    readingKey_ = rows_.at(row).key;
    for (BoardRow& r : rows_) {
        if (r.key == readingKey_) {
            r.state = RowState::Reading;
            r.due.reset();
        }
    }
}

void Board::Interrupted(std::size_t, std::int64_t now)
{
    busy_ = false;
    lastRequest_ = now;
    for (BoardRow& r : rows_) {
        if (r.key == readingKey_) {
            r.state = r.last ? (r.done ? RowState::Ended : RowState::Waiting) : RowState::Waiting;
            r.due = now;
        }
    }
}

std::vector<std::size_t> Board::RowsOfRead() const
{
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].key == readingKey_)
            rows.push_back(i);
    }
    return rows;
}

void Board::Finished(std::size_t, const BoardReading& reading, std::optional<std::int64_t> replyEnd)
{
    busy_ = false;
    // The gap counts from the end of a request: a slow service gets its rest too.
    lastRequest_ = replyEnd.value_or(reading.now);
    for (BoardRow& r : rows_) {
        if (r.key == readingKey_)
            Apply(r, reading);
    }
}

void Board::Apply(BoardRow& row, const BoardReading& reading)
{
    row.lastRead = reading.now;
    if (!reading.ok) {
        row.state = RowState::Error;
        row.error = reading.error;
        ++row.failures;
        row.due = reading.permanent ? std::nullopt
                                    : std::optional<std::int64_t>(RetryAt(row.failures, reading.now, settings_.floorSeconds));
        return;
    }
    // A read that could not be recorded still failed: the count goes on, so its retries back off.
    row.failures = reading.recordFailed ? row.failures + 1 : 0;
    row.error.clear();
    row.last = reading;
    if (!reading.auction.title.empty())
        row.title = reading.auction.title;
    const std::optional<std::int64_t> end = row.EndTime();
    const bool ended = end && reading.now >= *end;
    row.seenRunning = row.seenRunning || !ended;
    row.state = ended ? RowState::Ended : RowState::Waiting;
    row.due = NextRead(end, ended, reading.now, settings_.floorSeconds);
    row.done = ended && !reading.recordFailed;
    if (reading.recordFailed) {
        row.state = RowState::Error;
        row.error = reading.recordError.empty() ? std::string(SJ("履歴に記録できません")) : reading.recordError;
        // The closing price is not in the history yet: again, later each time.
        if (ended)
            row.due = RetryAt(row.failures, reading.now, settings_.floorSeconds);
    }
}

std::vector<BoardAlert> Board::DueAlerts(std::int64_t now)
{
    std::vector<BoardAlert> alerts;
    // Texts are made only for an alert that fires: this runs every second over every row.
    auto once = [&](std::size_t i, AlertEvent event) {
        if (alerted_.insert({rows_[i].key, event}).second) {
            const auto [summary, body] = AlertTexts(rows_[i], event, now);
            alerts.push_back({event, i, summary, body});
        }
    };
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const BoardRow& row = rows_[i];
        if (!row.last || row.last->now < freshFrom_)
            continue;
        const std::optional<std::int64_t> end = row.EndTime();
        if (end && *end > now && *end - now <= std::int64_t{settings_.alertMinutes} * 60)
            once(i, AlertEvent::EndingSoon);
        if (row.OverLimit())
            once(i, AlertEvent::PriceOverLimit);
        if (!row.done && row.ForecastOverLimit())
            once(i, AlertEvent::ForecastOverLimit);
        if (row.done && row.seenRunning)
            once(i, AlertEvent::Ended);
    }
    return alerts;
}
