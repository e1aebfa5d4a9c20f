// Similar titles, the market price of an item and the forecast that weighs
// it: pure computations, no store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Titles are compared by their character trigrams after folding the
// variations sellers use for the same words: full- and half-width forms,
// letter case, makers written in katakana or Latin letters (TitleWords), and
// the brackets, stars and blanks around keywords. Before the trigrams count,
// the model tokens must agree and the kind must be the same.
//
// The folded title as UTF-8, with nothing but letters and digits. Bytes that
// are not Shift_JIS are dropped, so any title folds without error.
std::string TitleKey(std::string_view sjisTitle);

// The distinct character trigrams of a key as UTF-8, sorted; a key of fewer
// than three characters is its own only trigram.
std::vector<std::string> TitleTrigrams(std::string_view key);

// What a title sells: the item itself, something for it, or an item that may
// not work. Each has its own market.
enum class TitleKind { Item, Accessory, Junk };

// The tokens of a title that name its model, each list sorted and distinct.
struct ModelTokens {
    std::vector<std::string> codes;      // letters and digits: d70s, wh1000xm4, 16610, ps4, f12l, 11 (インチ)
    std::vector<std::string> capacities; // 128gb, 1tb
    std::vector<std::string> sizes;      // 50mm, 45mm, 20cm
    std::vector<std::string> series;     // roman numerals: ii, iii (Ⅲ, Mark III)
    std::vector<std::string> variants;   // pro, mini, max, lite, oled, ...
    bool Empty() const { return codes.empty() && capacities.empty() && sizes.empty() && series.empty() && variants.empty(); }
};

struct TitleFacts {
    std::string key;                 // TitleKey
    std::vector<std::string> grams;  // TitleTrigrams(key)
    ModelTokens model;
    TitleKind kind = TitleKind::Item;
    std::vector<std::string> makers; // nikon, canon, ... (TitleWords), sorted
    std::vector<std::string> names;  // words of Latin letters alone: iphone, eos, kiss, sorted
};
TitleFacts ReadTitle(std::string_view sjisTitle);

// Whether two titles may name the same thing: the same kind, and model tokens
// that agree. They disagree when
// - their variant words differ (PS4 / PS4 Pro, Switch / Switch Lite), or
// - one names a model code and the other none, or
// - in one class (codes, capacities, sizes, series), each has a token the
//   other lacks (D70 / D700, 64GB / 128GB, 41mm / 45mm, GR II / GR III).
// A token matches its like written with letters before it: "hero 9" and
// "HERO9", "Ref.16610" and "16610". A class only one of them names (the
// capacity left out of a title) does not part them.
bool ModelsAgree(const ModelTokens& a, const ModelTokens& b);
bool Comparable(const TitleFacts& a, const TitleFacts& b);
bool TokensMatch(const std::string& x, const std::string& y);

// What a model code is looked up by: every code it matches (TokensMatch)
// is filed under one of them. A code with letters before its first digit is
// filed under its last letter and what follows (nikond70 and d70 under d70,
// kissx9i and x9i under x9i) and, for the bare numbers it matches, under "#"
// and the part from its first digit (ref16610 under #16610); a code that
// starts with a digit under itself.
std::vector<std::string> CodeKeys(std::string_view code);
// The keys to look a code's matches up by.
std::vector<std::string> CodeLookups(std::string_view code);

// Titles with no maker in common and no name or trigrams to speak of are
// not the same sort of thing, whatever model code they share: a Switch 2
// is no PS2.
inline constexpr double kSameSortSimilarity = 0.2;
// Whether two titles that agree on their model are the same sort of thing:
// they share a maker, or neither contradicts the other's maker and they
// share a name (iphone) or kSameSortSimilarity of their trigrams.
bool SameSort(const TitleFacts& a, const TitleFacts& b);

// The rule a comparable is taken by. Two titles of the same kind that both
// name a model code and agree in every class of model token are alike
// whatever dressing surrounds them, if they are the same sort of thing: the
// model is the evidence, and similarity only orders them. Titles without a
// code, and accessories, are alike when their similarity reaches
// kSimilarityThreshold.
bool Alike(const TitleFacts& a, const TitleFacts& b, double similarity);

// Why a recorded sale naming the same model code is not a comparable.
enum class NotTakenReason {
    Accessory,  // sold for the model, or a part of it
    Junk,       // may not work
    Item,       // the item itself, where an accessory or junk is priced
    Variant,    // another variant or series: Pro, Lite, Mark II
    Capacity,   // 64GB against 128GB
    Size,       // 41mm against 45mm
    Model,      // another model code beside the shared one
    Maker,      // another maker, or another sort of thing
    Dissimilar, // an accessory whose words differ
    Outlier,    // left out by the outlier guard
    Excluded,   // taken out by the user
};
// Why b, which shares a model code with a, is not Alike it; nothing when it is.
std::optional<NotTakenReason> WhyNotAlike(const TitleFacts& a, const TitleFacts& b, double similarity);

// The weight of a trigram held by docs of the history's titles: the rarer,
// the more it tells (the inverse document frequency, ln(1 + titles / (docs + 1))).
// A small history cannot tell a maker's name from a model's: most of it may
// be one model, whose own characters would then weigh nothing. Below
// kWeightFloorTitles titles the weights are taken as if it held that many,
// which makes them nearly even.
inline constexpr std::int64_t kWeightFloorTitles = 1000;
double GramWeight(std::int64_t docs, std::int64_t titles);

// The weighted Dice coefficient of two trigram sets: 2 Σ shared / (Σ A + Σ B),
// each trigram counting its weight (none given: 1 each). 0 to 1.
double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<double>& weightsA,
                         const std::vector<std::string>& b, const std::vector<double>& weightsB);
double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<std::string>& b);

// 0 for titles that are not Comparable, else their trigrams' similarity
// with every trigram weighing alike.
double TitleSimilarity(const TitleFacts& a, const TitleFacts& b);

// An ended auction as a comparable for another's price.
struct SimilarAuction {
    std::string auctionId; // Shift_JIS, as the page writes it
    std::string title;     // Shift_JIS
    std::string address;   // the auction page, for the browser
    std::int64_t closingPrice = 0; // yen
    std::int64_t endTime = 0;      // seconds since 1970
    double similarity = 0;         // the weighted trigram similarity with the title searched
    bool sameModel = false;        // taken by its model code, whatever its similarity (Alike)
};

// A recorded sale of the model that a market does not take, and why.
struct NotTaken {
    SimilarAuction auction;
    NotTakenReason reason = NotTakenReason::Maker;
};

// Auctions at least this similar count for the market price.
inline constexpr double kSimilarityThreshold = 0.4;
// A closing price is an outlier when its log stands further from the median
// log than kOutlierCut times the spread: 1.4826 × the median absolute
// deviation of the logs (the standard deviation, were they normal), never
// taken below kOutlierMinSpread so that a few equal prices do not make every
// other one an outlier.
inline constexpr double kOutlierCut = 3.0;
inline constexpr double kOutlierMinSpread = 0.15;
// The market price takes the median of at most this many of the most similar...
inline constexpr std::size_t kMarketMaxCount = 20;
// ... and is not given from fewer than this many.
inline constexpr std::size_t kMarketMinCount = 3;

struct MarketPrice {
    std::int64_t price = 0; // median closing price, yen
    int count = 0;          // auctions it was taken from
    std::int64_t low = 0;   // their lowest and highest closing prices
    std::int64_t high = 0;
    std::vector<SimilarAuction> similar;  // those auctions, most similar first
    std::vector<SimilarAuction> outliers; // left out by the outlier guard
    std::vector<SimilarAuction> excluded; // left out by the user
};

// The market price from candidates ranked most similar first: the first
// kMarketMaxCount at or above the threshold (or of the same model) that the user did not exclude,
// less the outliers. Nothing from fewer than kMarketMinCount. An even count
// takes the mean of the middle two, rounded down.
std::optional<MarketPrice> MarketFrom(const std::vector<SimilarAuction>& ranked,
                                      const std::vector<std::string>& excludedIds = {});

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

// Where the closing price may fall around a forecast: a smoothed spread of
// outcomes, each the forecast times a ratio. It never closes below the
// current price nor above buy-it-now.
struct PriceSpread {
    std::int64_t forecast = 0;
    std::int64_t floor = 0;    // the current price
    std::int64_t ceiling = -1; // buy-it-now; -1: none
    // (log of closing price / forecast, weight); the weights add up to 1.
    std::vector<std::pair<double, double>> logRatios;
    double smoothing = 0;      // each outcome's own spread, as a log
};

// The share of closing prices the band holds: four in five.
inline constexpr double kBandShare = 0.8;

struct PriceBand {
    std::int64_t low = 0;
    std::int64_t high = 0;
};

// The chance that the auction closes at or below limit. What the spread
// holds below the current price closes at it: no further bid comes.
double ChanceAtOrBelow(const PriceSpread& spread, std::int64_t limit);
// The price with that chance of closing at or below it.
std::int64_t PriceAtChance(const PriceSpread& spread, double chance);
// The middle kBandShare of the spread, the low end rounded down and the high
// end up to the price steps.
PriceBand BandOf(const PriceSpread& spread);

// The spread of the similar sales around the market-aware forecast, each
// weighed by its course as MarketAwareForecast weighs it; those below the
// current price close at it. Where the auction's own course holds the
// forecast below the market, the spread moves towards it as the time runs
// out. The forecast is the one MarketAwareForecast(in) gave.
PriceSpread MarketSpread(const MarketForecastInput& in, std::int64_t forecast);

// The spread from the ratios (closing price / forecast) of the user's own
// past forecasts made at about the same share of their time.
PriceSpread ErrorSpread(const std::vector<double>& closingOverForecast, std::int64_t forecast,
                        std::int64_t currentPrice, std::int64_t buyNow);
// Fewer past forecasts than this give no spread.
inline constexpr std::size_t kErrorMinCount = 5;
