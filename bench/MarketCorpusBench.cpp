// Judges the market price on a labelled corpus of auction titles: a history
// of ended auctions and running ones read against it, each knowing its model
// and kind (item, accessory, junk).
//
//   bench_market_corpus [ended auctions] [running auctions] [--wrong N] [--titles FILE]
//
// --wrong N also prints N comparables of another model or kind, for tuning,
// and the running auctions given no market price.
// The same figures follow for the hand-written titles of FILE (the tests'
// titles/sellers.tsv unless told), which the corpus's generator never saw.
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>

#include "analysis/Forecast.h"
#include "base/Text.h"
#include "bench/Calibration.h"
#include "history/History.h"
#include "tests/history/TitleCorpus.h"

namespace {

// The corpus knows closing prices only: each auction is given a course of its
// own, the price at a share s of its time being the closing price times
// s^k, k drawn once per auction between 0.5 (bids early) and 4 (bids at the
// very end), never below a tenth. Made up, and said so where it is printed.
double ShareOfClose(const std::string& id, double share)
{
    std::mt19937 rng(static_cast<std::uint32_t>(std::hash<std::string>{}(id)));
    const double k = std::uniform_real_distribution<double>(0.5, 4.0)(rng);
    return std::max(0.1, std::pow(share, k));
}

void PrintCourseCalibration(const History& history, const std::vector<CorpusAuction>& recorded,
                            const std::vector<CorpusAuction>& queries)
{
    std::map<std::string, std::int64_t> closingOf;
    for (const CorpusAuction& a : recorded)
        closingOf[a.id] = a.price;
    const double points[] = {0.25, 0.50, 0.75, 0.90};
    Calibration byPoint[4], pooled;
    for (const CorpusAuction& q : queries) {
        const std::optional<MarketPrice> market = history.Market(SjisFromUtf8(q.title), q.id);
        if (!market)
            continue;
        for (int p = 0; p < 4; ++p) {
            const double share = points[p];
            ForecastInput seed;
            seed.startTime = 0;
            seed.endTime = 86400;
            seed.now = static_cast<std::int64_t>(share * 86400);
            seed.startPrice = std::max<std::int64_t>(100, q.price / 10);
            seed.latestPrice = std::max(seed.startPrice, static_cast<std::int64_t>(static_cast<double>(q.price) * ShareOfClose(q.id, share)));
            MarketForecastInput in;
            in.seedForecast = ComputeForecast(seed).forecast;
            in.marketPrice = market->price;
            std::vector<std::int64_t> closing;
            for (const SimilarAuction& s : market->similar) {
                in.closingPrices.push_back(s.closingPrice);
                in.pricesAtShare.push_back(static_cast<std::int64_t>(static_cast<double>(closingOf[s.auctionId]) * ShareOfClose(s.auctionId, share)));
                closing.push_back(s.closingPrice);
            }
            in.currentPrice = seed.latestPrice;
            in.elapsedShare = share;
            const PriceSpread spread = MarketSpread(in, MarketAwareForecast(in));
            byPoint[p].Add(spread, q.price, closing);
            pooled.Add(spread, q.price, closing);
        }
    }
    std::printf("\nthe 80 %% band and the chance at a limit (0.6 to 1.8 times the forecast, none below the\n"
                "current price), each auction given a made-up course (price at share s = closing × s^k):\n");
    PrintCalibrationHeader(true);
    for (int p = 0; p < 4; ++p)
        PrintCalibrationRow((std::to_string(static_cast<int>(points[p] * 100)) + " %").c_str(), byPoint[p]);
    PrintCalibrationRow("all", pooled);
    std::printf("\nreliability of the chance, all four points:\n");
    PrintReliability(pooled.chance);
    std::printf("\nthe same for the baseline that knows only the market's spread:\n");
    PrintReliability(pooled.baseline);
}

void PrintFigures(const CorpusFigures& f)
{
    std::printf("purity of the market (comparables of the same model and kind): %.1f %% (%d of %d)\n",
                f.Purity() * 100, f.right, f.comparables);
    std::printf("markets with at least one other model or kind: %.1f %% (%d of %d)\n", f.ImpureShare() * 100,
                f.impureMarkets, f.priced);
    std::printf("coverage (running auctions given a market price): %.1f %%\n", f.Coverage() * 100);
    std::printf("coverage where the model has at least three recorded sales: %.1f %% (%d of %d)\n",
                f.KnownCoverage() * 100, f.knownPriced, f.known);
    std::printf("market price against the model's own median: median error %.1f %%, mean %.1f %%\n",
                f.MedianError() * 100, f.MeanError() * 100);
    std::printf("at half time, median error of the market-aware forecast %.1f %%, of the model's true median %.1f %%"
                " (%.2f times)\n",
                f.HalfTimeError() * 100, f.TrueMedianError() * 100,
                f.TrueMedianError() > 0 ? f.HalfTimeError() / f.TrueMedianError() : 0.0);
}

void PrintWrong(const History& history, const std::vector<CorpusAuction>& recorded,
                const std::vector<CorpusAuction>& queries, int wrong)
{
    std::map<std::string, const CorpusAuction*> byId;
    for (const CorpusAuction& a : recorded)
        byId[a.id] = &a;
    for (const CorpusAuction& q : queries) {
        if (wrong <= 0)
            break;
        const std::optional<MarketPrice> market = history.Market(SjisFromUtf8(q.title), q.id);
        if (!market) {
            std::printf("none  %s  [%s]\n", q.title.c_str(), q.label.c_str());
            continue;
        }
        for (const SimilarAuction& s : market->similar) {
            const CorpusAuction& c = *byId[s.auctionId];
            if (c.label != q.label && wrong-- > 0)
                std::printf("%.2f  %s  [%s]\n      %s  [%s]\n", s.similarity, q.title.c_str(), q.label.c_str(),
                            c.title.c_str(), c.label.c_str());
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    int ended = 2000, running = 300, wrong = 0;
    std::string titles = MIRELO_SOURCE_DIR "/tests/history/titles/sellers.tsv";
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wrong") == 0 && i + 1 < argc)
            wrong = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--titles") == 0 && i + 1 < argc)
            titles = argv[++i];
        else
            (positional++ == 0 ? ended : running) = std::atoi(argv[i]);
    }
    QTemporaryDir dir;
    History history, written;
    if (!dir.isValid() || !history.Open(dir.path().toStdString() + "/history.db")
        || !written.Open(dir.path().toStdString() + "/written.db")) {
        std::fprintf(stderr, "bench_market_corpus: cannot make a history\n");
        return 1;
    }
    const std::vector<CorpusAuction> recorded = MakeTitleCorpus(static_cast<std::size_t>(ended), 17, "h");
    const std::vector<CorpusAuction> queries = MakeTitleCorpus(static_cast<std::size_t>(running), 1717, "q");
    if (!RecordCorpus(history, recorded)) {
        std::fprintf(stderr, "bench_market_corpus: recording failed\n");
        return 1;
    }
    std::printf("%d ended auctions, %d running ones read against them\n", ended, running);
    PrintFigures(MeasureCorpus(history, recorded, queries));
    PrintCourseCalibration(history, recorded, queries);
    PrintWrong(history, recorded, queries, wrong);

    const std::vector<CorpusAuction> sold = ReadTitleFile(titles, "h");
    const std::vector<CorpusAuction> asked = ReadTitleFile(titles, "q");
    if (sold.empty() || !RecordCorpus(written, sold)) {
        std::fprintf(stderr, "bench_market_corpus: cannot read or record %s\n", titles.c_str());
        return 1;
    }
    std::printf("\n%s: %zu ended auctions, %zu running ones\n", titles.c_str(), sold.size(), asked.size());
    PrintFigures(MeasureCorpus(written, sold, asked));
    PrintWrong(written, sold, asked, wrong);
    return 0;
}
