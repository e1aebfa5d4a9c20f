// The auction history: every auction an analysis has read, its bids, the
// forecasts made for it and, once it ended, its closing price. Kept in an
// SQLite file of its own beside the settings store, shared by every running
// copy of the program.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLocale;

#include "analysis/BidHistory.h"
#include "analysis/Prediction.h"
#include "history/Market.h"

// history.db in the settings store's folder; empty when there is no home.
std::string HistoryPath();

// The market view of one auction: its market price, with the forecast that
// weighs it, for a running auction.
struct MarketOutlook {
    MarketPrice market;
    std::optional<std::int64_t> forecast; // the market-aware forecast; none once ended
    std::optional<PriceSpread> spread;    // around that forecast
};

// Where the closing price may fall around the forecast shown, and what that
// is drawn from.
struct ForecastSpread {
    enum class Basis { Market, OwnErrors };
    Basis basis = Basis::Market;
    int count = 0;     // similar sales, or past forecasts
    PriceSpread spread;
    PriceBand band;
};

// The market outlook's spread; else, for a running auction, the spread of
// the user's own past forecasts of that tendency at about that share of
// their time (History::ForecastRatios). Nothing from too few.

// One recorded auction as the history lists it.
struct RecordedAuction {
    std::string auctionId;  // Shift_JIS
    std::string address;
    std::string title;      // Shift_JIS
    std::string endText;    // as the page writes it
    std::int64_t endTime = 0;
    bool ended = false;
    std::int64_t latestPrice = 0;              // the closing price once ended
    std::optional<std::int64_t> closingPrice;  // ended with at least one bid
    std::optional<std::int64_t> lastForecast;  // the last forecast recorded while running
    std::optional<std::int64_t> lastMarketForecast;
    std::optional<double> lastForecastError;   // |forecast − closing| / closing, once closed
    std::optional<double> lastMarketForecastError;
    std::int64_t lastSeen = 0;                 // the clock of the last recording
};

// Mean and median absolute error (fractions of the closing price) of the
// forecasts recorded in one quarter of their auctions' time.
struct AccuracyCell {
    int count = 0;
    double mean = 0;
    double median = 0;
};

struct Accuracy {
    AccuracyCell seed[3][4]; // [tendency 0 low, 1 middle, 2 high][quarter 0–25 … 75–100 %]
    AccuracyCell market[4];  // the market-aware forecasts, by quarter
};

// A connection to the history. Every operation fails quietly (false or
// nothing): a history that cannot be read or written never stops a run.
class History {
public:
    History();
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Opens the file, making it (and its folder) when missing. A damaged file
    // is set aside as "<path>.damaged" and a new one started.
    // busyMs: how long a write waits for another copy's; the watch board,
    // which must not hold its window, waits briefly and tries again later.
    bool Open(const std::string& path = HistoryPath(), int busyMs = kDefaultBusyMs);
    static constexpr int kDefaultBusyMs = 5000;
    // Opens an existing history to read: nothing is made, and nothing changed
    // but an older program's history, which is upgraded in place.
    bool OpenToRead(const std::string& path = HistoryPath());
    bool IsOpen() const;

    // Records one analysis in one short transaction: the auction, its bids
    // (replacing those recorded before), and a snapshot of the forecast; an
    // ended auction gets its closing price. Nothing without an auction ID.
    bool Record(const TypedAuction& auction, const BidLog& log, const std::optional<Prediction>& prediction, int keiko,
                std::string_view address, std::time_t now);
    // The same for records not yet typed (read here, once).
    bool Record(const AuctionRecord& record, const BidLog& log, const std::optional<Prediction>& prediction,
                int keiko, std::string_view address, std::time_t now);

    // Ended auctions with a closing price, other than excludeAuctionId,
    // Alike the title: most similar first, the latest ended first among
    // equals. The similarity weighs each shared trigram by its rarity in the
    // history.
    std::vector<SimilarAuction> Similar(std::string_view title, std::string_view excludeAuctionId = {},
                                        std::size_t limit = kMarketMaxCount) const;

    // The market price for a title; nothing from too few similar auctions.
    // The comparables the user excluded from the market of excludeAuctionId
    // (the auction priced) are left out, and listed.
    std::optional<MarketPrice> Market(std::string_view title, std::string_view excludeAuctionId = {}) const;

    // The recorded sales naming a model code of the title that market (the
    // title's market price, or none) does not take, each with why: another
    // kind, variant, capacity, size, model or maker, an outlier, or taken out
    // by the user from the market of excludeAuctionId. The latest first, at
    // most kMarketMaxCount × 2 of another kind or model. A user who sees no
    // market price can tell a history without the model from a rule that
    // parted its sales.
    std::vector<NotTaken> NotTakenSales(std::string_view title, std::string_view excludeAuctionId,
                                        const std::optional<MarketPrice>& market) const;

    // Takes an ended auction out of the market of another, or brings it back.
    bool SetExcluded(std::string_view auctionId, std::string_view comparableId, bool excluded);
    // The auctions taken out of the market of auctionId.
    std::vector<std::string> Excluded(std::string_view auctionId) const;

    // The market price of the analysed auction and, while it runs, the
    // market-aware forecast. Nothing without a market price.
    std::optional<MarketOutlook> Outlook(const TypedAuction& auction, const BidLog& log,
                                         const std::optional<Prediction>& prediction, std::time_t now) const;
    std::optional<MarketOutlook> Outlook(const AuctionRecord& record, const BidLog& log,
                                         const std::optional<Prediction>& prediction, std::time_t now) const;

    // closing price / forecast of the forecasts of that tendency recorded
    // within kShareWindow of that share of their time, the nearest one of each
    // closed auction, the latest auctions first.
    std::vector<double> ForecastRatios(int keiko, double share, std::size_t limit = 500) const;
    static constexpr double kShareWindow = 0.125;

    // The running forecast recorded for the auction nearest to that share of
    // its time (the board's "forecast made at half time").
    std::optional<std::int64_t> ForecastNearShare(std::string_view auctionId, double share) const;

    // The recorded auctions, the latest recorded first.
    std::vector<RecordedAuction> Auctions(std::size_t limit = 1000) const;
    // The last forecast recorded while it ran with each tendency (0 low, 1
    // middle, 2 high), by auction ID.
    std::vector<std::array<std::optional<std::int64_t>, 3>> LastForecasts(const std::vector<RecordedAuction>& auctions) const;

    // The accuracy of the forecasts recorded for auctions that have closed.
    Accuracy ForecastAccuracy() const;

    // Empties the history.
    bool Clear();

    // Makes the records of its lifetime one transaction, for recording many
    // auctions at once (a sample set, a benchmark): all are stored or none.
    // It holds the write lock throughout.
    class Batch {
    public:
        explicit Batch(History& history);
        ~Batch(); // rolls back unless committed
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        bool Commit();

    private:
        History& history_;
        bool owns_ = false; // false inside another batch, which it joins
    };

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

std::optional<ForecastSpread> SpreadOf(const History& history, const std::optional<MarketOutlook>& outlook,
                                       const TypedAuction& auction, const BidLog& log,
                                       const std::optional<Prediction>& prediction, int keiko, std::time_t now);

// Every recorded auction as CSV (history/Csv.h), the latest recorded first:
// ID, title, end, state, closing price, the last forecast of each tendency
// and the market-aware one, and how far each was off the closing price.
std::string HistoryCsv(const History& history);

// The band as 「¥52,000〜¥61,000（類似の落札 12 件から）」 in UTF-8, the basis
// named in brackets.
std::string BandText(const ForecastSpread& spread, const QLocale& locale);
// 「上限で落札できる見込み 35 %」 as UTF-8.
std::string ChanceText(double chance);

// The share of the auction time gone at now, from the start row to the end.
double ElapsedShare(const BidLog& log, const Prediction& prediction, std::time_t now);

// Records a page reading as a run does: the path every reader shares.
bool RecordReading(History& history, const PageReading& reading, const BidLog& log, std::string_view address);

// The analysis run's hook: records the run's reading in the history beside
// the settings store. Never throws; a failure is silent, as the settings
// store's are.
void RecordAnalysisRun(const PageReading& reading, const AuctionRecord& record, const BidLog& log,
                       std::string_view address) noexcept;
// The same, read and forecast here with the stored tendency.
void RecordAnalysisRun(const AuctionRecord& record, const BidLog& log, std::string_view address,
                       std::time_t now) noexcept;

// Told after every RecordAnalysisRun, whether it was stored or not (the
// history window refreshes). One listener; an empty function removes it.
using AnalysisRunListener = std::function<void(const AuctionRecord&, const BidLog&, std::time_t now)>;
void SetAnalysisRunListener(AnalysisRunListener listener);
