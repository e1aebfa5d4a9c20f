// Scans of the saved My Auction pages: the top page gives the links of the
// user's lists, a list page gives the auctions for the auction list.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/AuctionList.h"

// The links of the user's lists as the top page gives them. Empty at start and
// never cleared: a link a scan does not find keeps what an earlier scan found.
struct MyAuctionLinks {
    static constexpr std::size_t kLinkBytes = 1023; // each held as in a 1024-byte buffer

    std::string WTOPN; // watch list, running auctions (asks for pictures and 50 items)
    std::string WTCLS; // watch list, ended auctions, derived from WTOPN
    std::string ENTRY; // bidding
    std::string PUT;   // selling
    std::string GET;   // won
    std::string CLOSE; // ended
};

extern MyAuctionLinks gMyAuctionLinks;

// Receives each trace line ("B WTOPN > ...", "A WTOPN > ...", ...).
using LogSink = std::function<void(std::string_view)>;

// Fills the links found on the saved top page and traces them to log.
void ParseMyAuctionTop(const std::string& path, const LogSink& log, MyAuctionLinks& links = gMyAuctionLinks);

// Replaces the list's entries by the auctions listed under heading on the saved
// list page (the list stays empty when the page cannot be read).
void ParseMyAuctionList(const std::string& path, std::string_view heading, AuctionList& list = gAuctionList);
