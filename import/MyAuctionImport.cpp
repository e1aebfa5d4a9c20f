#include "import/MyAuctionImport.h"

#include <array>

#include "base/Endpoints.h"
#include "base/Registry.h"
#include "base/Text.h"

const MyAuctionListChoice& ChoiceOf(MyAuctionList list)
{
    static const std::array<MyAuctionListChoice, 4> choices = {{
        {&MyAuctionLinks::WTOPN, SJ("<B>開催中のオークション</B>"), SJ(" - ウォッチリスト（開催中）")},
        {&MyAuctionLinks::WTCLS, SJ("<B>終了したオークション</B>"), SJ(" - ウォッチリスト（終了分）")},
        {&MyAuctionLinks::ENTRY, SJ("<B>入札中</B>"), SJ(" - 入札中")},
        {&MyAuctionLinks::PUT, SJ("<B>出品中</B>"), SJ(" - 出品中")},
    }};
    return choices[static_cast<std::size_t>(list)];
}

std::string ReadMyAuctionUrl()
{
    std::string url;
    if (ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::UrlMyAuction, url) != 0)
        url = kDefaultMyAuctionUrl;
    return url;
}
