// One auction as a bid-history page gives it, with its numbers and times read
// once: the forecast, the history and the watch board all take this, never
// the page's texts again.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "analysis/BidHistory.h"

struct TypedAuction {
    // The page's texts the history keeps as written (Shift_JIS).
    std::string auctionId;
    std::string title;
    std::string sellerId;
    std::string startText;
    std::string endText;
    std::string bidCountText;

    std::optional<std::time_t> endTime;   // the year nearest the clock, as the bids'
    std::string endLabel;                 // "%d/%d %02d:%02d"; empty without an end
    std::optional<std::time_t> startTime; // the start text, else the start row
    std::optional<std::int64_t> startRowTime;  // the auction-start row (the log's last)
    std::optional<std::int64_t> startPrice;    // that row's price
    std::optional<std::int64_t> latestBidPrice; // the newest row's
    std::optional<std::int64_t> currentPrice;  // the header's "現在の価格"
    std::int64_t buyNow = -1;                  // -1: none
    std::optional<int> bidCount;               // the header's count
    int logRows = 0;                           // rows of the log, start row included

    // The newest bid's price, else the header's current price, else 0.
    std::int64_t LatestPrice() const { return latestBidPrice.value_or(currentPrice.value_or(0)); }
    // Ended with at least one bid after the start row.
    bool HasBids() const { return logRows >= 2; }
};

// Reads record and log once; now gives the undated page dates their year.
TypedAuction ReadAuction(const AuctionRecord& record, const BidLog& log, std::time_t now);
