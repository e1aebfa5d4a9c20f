#include "base/AuctionList.h"

#include <algorithm>

#include "base/Registry.h"
#include "base/Text.h"

AuctionList gAuctionList;

namespace {

std::string EntryValue(const char* name, int index)
{
    return Format("%s%03d", name, index);
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

void ReadAuctionList(AuctionList& list)
{
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
        ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", i), entry.Limit);
        entry.Limit = std::max<std::int32_t>(entry.Limit, 0);
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
        // Always written: a value left by an earlier entry at this place is not this one's.
        WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", i), std::max<std::int32_t>(entry.Limit, 0));
    }
    // A write that failed makes the commit store nothing.
    return batch.Commit();
}

bool StoreEntryLimit(int index, std::int32_t limit)
{
    if (index < 0 || index >= AuctionList::kCapacity)
        return false;
    RegistryBatch batch;
    return CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloListKey) == 0
           && WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloListKey, EntryValue("Limit", index),
                                  std::max<std::int32_t>(limit, 0)) == 0
           && batch.Commit();
}
