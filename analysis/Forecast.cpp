#include "analysis/Forecast.h"

#include <algorithm>
#include <cmath>

#include "analysis/PageDate.h"

double TendencyFactor(int keiko)
{
    switch (keiko) {
    case 0: return 1.0;
    case 1: return 1.2;
    default: return 1.4;
    }
}

std::int64_t PriceStep(std::int64_t forecast)
{
    if (forecast < 1000) return 10;
    if (forecast < 5000) return 100;
    if (forecast < 10000) return 250;
    if (forecast < 50000) return 500;
    return 1000;
}

std::int64_t RoundToStep(std::int64_t forecast, std::int64_t step)
{
    return ((forecast + step / 2) / step) * step;
}

std::int64_t CeilToStep(std::int64_t value, std::int64_t step)
{
    const std::int64_t q = value / step; // toward zero: already up for negative values
    return (q * step < value ? q + 1 : q) * step;
}

std::int64_t ParseBuyNow(std::string_view text)
{
    return ReadPagePrice(text).value_or(-1);
}

ForecastResult ComputeForecast(const ForecastInput& in)
{
    ForecastResult out;
    if (in.now >= in.endTime) {
        out.ended = true;
        out.confidence = 100;
        return out;
    }

    // A start row dated after the clock (a page from another zone, a wrong
    // clock) has not started yet: as if it had just started.
    const std::int64_t elapsed = std::max<std::int64_t>(in.now - in.startTime, 0);
    const std::int64_t rise = in.latestPrice - in.startPrice;
    const std::int64_t total = in.endTime - in.startTime;

    std::int64_t forecast;
    if (elapsed == 0 || total == 0) {
        // No time to extrapolate over: the latest price is the best guess.
        forecast = in.latestPrice;
        out.confidence = 100;
    } else {
        // The product is exact in extended precision before it is rounded to a double.
        const double product = static_cast<double>(static_cast<long double>(rise) * static_cast<long double>(total));
        const long double quotient = static_cast<long double>(product) / static_cast<long double>(elapsed);
        long double scaled = std::trunc(quotient * static_cast<long double>(TendencyFactor(in.keiko)));
        // Absurd inputs (a one-second-old auction running for years) must not overflow.
        constexpr long double limit = 1e15L;
        if (scaled > limit) scaled = limit;
        if (scaled < -limit) scaled = -limit;
        forecast = static_cast<std::int64_t>(scaled) + in.startPrice;
        out.confidence = static_cast<int>((elapsed * 100) / total);
    }

    out.step = PriceStep(forecast);
    forecast = RoundToStep(forecast, out.step);
    // An auction cannot close below its current price: the step at or above it.
    if (forecast < in.latestPrice)
        forecast = CeilToStep(in.latestPrice, out.step);
    if (in.buyNow != -1 && forecast > in.buyNow)
        forecast = in.buyNow;
    if (in.startPrice == in.buyNow)
        out.confidence = 100;
    out.forecast = forecast;
    return out;
}
