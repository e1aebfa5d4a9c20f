// What the program fixes about the auction service it talks to.
#pragma once

#include <string_view>

// The host of the users' own pages (My Auction).
inline constexpr std::string_view kUserPagesHost = "user.auctions.yahoo.co.jp";

// The parent domain of the service's hosts, whose browser cookie the My Auction
// requests carry.
inline constexpr std::string_view kPortalDomain = "yahoo.co.jp";

// The My Auction status page, the start of every import.
inline constexpr std::string_view kMyAuctionPath = "/jp/show/mystatus";

// The My Auction address in force until the user sets another.
inline constexpr std::string_view kDefaultMyAuctionUrl = "http://user.auctions.yahoo.co.jp/jp/show/mystatus";
static_assert(kDefaultMyAuctionUrl.substr(0, 7) == "http://"
              && kDefaultMyAuctionUrl.substr(7, kUserPagesHost.size()) == kUserPagesHost
              && kDefaultMyAuctionUrl.substr(7 + kUserPagesHost.size()) == kMyAuctionPath);

// An auction's page on the page host: this path, then the auction ID.
inline constexpr std::string_view kAuctionPagePath = "/jp/auction/";

// The bid-history page of an auction, sent to the page host; %s is the auction ID.
inline constexpr const char* kBidHistoryRequest = "/jp/show/bid_hist?aID=%s&typ=log";
