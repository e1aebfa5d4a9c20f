// Fills the auction list of the settings store in force ($XDG_CONFIG_HOME)
// from lines "title<TAB>page address<TAB>picture address" (UTF-8) on standard
// input, as auction_service.py --list prints them. The demo uses it so that
// its list is written exactly as the program writes its own.
//   mirelo-fill-list [--my-auction URL]
// also stores URL as the My Auction address, for trying the import.
#include <cstdio>
#include <iostream>
#include <string>

#include "base/AuctionList.h"
#include "base/Registry.h"
#include "base/Text.h"

int main(int argc, char** argv)
{
    std::string myAuction;
    if (argc == 3 && std::string(argv[1]) == "--my-auction") {
        myAuction = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: mirelo-fill-list [--my-auction URL] < list\n");
        return 2;
    }

    AuctionList list;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty())
            continue;
        if (list.count == AuctionList::kCapacity) {
            std::fprintf(stderr, "mirelo-fill-list: more than %d auctions; the rest are left out\n",
                         AuctionList::kCapacity);
            break;
        }
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        AuctionEntry& entry = list.entries[static_cast<std::size_t>(list.count++)];
        entry.Title = SjisFromUtf8(line.substr(0, tab1));
        if (tab1 != std::string::npos)
            entry.Url = SjisFromUtf8(line.substr(tab1 + 1, tab2 - tab1 - 1));
        if (tab2 != std::string::npos)
            entry.Img = SjisFromUtf8(line.substr(tab2 + 1));
    }
    if (!StoreAuctionList(list, true)) {
        std::fprintf(stderr, "mirelo-fill-list: cannot write the settings store %s\n", RegistryPath().c_str());
        return 1;
    }
    if (!myAuction.empty()
        && (CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloKey) != 0
            || WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::UrlMyAuction, myAuction) != 0)) {
        std::fprintf(stderr, "mirelo-fill-list: cannot store the My Auction address in %s\n", RegistryPath().c_str());
        return 1;
    }
    std::printf("%d auctions in the list of %s\n", list.count, RegistryPath().c_str());
    return 0;
}
