#include "history/Market.h"

#include <QString>
#include <algorithm>
#include <cmath>

#include "analysis/Forecast.h"
#include "app/Text.h"

std::string TitleKey(std::string_view sjisTitle)
{
    // NFKC folds full-width letters and digits and half-width katakana into
    // one form; case folding does the rest for Latin letters. Everything that
    // is neither letter nor digit (【】★／・, blanks, '?' for bytes that are not
    // Shift_JIS) only dresses the words and goes. Without separators, "本体
    // 新品" and "本体新品" fold alike.
    const QString folded = QString::fromStdString(Utf8FromSjis(sjisTitle))
                               .normalized(QString::NormalizationForm_KC)
                               .toCaseFolded();
    QString key;
    key.reserve(folded.size());
    for (auto it = folded.cbegin(); it != folded.cend(); ++it) {
        char32_t c = it->unicode();
        if (it->isHighSurrogate() && it + 1 != folded.cend() && (it + 1)->isLowSurrogate()) {
            c = QChar::surrogateToUcs4(*it, *(it + 1));
            if (QChar::isLetterOrNumber(c))
                key.append(*it).append(*(it + 1));
            ++it;
        } else if (QChar::isLetterOrNumber(c)) {
            key.append(*it);
        }
    }
    return key.toStdString();
}

std::vector<std::string> TitleTrigrams(std::string_view key)
{
    std::vector<std::string> grams;
    // Each character is one to four bytes; a trigram runs from one character
    // start to the one three further on.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if ((static_cast<unsigned char>(key[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    }
    starts.push_back(key.size());
    const std::size_t chars = starts.size() - 1;
    if (chars == 0)
        return grams;
    if (chars < 3) {
        grams.emplace_back(key);
        return grams;
    }
    for (std::size_t i = 0; i + 3 <= chars; ++i)
        grams.emplace_back(key.substr(starts[i], starts[i + 3] - starts[i]));
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    return grams;
}

double TitleSimilarity(std::string_view keyA, std::string_view keyB)
{
    return TrigramSimilarity(TitleTrigrams(keyA), TitleTrigrams(keyB));
}

double TrigramSimilarity(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (a.empty() || b.empty())
        return 0;
    std::size_t shared = 0;
    for (auto i = a.begin(), j = b.begin(); i != a.end() && j != b.end();) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++shared;
            ++i;
            ++j;
        }
    }
    return 2.0 * static_cast<double>(shared) / static_cast<double>(a.size() + b.size());
}

std::optional<MarketPrice> MarketFrom(const std::vector<SimilarAuction>& ranked)
{
    MarketPrice market;
    for (const SimilarAuction& a : ranked) {
        if (market.similar.size() == kMarketMaxCount)
            break;
        if (a.similarity >= kSimilarityThreshold && a.closingPrice > 0)
            market.similar.push_back(a);
    }
    if (market.similar.size() < kMarketMinCount)
        return std::nullopt;
    std::vector<std::int64_t> prices;
    for (const SimilarAuction& a : market.similar)
        prices.push_back(a.closingPrice);
    std::sort(prices.begin(), prices.end());
    market.price = SortedMedian(prices);
    market.count = static_cast<int>(prices.size());
    market.low = prices.front();
    market.high = prices.back();
    return market;
}

namespace {

// How far apart, as the log of their ratio, a sale's price and this auction's
// may stand at the same share of their time before the sale counts for
// little. Anything from 0.3 to 1 does about as well in the backtest.
constexpr double kCourseSpread = 0.5;

} // namespace

std::int64_t MarketAwareForecast(const MarketForecastInput& in)
{
    const double share = std::isfinite(in.elapsedShare) ? std::clamp(in.elapsedShare, 0.0, 1.0) : 0.0;
    const std::int64_t current = std::max<std::int64_t>(in.currentPrice, 0);

    std::vector<std::int64_t> closing = in.closingPrices;
    if (closing.empty())
        closing.push_back(in.marketPrice);
    // (outcome, weight): the weight 1 / price makes the weighted median the
    // forecast least wrong relative to the price. A sale that stood near this
    // auction's current price at the same share of its time ran the course
    // this one runs and tells more: one that stood at twice or half of it
    // counts about 0.4 as much.
    std::vector<std::pair<std::int64_t, double>> outcomes;
    double total = 0;
    for (std::size_t i = 0; i < closing.size(); ++i) {
        const std::int64_t price = std::max({closing[i], current, std::int64_t{1}});
        double weight = 1.0 / static_cast<double>(price);
        const std::int64_t then = i < in.pricesAtShare.size() ? in.pricesAtShare[i] : 0;
        if (then > 0 && current > 0) {
            const double apart = std::log(static_cast<double>(current) / static_cast<double>(then)) / kCourseSpread;
            weight *= std::exp(-std::min(apart * apart / 2, 50.0));
        }
        outcomes.emplace_back(price, weight);
        total += weight;
    }
    std::sort(outcomes.begin(), outcomes.end());
    std::int64_t expected = outcomes.back().first;
    double sum = 0;
    for (const auto& [price, weight] : outcomes) {
        sum += weight;
        if (sum >= total / 2) {
            expected = price;
            break;
        }
    }

    const double own = static_cast<double>(std::max(in.seedForecast, current)) * (1.0 + 3.0 * (1.0 - share));
    std::int64_t forecast = expected;
    if (own < static_cast<double>(forecast))
        forecast = static_cast<std::int64_t>(own);
    forecast = RoundToStep(forecast, PriceStep(forecast));
    forecast = std::max(forecast, current);
    if (in.buyNow >= 0 && forecast > in.buyNow)
        forecast = std::max(in.buyNow, current);
    return forecast;
}
