#include <gtest/gtest.h>

#include "analysis/Forecast.h"
#include "analysis/Prediction.h"
#include "base/Text.h"
#include "tests/analysis/PageFixtures.h"

namespace {

// An auction that started at t = 0 with the given prices, read `elapsed`
// seconds in, ending `total` seconds after its start.
ForecastInput Auction(std::int64_t startPrice, std::int64_t latestPrice, std::int64_t elapsed, std::int64_t total,
                      int keiko = 1, std::int64_t buyNow = -1)
{
    ForecastInput in;
    in.startTime = 1'000'000;
    in.now = in.startTime + elapsed;
    in.endTime = in.startTime + total;
    in.startPrice = startPrice;
    in.latestPrice = latestPrice;
    in.keiko = keiko;
    in.buyNow = buyNow;
    return in;
}

} // namespace

TEST(ForecastTest, TendenciesTruncateTheExtendedPrecisionProduct)
{
    // 2,000 yen rise over two of five days: 5,000 more, times the factor.
    auto low = ComputeForecast(Auction(1000, 3000, 172800, 432000, 0));
    auto middle = ComputeForecast(Auction(1000, 3000, 172800, 432000, 1));
    auto high = ComputeForecast(Auction(1000, 3000, 172800, 432000, 2));
    EXPECT_EQ(low.forecast, 6000);
    EXPECT_EQ(middle.forecast, 7000) << "5,999 + 1,000 rounds up with step 250";
    EXPECT_EQ(middle.step, 250);
    EXPECT_EQ(high.forecast, 8000) << "6,999 + 1,000 rounds to 8,000";
    for (const auto& r : {low, middle, high}) {
        EXPECT_FALSE(r.ended);
        EXPECT_EQ(r.confidence, 40);
    }
    // Any other stored value is the bold tendency.
    EXPECT_EQ(ComputeForecast(Auction(1000, 3000, 172800, 432000, 7)).forecast, 8000);
}

TEST(ForecastTest, ExactlyRepresentableRiseStillTruncatesBelowTheBoundary)
{
    auto r = ComputeForecast(Auction(100, 675, 103680, 172800, 1));
    EXPECT_EQ(r.forecast, 1200) << "1,150 truncates to 1,149; 1,249 rounds down with step 100";
    EXPECT_EQ(r.confidence, 60);
}

TEST(ForecastTest, StepsRoundHalvesUp)
{
    EXPECT_EQ(PriceStep(999), 10);
    EXPECT_EQ(PriceStep(1000), 100);
    EXPECT_EQ(PriceStep(4999), 100);
    EXPECT_EQ(PriceStep(5000), 250);
    EXPECT_EQ(PriceStep(9999), 250);
    EXPECT_EQ(PriceStep(10000), 500);
    EXPECT_EQ(PriceStep(49999), 500);
    EXPECT_EQ(PriceStep(50000), 1000);
    EXPECT_EQ(RoundToStep(1249, 100), 1200);
    EXPECT_EQ(RoundToStep(1250, 100), 1300);
    EXPECT_EQ(RoundToStep(5125, 250), 5250);
    EXPECT_EQ(RoundToStep(995, 10), 1000);
}

TEST(ForecastTest, SingleRecordForecastsTheStartPriceRounded)
{
    auto r = ComputeForecast(Auction(1234, 1234, 3600, 86400, 2));
    EXPECT_EQ(r.forecast, 1300) << "1,200 would lie below the price";
    EXPECT_EQ(r.confidence, 4);
}

TEST(ForecastTest, BuyItNowCapsAfterRoundingAndItsStartPriceMeansCertain)
{
    auto capped = ComputeForecast(Auction(1000, 3000, 172800, 432000, 2, 7777));
    EXPECT_EQ(capped.forecast, 7777) << "the cap is the buy-it-now price itself, not a stepped value";
    EXPECT_EQ(capped.confidence, 40);

    auto same = ComputeForecast(Auction(5000, 5000, 3600, 86400, 1, 5000));
    EXPECT_EQ(same.forecast, 5000);
    EXPECT_EQ(same.confidence, 100);
}

TEST(ForecastTest, NowAtTheEndCountsAsEnded)
{
    auto in = Auction(1000, 3000, 432000, 432000);
    EXPECT_TRUE(ComputeForecast(in).ended);
    in.now += 1;
    EXPECT_TRUE(ComputeForecast(in).ended);
    in.now -= 2;
    EXPECT_FALSE(ComputeForecast(in).ended);
}

TEST(ForecastTest, NoElapsedOrNoTotalTimeGivesTheLatestPriceForCertain)
{
    // The first bid and the clock in the same minute: nothing to divide by.
    auto zeroElapsed = ComputeForecast(Auction(1000, 1249, 0, 86400, 2));
    EXPECT_EQ(zeroElapsed.forecast, 1300);
    EXPECT_EQ(zeroElapsed.confidence, 100);

    // An auction whose end equals its start, read before that moment.
    ForecastInput in = Auction(1000, 3000, 0, 0);
    in.now = in.startTime - 60;
    auto zeroTotal = ComputeForecast(in);
    EXPECT_FALSE(zeroTotal.ended);
    EXPECT_EQ(zeroTotal.forecast, 3000);
    EXPECT_EQ(zeroTotal.confidence, 100);

    auto capped = ComputeForecast(Auction(1000, 9000, 0, 86400, 1, 8000));
    EXPECT_EQ(capped.forecast, 8000);
}

TEST(ForecastTest, LongAuctionsDoNotOverflow)
{
    // 300 days: elapsed × 100 no longer fits in 32 bits.
    auto r = ComputeForecast(Auction(1000, 2000, 150LL * 86400, 300LL * 86400, 0));
    EXPECT_EQ(r.confidence, 50);
    EXPECT_EQ(r.forecast, 3000);

    auto absurd = ComputeForecast(Auction(1, 2'000'000'000, 1, 4'000'000'000LL, 2));
    EXPECT_GT(absurd.forecast, 0);
}

TEST(ForecastTest, BuyNowTextIsReadWithoutCommas)
{
    EXPECT_EQ(ParseBuyNow("12,000"), 12000);
    EXPECT_EQ(ParseBuyNow("1,234,567"), 1234567);
    EXPECT_EQ(ParseBuyNow(""), -1);
    EXPECT_EQ(ParseBuyNow("abc"), -1) << "unreadable means none";
    EXPECT_EQ(ParseBuyNow("99999999999"), -1);
}

TEST(ForecastTest, NeverBelowTheLatestPriceAndAlwaysFromThePagesStartRow)
{
    // The clock at 12月10日 0時00分, the end ten days later; bids between the
    // latest and the start row are at the clock's time and the latest price.
    const std::time_t now = LocalTime(2024, 12, 10, 0, 0);
    const struct {
        const char* what;
        int bids;
        int startPrice, latestPrice;
        std::int32_t startAgo; // seconds before the clock; negative: after it
        const char* buyNow;
        std::int64_t forecast;
        int confidence;
    } rows[] = {
        {"a 1-yen auction does not round to 0", 1, 1, 1, 86400, "", 10, 9},
        {"1,249 does not round down to 1,200", 1, 1249, 1249, 86400, "", 1300, 9},
        {"rounding down that stays above the price", 2, 1000, 1120, 864000, "", 1200, 50},
        {"the buy-it-now cap still comes last", 1, 1249, 1249, 86400, "1,250", 1250, 9},
        {"a start row after the clock", 2, 1000, 3000, -3600, "", 3000, 100},
        {"1,100 rows: the start row is the page's last", 1100, 1000, 3000, 864000, "", 5000, 50},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        AuctionRecord record;
        record.endText = std::string(SJ("12月20日 0時00分"));
        record.buyNowText = r.buyNow;
        BidLog log;
        for (int i = 0; i < r.bids; ++i) {
            const bool start = i == r.bids - 1;
            BidRecord bid;
            bid.time = static_cast<std::int32_t>(start ? now - r.startAgo : now);
            bid.price = start ? r.startPrice : i == 0 ? r.latestPrice : 2000;
            log.Add(bid);
        }
        const std::optional<Prediction> p = PredictFromRecords(record, log, now, 0);
        ASSERT_TRUE(p && !p->ended);
        EXPECT_EQ(p->forecast, r.forecast);
        EXPECT_EQ(p->confidence, r.confidence);
    }
}
