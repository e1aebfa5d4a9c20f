// The winning-price forecast: the price rise so far, extrapolated over the whole
// auction time, scaled by the user's tendency, rounded to a price step and
// capped at the buy-it-now price.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

// The extrapolation is defined in 80-bit extended precision: 1.2 as a double
// lies just below 1.2, and only a 64-bit significand keeps 5000 × 1.2 below 6000.
static_assert(std::numeric_limits<long double>::digits >= 64,
              "the forecast needs long double with at least a 64-bit significand (x87 extended)");

struct ForecastInput {
    std::int64_t now = 0;       // the clock, seconds since 1970
    std::int64_t endTime = 0;   // the auction's end
    std::int64_t startTime = 0; // the auction-start row's time
    std::int64_t startPrice = 0;
    std::int64_t latestPrice = 0;
    std::int64_t buyNow = -1;   // -1: no buy-it-now price
    int keiko = 1;              // tendency: 0 low, 1 middle, anything else high
};

struct ForecastResult {
    bool ended = false;         // now at or past the end: no forecast
    std::int64_t forecast = 0;  // yen, rounded and capped
    int confidence = 100;       // percent of the auction time elapsed
    std::int64_t step = 0;      // the price step the forecast was rounded to
};

// The factor of a tendency: 1.0, 1.2 or 1.4.
double TendencyFactor(int keiko);

// The price step for an unrounded forecast.
std::int64_t PriceStep(std::int64_t forecast);

// Rounds to the step, halves up (toward zero for negative values, as integer
// division does).
std::int64_t RoundToStep(std::int64_t forecast, std::int64_t step);

// The smallest multiple of step that is not below value.
std::int64_t CeilToStep(std::int64_t value, std::int64_t step);

// The buy-it-now price from its page text (" 12,000"), read like a bid's
// price: -1 when empty or unreadable.
std::int64_t ParseBuyNow(std::string_view text);

ForecastResult ComputeForecast(const ForecastInput& in);
