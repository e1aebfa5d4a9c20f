// Similar titles, the market price of an item and the forecast that weighs
// it: pure computations, no store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Titles are compared by their character trigrams after folding the
// variations sellers use for the same words: full- and half-width forms,
// letter case, and the brackets, stars and blanks around keywords.
//
// The folded title as UTF-8, its words joined by one blank. Bytes that are
// not Shift_JIS are dropped, so any title folds without error.
std::string TitleKey(std::string_view sjisTitle);

// The distinct character trigrams of a key as UTF-8, sorted; a key of fewer
// than three characters is its own only trigram.
std::vector<std::string> TitleTrigrams(std::string_view key);

// The Dice coefficient of the two keys' trigram sets: 2|A∩B| / (|A| + |B|),
// 0 (nothing shared) to 1 (same trigrams).
double TitleSimilarity(std::string_view keyA, std::string_view keyB);
// The same of two keys' TitleTrigrams.
double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<std::string>& b);

// An ended auction as a comparable for another's price.
struct SimilarAuction {
    std::string auctionId; // Shift_JIS, as the page writes it
    std::string title;     // Shift_JIS
    std::string address;   // the auction page, for the browser
    std::int64_t closingPrice = 0; // yen
    std::int64_t endTime = 0;      // seconds since 1970
    double similarity = 0;         // TitleSimilarity with the title searched
};

// Auctions at least this similar count for the market price.
inline constexpr double kSimilarityThreshold = 0.5;
// The market price takes the median of at most this many of the most similar...
inline constexpr std::size_t kMarketMaxCount = 20;
// ... and is not given from fewer than this many.
inline constexpr std::size_t kMarketMinCount = 3;

struct MarketPrice {
    std::int64_t price = 0; // median closing price, yen
    int count = 0;          // auctions it was taken from
    std::int64_t low = 0;   // their lowest and highest closing prices
    std::int64_t high = 0;
    std::vector<SimilarAuction> similar; // those auctions, most similar first
};

// The market price from candidates ranked most similar first: the first
// kMarketMaxCount at or above the threshold. Nothing from fewer than
// kMarketMinCount. An even count takes the mean of the middle two, rounded down.
std::optional<MarketPrice> MarketFrom(const std::vector<SimilarAuction>& ranked);

// The middle of sorted values, the mean of the middle two for an even count.
template <typename T>
T SortedMedian(const std::vector<T>& sorted)
{
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

struct MarketForecastInput {
    std::int64_t seedForecast = 0;  // the extrapolating forecast, as shown
    std::int64_t marketPrice = 0;
    std::vector<std::int64_t> closingPrices; // the market's auctions'; none: marketPrice alone
    // Each of those auctions' price at elapsedShare of its own time, in the
    // same order; 0 or missing: not known.
    std::vector<std::int64_t> pricesAtShare;
    std::int64_t currentPrice = 0;  // the latest bid
    std::int64_t buyNow = -1;       // -1: none
    double elapsedShare = 0;        // 0 at the start to 1 at the end
};

// The closing price expected from what similar items fetched and how this
// auction runs: never below the current price, never above buy-it-now,
// rounded to the seed forecast's price steps.
//
// The closing prices of the similar auctions, each raised to the current
// price (this one will not close below it), stand for what this one may
// fetch; the forecast is the price that is least wrong over them relative
// to the price, their median weighted by 1 / price, and more for those that
// stood nearer the current price at the same share of their time. An
// auction whose own course stays far below the market is not one like the
// others (a part, a defect): the forecast is held to its seed forecast
// times 1 + 3 × the share of the time still to run.
std::int64_t MarketAwareForecast(const MarketForecastInput& in);
