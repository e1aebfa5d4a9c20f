#include "import/MyAuctionScan.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MyAuctionLinks links;
    int lines = 0;
    ParseMyAuctionTop(FuzzPage(data, size), [&](std::string_view) { ++lines; }, links);
    for (const std::string* link : {&links.WTOPN, &links.WTCLS, &links.ENTRY, &links.PUT, &links.GET, &links.CLOSE})
        FUZZ_CHECK(link->size() <= MyAuctionLinks::kLinkBytes);
    FUZZ_CHECK(lines >= 6);
    return 0;
}
