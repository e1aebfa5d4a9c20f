// The bid-history page parser: the item's header texts and every bid of the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The item's header data as the page writes it.
struct AuctionRecord {
    static constexpr std::size_t kTextBytes = 255; // each text held as in a 256-byte buffer

    std::string title;
    std::string startText;
    std::string endText;          // e.g. month, day, hour and minute with 月 日 時 分
    std::string bidCountText;
    std::string currentPriceText; // digits with thousands commas, no unit
    std::string buyNowText;       // the same; empty when the auction has no buy-it-now price
    std::string auctionId;
    std::string sellerId;

    void Clear() { *this = AuctionRecord{}; }
};

struct BidRecord {
    static constexpr std::size_t kDateTextBytes = 31;
    static constexpr std::size_t kIdBytes = 63;   // bidderId and mode

    std::int32_t time = 0;  // seconds since 1970-01-01 00:00 UTC of the local date
    std::int32_t price = 0; // yen
    std::string dateText;   // "%d/%d %02d:%02d": month/day hour:minute
    std::string bidderId;   // "オークション開始。" for the auction-start row
    std::string mode;       // bid method as the page writes it
};

// The bids in page order: newest first, the auction-start row last. A full
// log keeps its newest bids and the page's last row, so that the auction's
// start price and time stay right however long the log is.
class BidLog {
public:
    static constexpr int kCapacity = 1024;

    int Count() const { return static_cast<int>(records_.size()); }
    const BidRecord& operator[](int i) const { return records_[static_cast<std::size_t>(i)]; }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

    // Once the log is full, each further record replaces the last one.
    void Add(BidRecord record);
    void Clear() { records_.clear(); }

private:
    std::vector<BidRecord> records_;
};

// The process-wide records of the current analysis.
extern AuctionRecord gAuctionRecord;
extern BidLog gBidLog;

enum class HeaderField { Title, Start, End, BidCount, CurrentPrice, BuyNow, AuctionId, SellerId };

// Told each header field as it is cut, with the value as stored in the record.
using HeaderObserver = std::function<void(HeaderField, std::string_view)>;

// The text a field's label shows: the prices with "円" after them, the rest as is.
std::string HeaderLabelText(HeaderField field, std::string_view value);

// Clears record and log and fills them from the saved EUC-JP bid-history page.
// now is the clock's time, which gives undated bids their year. A page that
// cannot be read leaves both empty.
void ParseBidHistory(const std::string& pagePath, std::time_t now, const HeaderObserver& observer = {},
                     AuctionRecord& record = gAuctionRecord, BidLog& log = gBidLog);
