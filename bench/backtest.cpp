// Replays real bid histories (eBay, 2002-2003) through the forecast at 25, 50,
// 75 and 90 % of each auction and prints how far the forecasts were from the
// closing prices, next to the naive "the current price is the final price".
//
//   backtest [auction.csv]
//
// Dollar prices are turned into yen at 120 yen to the dollar (the rate of the
// time) so that the price steps of the forecast apply as they do to yen prices.
// The current price is the running maximum of the bids (at least the opening
// bid): an optimistic stand-in for the price a watcher saw.
//
// The market-aware forecast weighs the middle tendency's forecast with the
// market price of the auctions of the same item that ended before, taking
// the auctions in the order of their IDs as the order in which they ended;
// the data names the item alone, so each of them counts as fully similar.
// An auction with too few of them keeps the middle forecast. Each of those
// auctions' price at the same share of its time is read from its bids.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/Forecast.h"
#include "bench/Calibration.h"
#include "history/Market.h"

#ifndef MIRELO_AUCTION_CSV
#define MIRELO_AUCTION_CSV "../shared/data/ebay-bid-histories/auction.csv"
#endif

namespace {

constexpr double kYenPerDollar = 120.0;

struct Bid {
    double amount;
    double days;
};

struct Auction {
    std::string id;
    std::string item;
    double openBid = 0;
    double price = 0;
    double durationDays = 0;
    std::vector<Bid> bids;
};

std::vector<std::string> SplitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

std::vector<Auction> Load(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "backtest: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    std::map<std::string, Auction> byId;
    std::vector<std::string> order;
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        auto f = SplitCsv(line);
        if (f.size() < 9)
            continue;
        auto [it, fresh] = byId.try_emplace(f[0]);
        Auction& a = it->second;
        if (fresh) {
            order.push_back(f[0]);
            a.id = f[0];
            a.item = f[7];
            a.openBid = std::stod(f[5]); // an auction listing two opening bids keeps the first
            a.price = std::stod(f[6]);
            a.durationDays = std::stod(f[8]);
        }
        a.bids.push_back({std::stod(f[1]), std::stod(f[2])});
    }
    std::vector<Auction> out;
    for (const auto& id : order)
        out.push_back(byId[id]);
    // The IDs grow with the time an auction was put up.
    std::stable_sort(out.begin(), out.end(), [](const Auction& x, const Auction& y) {
        return x.id.size() != y.id.size() ? x.id.size() < y.id.size() : x.id < y.id;
    });
    return out;
}

std::int64_t Yen(double dollars)
{
    return static_cast<std::int64_t>(std::llround(dollars * kYenPerDollar));
}

struct Errors {
    std::vector<double> values;
    double Mean() const
    {
        double s = 0;
        for (double v : values) s += v;
        return values.empty() ? 0 : s / static_cast<double>(values.size());
    }
    double Median() const
    {
        if (values.empty()) return 0;
        std::vector<double> v = values;
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }
};

// The price an auction stood at after the given share of its time.
double PriceAt(const Auction& a, double share)
{
    const double nowDays = a.durationDays * share;
    double current = a.openBid;
    for (const Bid& b : a.bids)
        if (b.days <= nowDays)
            current = std::max(current, b.amount);
    return current;
}

// The market price from the auctions of the same item before index i, the
// latest first, as the history ranks equally similar auctions; each one's ID
// field holds its index in auctions.
std::optional<MarketPrice> EarlierMarket(const std::vector<Auction>& auctions, std::size_t i)
{
    std::vector<SimilarAuction> ranked;
    for (std::size_t j = i; j-- > 0 && ranked.size() < kMarketMaxCount;) {
        const Auction& b = auctions[j];
        if (b.item == auctions[i].item && b.price > 0)
            ranked.push_back({std::to_string(j), b.item, {}, Yen(b.price), 0, 1.0});
    }
    return MarketFrom(ranked);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : MIRELO_AUCTION_CSV;
    const std::vector<Auction> auctions = Load(path);
    const double points[] = {0.25, 0.50, 0.75, 0.90};
    const char* names[] = {"current price", "low (1.0)", "middle (1.2)", "high (1.4)", "market-aware"};
    constexpr int kColumns = 5;
    std::vector<std::optional<MarketPrice>> markets;
    std::size_t withMarket = 0;
    for (std::size_t i = 0; i < auctions.size(); ++i) {
        markets.push_back(EarlierMarket(auctions, i));
        withMarket += markets.back() ? 1 : 0;
    }

    std::printf("%zu auctions from %s, %zu with a market price\n", auctions.size(), path.c_str(), withMarket);
    std::printf("absolute percentage error of the forecast against the closing price, mean / median\n\n");
    std::printf("%-9s", "elapsed");
    for (const char* n : names)
        std::printf(" | %-17s", n);
    std::printf("\n");

    Calibration byMarket[4], byOwnErrors[4], pooled;
    for (int p = 0; p < 4; ++p) {
        const double point = points[p];
        Errors errors[kColumns];
        std::vector<double> ownRatios; // closing / middle forecast of the auctions before
        for (std::size_t i = 0; i < auctions.size(); ++i) {
            const Auction& a = auctions[i];
            if (a.price <= 0 || a.durationDays <= 0)
                continue;
            const double nowDays = a.durationDays * point;
            const double current = PriceAt(a, point);
            const double actual = static_cast<double>(Yen(a.price));

            ForecastInput in;
            in.startTime = 0;
            in.now = static_cast<std::int64_t>(nowDays * 86400);
            in.endTime = static_cast<std::int64_t>(a.durationDays * 86400);
            in.startPrice = Yen(a.openBid);
            in.latestPrice = Yen(current);
            errors[0].values.push_back(std::fabs(static_cast<double>(in.latestPrice) - actual) / actual);
            std::int64_t middle = 0;
            for (int keiko = 0; keiko < 3; ++keiko) {
                in.keiko = keiko;
                ForecastResult r = ComputeForecast(in);
                errors[keiko + 1].values.push_back(std::fabs(static_cast<double>(r.forecast) - actual) / actual);
                if (keiko == 1)
                    middle = r.forecast;
            }
            std::int64_t market = middle;
            if (const std::optional<MarketPrice>& m = markets[i]) {
                MarketForecastInput mi;
                mi.seedForecast = middle;
                mi.marketPrice = m->price;
                for (const SimilarAuction& s : m->similar) {
                    mi.closingPrices.push_back(s.closingPrice);
                    mi.pricesAtShare.push_back(Yen(PriceAt(auctions[std::stoul(s.auctionId)], point)));
                }
                mi.currentPrice = in.latestPrice;
                mi.elapsedShare = point;
                market = MarketAwareForecast(mi);
                std::vector<std::int64_t> spread;
                for (const SimilarAuction& s : m->similar)
                    spread.push_back(s.closingPrice);
                const PriceSpread around = MarketSpread(mi, market);
                byMarket[p].Add(around, Yen(a.price), spread);
                pooled.Add(around, Yen(a.price), spread);
            }
            if (ownRatios.size() >= kErrorMinCount && middle > 0)
                byOwnErrors[p].Add(ErrorSpread(ownRatios, middle, in.latestPrice, -1), Yen(a.price));
            if (middle > 0)
                ownRatios.push_back(actual / static_cast<double>(middle));
            errors[4].values.push_back(std::fabs(static_cast<double>(market) - actual) / actual);
        }
        std::printf("%5.0f %%  ", point * 100);
        for (const Errors& e : errors)
            std::printf(" | %6.1f %% / %5.1f %%", e.Mean() * 100, e.Median() * 100);
        std::printf("\n");
    }

    std::printf("\nthe 80 %% band and the chance of closing at or below a limit (limits at 0.6 to 1.8 times the\n"
                "forecast, none below the current price): share of closing prices inside the band, its mean\n"
                "width against the forecast, mean absolute calibration error and Brier score\n\n");
    std::printf("from the market (similar sales weighed by their course, those below the current price closing at it):\n");
    PrintCalibrationHeader(true);
    for (int p = 0; p < 4; ++p)
        PrintCalibrationRow((std::to_string(static_cast<int>(points[p] * 100)) + " %").c_str(), byMarket[p]);
    PrintCalibrationRow("all", pooled);
    std::printf("\nfrom the errors of the middle forecasts of the auctions before, at the same share of time:\n");
    PrintCalibrationHeader(false);
    for (int p = 0; p < 4; ++p)
        PrintCalibrationRow((std::to_string(static_cast<int>(points[p] * 100)) + " %").c_str(), byOwnErrors[p]);
    std::printf("\nreliability of the chance from the market, all four points:\n");
    PrintReliability(pooled.chance);
    std::printf("\nthe same at each point, mean predicted / closed at or below:\n");
    const Reliability byPoint[] = {byMarket[0].chance, byMarket[1].chance, byMarket[2].chance, byMarket[3].chance};
    const char* const labels[] = {"25 %", "50 %", "75 %", "90 %"};
    PrintReliabilityByPoint(byPoint, labels, 4);
    std::printf("\nthe same for the baseline that knows only the market's spread:\n");
    PrintReliability(pooled.baseline);
    return 0;
}
