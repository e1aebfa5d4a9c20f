// The saved auction list: up to 256 auctions the user wants to revisit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// Index of the first entry whose title, without leading and trailing blanks
// and control characters, equals text trimmed the same way (byte for byte,
// letter case counts); -1 when none does.
int LookupTitle(std::string_view text, const AuctionList& list = gAuctionList);

// Replaces list with the one stored (count "ListNum", then "Title%03d",
// "Url%03d" and "Img%03d" under the "List" key). A count beyond the list's
// capacity loads the first 256 entries; a negative one loads none. Missing
// values give empty texts; a store that cannot be read gives an empty list.
// Board limits that older versions kept by place ("Limit%03d") move to their
// auctions (ReadAuctionLimits) on the way.
void ReadAuctionList(AuctionList& list);

// The key two entries of one auction share: the address trimmed, without
// scheme and letter case in the host.
std::string AuctionKey(std::string_view url);

// What the board's limit of an auction is kept under: the auction ID of its
// address, else its AuctionKey.
std::string AuctionLimitId(std::string_view url);

// Stores the list (withEntries) or just a count of 0, all in one transaction:
// whatever interrupts it, the store keeps either the old list or the new one.
// False when nothing was stored (the keys could not be made, a write failed).
bool StoreAuctionList(const AuctionList& list, bool withEntries);
