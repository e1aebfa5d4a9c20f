#include "analysis/Prediction.h"

#include "analysis/Forecast.h"
#include "analysis/PageDate.h"
#include "app/Registry.h"
#include "app/Text.h"

std::optional<Prediction> PredictFromRecords(const AuctionRecord& record, const BidLog& log, std::time_t now,
                                             int keiko)
{
    if (log.Count() == 0)
        return std::nullopt;
    const std::optional<PageDate> end = ReadPageDate(record.endText);
    if (!end)
        return std::nullopt;
    const std::optional<std::time_t> endTime = NearestTime(*end, now);
    if (!endTime)
        return std::nullopt;

    const BidRecord& latest = log[0];
    const BidRecord& start = log[log.Count() - 1];
    ForecastInput in;
    in.now = now;
    in.endTime = *endTime;
    in.startTime = start.time;
    in.startPrice = start.price;
    in.latestPrice = latest.price;
    in.buyNow = ParseBuyNow(record.buyNowText);
    in.keiko = keiko;
    const ForecastResult result = ComputeForecast(in);

    Prediction p;
    p.ended = result.ended;
    p.confidence = result.confidence;
    p.endTime = *endTime;
    p.endLabel = PageDateLabel(*end);
    if (!p.ended) {
        p.forecast = result.forecast;
        p.points.push_back({now, latest.price, std::string(SJ("現在")), PointColour::Now});
        p.points.push_back({*endTime, p.forecast, p.endLabel, PointColour::Forecast});
    }
    return p;
}

int StoredTendency()
{
    std::int32_t keiko = 1;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::Keiko, keiko);
    return keiko;
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
