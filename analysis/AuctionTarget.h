// From the text in the main window's entry box to the bid-history request of
// an auction: trimmed, a list title replaced by its entry, checked and split.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/AuctionList.h"
#include "base/HttpAddress.h"

struct AuctionTarget {
    enum Problem {
        None,
        Empty,          // nothing to do, and nothing to say
        NotAnAddress,   // no web address that can be fetched (shown with the input)
        NotAnAuctionPage,
    };
    static constexpr std::size_t kInputBytes = 1023;
    static constexpr std::size_t kAuctionIdBytes = 255;

    Problem problem = None;
    std::string input;        // trimmed; a list title's entry Url
    HttpAddress page;         // the page host and port, the auction page's path
    std::string auctionId;    // everything after "/jp/auction/", a query included
    std::string requestPath;  // the bid-history page of the auction
    std::string imageAddress; // the list entry's picture; empty for a typed address
};

// Texts longer than their buffers are refused as not an address rather than
// cut into another one.
AuctionTarget ReadAuctionTarget(std::string_view text, const AuctionList& list = gAuctionList);

// The message a problem shows (Shift_JIS); empty for None and Empty.
std::string AuctionTargetMessage(const AuctionTarget& target);
