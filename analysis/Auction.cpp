#include "analysis/Auction.h"

#include <algorithm>

#include "analysis/Forecast.h"
#include "analysis/PageDate.h"

TypedAuction ReadAuction(const AuctionRecord& record, const BidLog& log, std::time_t now)
{
    TypedAuction a;
    a.auctionId = record.auctionId;
    a.title = record.title;
    a.sellerId = record.sellerId;
    a.startText = record.startText;
    a.endText = record.endText;
    a.bidCountText = record.bidCountText;

    PageClock clock(now);
    if (const std::optional<PageDate> end = ReadPageDate(record.endText)) {
        a.endTime = clock.NearestTime(*end);
        if (a.endTime)
            a.endLabel = PageDateLabel(*end);
    }
    a.logRows = log.Count();
    if (log.Count() > 0) {
        a.latestBidPrice = log[0].price;
        a.startRowTime = log[log.Count() - 1].time;
        a.startPrice = log[log.Count() - 1].price;
    }
    if (const std::optional<PageDate> start = ReadPageDate(record.startText))
        a.startTime = clock.NearestTime(*start);
    if (!a.startTime && a.startRowTime)
        a.startTime = *a.startRowTime;
    if (const std::optional<int> price = ReadPagePrice(record.currentPriceText); price && *price >= 0)
        a.currentPrice = *price;
    a.buyNow = ParseBuyNow(record.buyNowText);
    if (const std::optional<int> count = ReadPagePrice(record.bidCountText); count && *count >= 0)
        a.bidCount = *count;
    return a;
}
