#include "analysis/Prediction.h"

#include "analysis/Forecast.h"
#include "base/Registry.h"
#include "base/Text.h"

std::optional<Prediction> PredictFromAuction(const TypedAuction& auction, std::time_t now, int keiko)
{
    if (auction.logRows == 0 || !auction.endTime)
        return std::nullopt;

    ForecastInput in;
    in.now = now;
    in.endTime = *auction.endTime;
    in.startTime = *auction.startRowTime;
    in.startPrice = *auction.startPrice;
    in.latestPrice = *auction.latestBidPrice;
    in.buyNow = auction.buyNow;
    in.keiko = keiko;
    const ForecastResult result = ComputeForecast(in);

    Prediction p;
    p.ended = result.ended;
    p.confidence = result.confidence;
    p.endTime = *auction.endTime;
    p.endLabel = auction.endLabel;
    if (!p.ended) {
        p.forecast = result.forecast;
        p.points.push_back({now, *auction.latestBidPrice, std::string(SJ("現在")), PointColour::Now});
        p.points.push_back({*auction.endTime, p.forecast, p.endLabel, PointColour::Forecast});
    }
    return p;
}

std::optional<Prediction> PredictFromRecords(const AuctionRecord& record, const BidLog& log, std::time_t now,
                                             int keiko)
{
    return PredictFromAuction(ReadAuction(record, log, now), now, keiko);
}

PageReading ReadBidHistoryPage(const std::string& pagePath, std::time_t now, int keiko, AuctionRecord& record,
                               BidLog& log, const HeaderObserver& observer)
{
    ParseBidHistory(pagePath, now, observer, record, log);
    PageReading reading;
    reading.auction = ReadAuction(record, log, now);
    reading.prediction = PredictFromAuction(reading.auction, now, keiko);
    reading.keiko = keiko;
    reading.now = now;
    return reading;
}

int StoredTendency()
{
    std::int32_t keiko = 1;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Keiko, keiko);
    return keiko;
}

namespace {
constexpr const char* kTendencyNames[] = {"low", "middle", "high"};
}

int TendencyIndex(int keiko)
{
    return keiko == 0 ? 0 : keiko == 1 ? 1 : 2;
}

const char* TendencyName(int keiko)
{
    return kTendencyNames[TendencyIndex(keiko)];
}

std::optional<int> TendencyFromName(std::string_view name, std::string& error)
{
    for (int keiko = 0; keiko < 3; ++keiko) {
        if (name == kTendencyNames[keiko])
            return keiko;
    }
    error = "--tendency is low, middle or high, not \"" + std::string(name) + "\"";
    return std::nullopt;
}

QString GroupedNumber(std::int64_t value, const QLocale& locale)
{
    return locale.toString(static_cast<qlonglong>(value));
}

QString YenText(std::int64_t value, const QLocale& locale)
{
    // The prices are yen: the locale's own currency sign would mislabel them.
    return QChar(0x00A5) + GroupedNumber(value, locale);
}

QString ForecastText(const Prediction& prediction, const QLocale& locale)
{
    return prediction.ended ? QString::fromUtf8("（終了）") : YenText(prediction.forecast, locale);
}

QString ConfidenceText(const Prediction& prediction)
{
    return QString::number(prediction.confidence) + QLatin1Char('%');
}
