#include "analysis/AuctionTarget.h"

#include "base/Endpoints.h"
#include "base/Text.h"
#include "net/NMHTTP.h"

AuctionTarget ReadAuctionTarget(std::string_view text, const AuctionList& list)
{
    AuctionTarget target;
    target.input = std::string(TrimText(text));
    if (target.input.empty()) {
        target.problem = AuctionTarget::Empty;
        return target;
    }
    if (target.input.size() > AuctionTarget::kInputBytes) {
        target.problem = AuctionTarget::NotAnAddress;
        return target;
    }
    if (const int entry = LookupTitle(target.input, list); entry >= 0) {
        const AuctionEntry& e = list.entries[static_cast<std::size_t>(entry)];
        target.input = e.Url;
        target.imageAddress = e.Img;
    }

    std::optional<HttpAddress> page;
    if (HasWebScheme(target.input))
        page = SplitHttpAddress(target.input);
    if (!page) {
        target.problem = AuctionTarget::NotAnAddress;
        return target;
    }
    target.page = std::move(*page);
    if (!target.page.path.starts_with(kAuctionPagePath)) {
        target.problem = AuctionTarget::NotAnAuctionPage;
        return target;
    }
    target.auctionId = target.page.path.substr(kAuctionPagePath.size());
    if (target.auctionId.size() > AuctionTarget::kAuctionIdBytes) {
        target.problem = AuctionTarget::NotAnAddress;
        return target;
    }
    target.requestPath = Format(kBidHistoryRequest, target.auctionId.c_str());
    // The client sends at most this much of a path; a longer one would lose
    // its end ("&typ=log") and ask for another page.
    if (target.requestPath.size() > TNMHTTP::kMaxRequestPath)
        target.problem = AuctionTarget::NotAnAddress;
    return target;
}

std::string AuctionTargetMessage(const AuctionTarget& target)
{
    switch (target.problem) {
    case AuctionTarget::NotAnAddress:
        return AddressMessage(target.input);
    case AuctionTarget::NotAnAuctionPage:
        return std::string(SJ("正しいＵＲＬを指定してください。"));
    case AuctionTarget::None:
    case AuctionTarget::Empty:
        break;
    }
    return {};
}
