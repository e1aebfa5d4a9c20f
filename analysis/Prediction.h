// What the forecast shows for one analysis, made from the parsed records with no
// window, so that the main window and mirelo-forecast show the same.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Auction.h"
#include "analysis/BidHistory.h"

enum class PointColour {
    Now,      // the latest price at the clock's time: green (0, 128, 0)
    Forecast, // the forecast at the end time: blue (0, 0, 255)
};

struct PredictionPoint {
    std::int64_t x = 0; // seconds since 1970
    std::int64_t y = 0; // yen
    std::string label;  // Shift_JIS
    PointColour colour = PointColour::Now;
};

struct Prediction {
    bool ended = false;
    std::int64_t forecast = 0; // yen; none when ended
    int confidence = 100;      // percent
    std::int64_t endTime = 0;
    std::string endLabel;      // "%d/%d %02d:%02d", like the bids' dateText
    std::vector<PredictionPoint> points; // "現在" then the forecast; none when ended
};

// Nothing when there is nothing to forecast from: an empty log or an end time
// that cannot be read. The end time takes the year nearest to now, as the bids do.
std::optional<Prediction> PredictFromAuction(const TypedAuction& auction, std::time_t now, int keiko);
std::optional<Prediction> PredictFromRecords(const AuctionRecord& record, const BidLog& log, std::time_t now,
                                             int keiko);

// One saved bid-history page read and forecast: the step the window's run,
// mirelo-forecast and the watch board share before they show or record it.
struct PageReading {
    TypedAuction auction;
    std::optional<Prediction> prediction;
    int keiko = 1;
    std::time_t now = 0;
};

// Parses the page into record and log (telling observer each header field),
// types the auction once and forecasts it with the tendency keiko.
PageReading ReadBidHistoryPage(const std::string& pagePath, std::time_t now, int keiko, AuctionRecord& record,
                               BidLog& log, const HeaderObserver& observer = {});

// The stored tendency, read afresh each time; 1 (middle) when it cannot be read.
int StoredTendency();

// 0 low, 1 middle, 2 high: any other stored value counts as high, as the
// forecast takes it.
int TendencyIndex(int keiko);
// The tendency's name on the command line: low, middle or high.
const char* TendencyName(int keiko);
// The tendency a command-line value names; nothing, with error set, for another.
std::optional<int> TendencyFromName(std::string_view name, std::string& error);

// The forecast panel's texts. They are QStrings because the yen sign and some
// locales' group separators have no faithful Shift_JIS form.
QString GroupedNumber(std::int64_t value, const QLocale& locale); // 12,345
QString YenText(std::int64_t value, const QLocale& locale);       // ¥12,345, whatever the locale's currency
QString ForecastText(const Prediction& prediction, const QLocale& locale); // "（終了）" or the yen text
QString ConfidenceText(const Prediction& prediction);                     // "40%"
