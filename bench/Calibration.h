// How honest a price band and a chance to win are: the share of closing
// prices inside the band, and the chance against what happened, in tenths.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "history/Market.h"

// Limits drawn around the forecast, as multiples of it; those below the
// current price, which no bidder would set, are left out.
inline constexpr double kLimitMultiples[] = {0.6, 0.7, 0.8, 0.85, 0.9, 0.95, 1.0, 1.05, 1.1, 1.15, 1.2, 1.3, 1.5, 1.8};

struct Reliability {
    std::array<int, 10> count{};
    std::array<double, 10> predicted{};
    std::array<int, 10> below{};
    double brier = 0;
    int n = 0;

    void Add(double chance, bool closedAtOrBelow)
    {
        const int bin = std::min(9, static_cast<int>(chance * 10));
        ++count[bin];
        predicted[bin] += chance;
        below[bin] += closedAtOrBelow;
        const double miss = chance - (closedAtOrBelow ? 1.0 : 0.0);
        brier += miss * miss;
        ++n;
    }
    // Mean absolute calibration error: |predicted − observed| per tenth,
    // weighed by how many chances fell into it.
    double Error() const
    {
        double sum = 0;
        for (int b = 0; b < 10; ++b)
            if (count[b])
                sum += std::fabs(predicted[b] - below[b]) ;
        return n ? sum / n : 0;
    }
    double Brier() const { return n ? brier / n : 0; }
};

struct Calibration {
    int bands = 0, inside = 0;
    double width = 0; // (high − low) / forecast, summed
    Reliability chance, baseline;

    // spread around the forecast; market: the similar sales' closing prices as they are.
    void Add(const PriceSpread& spread, std::int64_t actual, const std::vector<std::int64_t>& market = {})
    {
        const PriceBand band = BandOf(spread);
        ++bands;
        inside += band.low <= actual && actual <= band.high;
        width += static_cast<double>(band.high - band.low) / static_cast<double>(std::max<std::int64_t>(spread.forecast, 1));
        for (double m : kLimitMultiples) {
            const auto limit = static_cast<std::int64_t>(std::llround(static_cast<double>(spread.forecast) * m));
            if (limit < spread.floor)
                continue;
            chance.Add(ChanceAtOrBelow(spread, limit), actual <= limit);
            if (!market.empty()) {
                int below = 0;
                for (std::int64_t p : market)
                    below += p <= limit;
                baseline.Add(static_cast<double>(below) / static_cast<double>(market.size()), actual <= limit);
            }
        }
    }
    double Coverage() const { return bands ? static_cast<double>(inside) / bands : 0; }
    double Width() const { return bands ? width / bands : 0; }
};

inline void PrintCalibrationRow(const char* label, const Calibration& c)
{
    std::printf("%-9s | %5d | %5.1f %% | %5.1f %% | %5.1f pt / %.3f", label, c.bands, c.Coverage() * 100,
                c.Width() * 100, c.chance.Error() * 100, c.chance.Brier());
    if (c.baseline.n)
        std::printf(" | %5.1f pt / %.3f", c.baseline.Error() * 100, c.baseline.Brier());
    std::printf("\n");
}

inline void PrintCalibrationHeader(bool baseline)
{
    std::printf("%-9s | %5s | %7s | %7s | %-17s%s\n", "elapsed", "n", "in band", "width", "chance: MACE/Brier",
                baseline ? " | market spread only: MACE/Brier" : "");
}

inline void PrintReliability(const Reliability& r)
{
    std::printf("predicted | limits | mean predicted | closed at or below\n");
    for (int b = 0; b < 10; ++b) {
        if (!r.count[b])
            continue;
        std::printf("%2d-%3d %% | %6d | %12.1f %% | %16.1f %%\n", b * 10, b * 10 + 10, r.count[b],
                    r.predicted[b] / r.count[b] * 100, 100.0 * r.below[b] / r.count[b]);
    }
}

// One column per point of time: mean predicted / share closed at or below.
inline void PrintReliabilityByPoint(const Reliability* r, const char* const* labels, int points)
{
    std::printf("predicted");
    for (int p = 0; p < points; ++p)
        std::printf(" | %-15s", labels[p]);
    std::printf("\n");
    for (int b = 0; b < 10; ++b) {
        std::printf("%2d-%3d %%", b * 10, b * 10 + 10);
        for (int p = 0; p < points; ++p) {
            if (r[p].count[b])
                std::printf(" | %5.1f / %5.1f %%", r[p].predicted[b] / r[p].count[b] * 100, 100.0 * r[p].below[b] / r[p].count[b]);
            else
                std::printf(" | %-15s", "");
        }
        std::printf("\n");
    }
}
