#include "analysis/BidHistory.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AuctionRecord record;
    BidLog log;
    ParseBidHistory(
        FuzzPage(data, size), 1735600000,
        [&](HeaderField, std::string_view value) {
            FUZZ_CHECK(value.size() <= AuctionRecord::kTextBytes);
        },
        record, log);
    for (const std::string* text : {&record.title, &record.startText, &record.endText, &record.bidCountText,
                                    &record.currentPriceText, &record.buyNowText, &record.auctionId, &record.sellerId})
        FUZZ_CHECK(text->size() <= AuctionRecord::kTextBytes);
    FUZZ_CHECK(log.Count() <= BidLog::kCapacity);
    for (const BidRecord& bid : log) {
        FUZZ_CHECK(bid.dateText.size() <= BidRecord::kDateTextBytes);
        FUZZ_CHECK(bid.bidderId.size() <= BidRecord::kIdBytes && bid.mode.size() <= BidRecord::kIdBytes);
    }
    return 0;
}
