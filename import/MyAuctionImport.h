// What an import run decides without a window: where it starts, which list it
// takes and how that list is recognised and named.
#pragma once

#include <string>
#include <string_view>

#include "import/MyAuctionScan.h"

// The lists the import window offers, in its order.
enum class MyAuctionList { WatchRunning, WatchEnded, Bidding, Selling };

struct MyAuctionListChoice {
    std::string MyAuctionLinks::*link; // the slot the top page's scan fills
    std::string_view heading;          // the list page's heading (Shift_JIS)
    std::string_view captionSuffix;    // follows the main window's caption
};

const MyAuctionListChoice& ChoiceOf(MyAuctionList list);

// The top page's address: the stored one whenever it can be read, even empty
// (the run refuses that with its address message), else the default.
std::string ReadMyAuctionUrl();
