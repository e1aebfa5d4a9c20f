#include "base/Text.h"
#include "import/MyAuctionScan.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static AuctionList list; // 256 entries: kept between inputs, as the program keeps its list
    ParseMyAuctionList(FuzzPage(data, size), SJ("<B>開催中のオークション</B>"), list);
    FUZZ_CHECK(list.count >= 0 && list.count <= AuctionList::kCapacity);
    for (const AuctionEntry& entry : list.entries)
        FUZZ_CHECK(entry.Url.size() <= AuctionList::kTextBytes && entry.Title.size() <= AuctionList::kTextBytes
                   && entry.Img.size() <= AuctionList::kTextBytes);
    return 0;
}
