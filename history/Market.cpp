#include "history/Market.h"

std::string TitleKey(std::string_view) { return {}; }
double TitleSimilarity(std::string_view, std::string_view) { return 0; }
std::optional<MarketPrice> MarketFrom(const std::vector<SimilarAuction>&) { return std::nullopt; }
std::int64_t MarketAwareForecast(const MarketForecastInput& in) { return in.seedForecast; }
