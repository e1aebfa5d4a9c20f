// A labelled corpus of second-hand auction titles written the way sellers
// write them: sibling models, capacities, accessories and junk sold under the
// same names. Each auction knows what it really is, so the market price can
// be judged: the corpus test and bench_market_corpus share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class History;

struct CorpusAuction {
    std::string id;
    std::string title;  // UTF-8
    std::string label;  // the model and the kind (item, accessory, junk): alike only when equal
    std::int64_t price = 0;
};

// count auctions drawn from 29 kinds of goods; the same seed gives the
// same auctions. Their IDs are idPrefix and a number.
std::vector<CorpusAuction> MakeTitleCorpus(std::size_t count, std::uint32_t seed, const std::string& idPrefix);

// The titles of a hand-written file (role, title, model, kind, price, one a
// line, tab-separated; # starts a comment) of one role: "h" recorded, "q"
// read against them. Labels are model and kind joined as the corpus's are.
std::vector<CorpusAuction> ReadTitleFile(const std::string& path, const std::string& role);

// Records the auctions as ended and sold at their price, in one batch.
bool RecordCorpus(History& history, const std::vector<CorpusAuction>& auctions);

// How the history's market prices for the queries compare with what they are.
struct CorpusFigures {
    int queries = 0;
    int priced = 0;          // queries given a market price
    int comparables = 0;     // auctions those prices were taken from
    int right = 0;           // of them, the same model and kind as the query
    int impureMarkets = 0;   // markets with at least one other model or kind
    std::vector<double> errors; // |market − the label's own median| / that median, per priced query
    // Queries whose label has at least three recorded sales, and of them those priced.
    int known = 0;
    int knownPriced = 0;
    // At half time, per priced query with a known label, relative to its own
    // closing price: the market-aware forecast's error and the error of the
    // label's true median of recorded sales (the best a market could do).
    std::vector<double> halfTimeErrors, trueMedianErrors;

    double Purity() const { return comparables ? static_cast<double>(right) / comparables : 0; }
    double Coverage() const { return queries ? static_cast<double>(priced) / queries : 0; }
    double ImpureShare() const { return priced ? static_cast<double>(impureMarkets) / priced : 0; }
    double KnownCoverage() const { return known ? static_cast<double>(knownPriced) / known : 0; }
    double MedianError() const;
    double MeanError() const;
    double HalfTimeError() const;
    double TrueMedianError() const;
};

// recorded: what RecordCorpus put into the history, for each label's own median.
CorpusFigures MeasureCorpus(const History& history, const std::vector<CorpusAuction>& recorded,
                            const std::vector<CorpusAuction>& queries);
