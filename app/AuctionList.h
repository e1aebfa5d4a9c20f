// The saved auction list: up to 256 auctions the user wants to revisit.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

struct AuctionEntry {
    std::string Url;   // the auction's page address, as harvested or stored
    std::string Title; // the item title shown in the entry box's drop-down
    std::string Img;   // the item picture's address; may be empty
};

struct AuctionList {
    static constexpr int kCapacity = 256;
    // Each text held as in a 256-byte buffer: at most 255 bytes (cut with FitSjis).
    static constexpr std::size_t kTextBytes = 255;

    std::array<AuctionEntry, kCapacity> entries{};
    int count = 0;
};

// The process-wide list, empty at start.
extern AuctionList gAuctionList;
