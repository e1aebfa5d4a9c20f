#include "history/History.h"

struct History::Impl {};

std::string HistoryPath() { return {}; }
History::History() = default;
History::~History() = default;
bool History::Open(const std::string&) { return false; }
bool History::IsOpen() const { return false; }
bool History::Record(const AuctionRecord&, const BidLog&, const std::optional<Prediction>&, int, std::string_view,
                     std::time_t)
{
    return false;
}
std::vector<SimilarAuction> History::Similar(std::string_view, std::string_view, std::size_t) const { return {}; }
std::optional<MarketPrice> History::Market(std::string_view, std::string_view) const { return std::nullopt; }
std::optional<MarketOutlook> History::Outlook(const AuctionRecord&, const BidLog&, const std::optional<Prediction>&,
                                              std::time_t) const
{
    return std::nullopt;
}
std::vector<RecordedAuction> History::Auctions(std::size_t) const { return {}; }
Accuracy History::ForecastAccuracy() const { return {}; }
bool History::Clear() { return false; }
void RecordAnalysisRun(const AuctionRecord&, const BidLog&, std::string_view, std::time_t) noexcept {}
void SetAnalysisRunListener(AnalysisRunListener) {}
