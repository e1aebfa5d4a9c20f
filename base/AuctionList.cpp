#include "base/AuctionList.h"

#include <algorithm>
#include <cctype>

#include "base/Endpoints.h"
#include "base/Registry.h"
#include "base/Text.h"

AuctionList gAuctionList;

namespace {

std::string EntryValue(const char* name, int index)
{
    return Format("%s%03d", name, index);
}

void MoveListLimits()
{
    // Looked at without the write lock first: nearly always there is nothing to move.
    bool any = false;
    {
        RegistryBatch snapshot(RegistryBatch::Read);
        for (int i = 0; i < AuctionList::kCapacity && !any; ++i) {
            std::int32_t limit = 0;
            any = ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", i), limit) == 0 && limit > 0;
        }
    }
    if (!any)
        return;
    // Each by the address stored beside it in the same transaction; a limit
    // the user has set since stays. Values past the count belonged to no
    // entry and just go.
    RegistryBatch batch;
    std::int32_t count = 0;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ListNum, count);
    for (int i = 0; i < AuctionList::kCapacity; ++i) {
        std::int32_t limit = 0;
        if (ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", i), limit) != 0 || limit == 0)
            continue;
        std::string url;
        if (i < count && limit > 0 && ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Url", i), url) == 0
            && !TrimText(url).empty())
            StoreAuctionLimit(AuctionLimitId(url), limit, true);
        WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", i), 0);
    }
    batch.Commit();
}

} // namespace

int LookupTitle(std::string_view text, const AuctionList& list)
{
    std::string_view wanted = TrimText(text);
    int count = std::clamp(list.count, 0, AuctionList::kCapacity);
    for (int i = 0; i < count; ++i) {
        if (TrimText(list.entries[static_cast<std::size_t>(i)].Title) == wanted)
            return i;
    }
    return -1;
}

std::string AuctionKey(std::string_view url)
{
    std::string key(TrimText(url));
    if (const std::size_t scheme = key.find("://"); scheme != std::string::npos)
        key.erase(0, scheme + 3);
    const std::size_t hostEnd = std::min(key.find('/'), key.size());
    for (std::size_t i = 0; i < hostEnd; ++i)
        key[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(key[i])));
    return key;
}

std::string AuctionLimitId(std::string_view url)
{
    std::string key = AuctionKey(url);
    const std::size_t hostEnd = std::min(key.find('/'), key.size());
    if (key.compare(hostEnd, kAuctionPagePath.size(), kAuctionPagePath) == 0) {
        // The ID alone: another host or a query names the same auction.
        std::string rest = key.substr(hostEnd + kAuctionPagePath.size());
        rest.erase(std::min(rest.find_first_of("?#/"), rest.size()));
        if (!rest.empty())
            return rest;
    }
    return key;
}

void ReadAuctionList(AuctionList& list)
{
    MoveListLimits();
    list = AuctionList{};
    // One snapshot: another copy saving at the same moment cannot mix its
    // count with our entries.
    RegistryBatch snapshot(RegistryBatch::Read);
    std::int32_t stored = 0;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ListNum, stored);
    list.count = std::clamp(stored, 0, AuctionList::kCapacity);
    for (int i = 0; i < list.count; ++i) {
        AuctionEntry& entry = list.entries[static_cast<std::size_t>(i)];
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Title", i), entry.Title);
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Url", i), entry.Url);
        // Read back too, so a saved entry still shows its picture after a restart.
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Img", i), entry.Img);
    }
}

bool StoreAuctionList(const AuctionList& list, bool withEntries)
{
    RegistryBatch batch;
    if (CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloKey) != 0
        || CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloListKey) != 0)
        return false;
    int count = withEntries ? std::clamp(list.count, 0, AuctionList::kCapacity) : 0;
    WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ListNum, count);
    // Cut as the list's texts are, so that each one reads back.
    auto text = [](const std::string& s) { return FitSjis(s, AuctionList::kTextBytes); };
    for (int i = 0; i < count; ++i) {
        const AuctionEntry& entry = list.entries[static_cast<std::size_t>(i)];
        WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Title", i), text(entry.Title));
        WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Url", i), text(entry.Url));
        WriteRegistryText(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Img", i), text(entry.Img));
    }
    // A write that failed makes the commit store nothing.
    return batch.Commit();
}
