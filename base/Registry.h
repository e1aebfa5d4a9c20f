// The settings store: a model of the registry (roots, keys with paths, typed
// values) kept in one SQLite file shared by every running copy.
//
// Key paths and value names are case-insensitive. Every operation returns 0 on
// success and 1 on failure and never tells the user: a missing, read-only,
// locked or damaged store means the callers' defaults apply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

enum HKEY : std::uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
    HKEY_USERS = 0x80000003u,
};

// Value types.
enum : std::uint32_t { REG_SZ = 1, REG_DWORD = 4 };

// The program's keys under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kMireloKey = "Software\\Quillmere\\Mirelo";
inline constexpr std::string_view kMireloListKey = "Software\\Quillmere\\Mirelo\\List";

// Value names under kMireloKey (the list's own names are in AuctionList.cpp).
namespace regvalue {
inline constexpr const char* ListNum = "ListNum";
inline constexpr const char* Proxy = "Proxy";
inline constexpr const char* ProxyHost = "ProxyHost";
inline constexpr const char* ProxyPort = "ProxyPort";
inline constexpr const char* ShowImage = "ShowImage";
inline constexpr const char* TitleGo = "TitleGo";
inline constexpr const char* WatchGo = "WatchGo";
inline constexpr const char* Keiko = "Keiko";
inline constexpr const char* Cookie = "Cookie";
inline constexpr const char* UrlMyAuction = "UrlMyAuction";
} // namespace regvalue

// The longest text a read gives back: a 256-byte buffer with its terminating zero.
inline constexpr std::size_t kRegistryTextBytes = 255;

// Reads a value through a 256-byte buffer whatever its type; text up to the
// first zero byte. A value of more than 256 bytes fails. On failure text is
// set to the empty text.
int ReadRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName, std::string& text);

// Reads a 4-byte value into number; any other size counts as missing. On
// failure number keeps what the caller put there (the default).
int ReadRegistryNumber(HKEY root, std::string_view keyPath, std::string_view valueName, std::int32_t& number);

// Stores text (up to its first zero byte) as REG_SZ with its terminating zero.
// Fails when the key does not exist.
int WriteRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName, std::string_view text);

// Stores a 4-byte REG_DWORD. Fails when the key does not exist.
int WriteRegistryNumber(HKEY root, std::string_view keyPath, std::string_view valueName, std::int32_t number);

// Creates the key, and any missing key above it, or finds it existing.
int CreateRegistryKey(HKEY root, std::string_view keyPath);

// A switch as the runs and the main window read it: on only when the stored
// number under kMireloKey is exactly 1. (The settings windows tick their boxes
// for any non-zero value instead.)
bool ReadRegistrySwitch(std::string_view valueName, std::int32_t defaultValue);

// The watch board's limit prices in yen, by auction (AuctionLimitId), kept
// apart from the list so that no reordering of the list moves one.
std::map<std::string, std::int32_t> ReadAuctionLimits();
// Stores one auction's limit (0 or less: none). keepStored: a limit already
// stored for the auction wins (moving older values in).
int StoreAuctionLimit(std::string_view auction, std::int32_t limit, bool keepStored = false);

// Makes the operations of this thread, while it lives, one transaction on one
// connection. A write batch holds the store's write lock from the start, so
// keep it short and never show a window inside it; a read batch sees one
// consistent state and never creates the store. Operations inside a batch that
// could not start fail. A batch made inside another joins the outer one.
class RegistryBatch {
public:
    enum Mode { Write, Read };

    explicit RegistryBatch(Mode mode = Write);
    ~RegistryBatch(); // rolls back unless committed
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;

    // Stores everything written inside, or (when any of those writes failed,
    // or the commit does) nothing. True when stored.
    bool Commit();

    struct State;

private:
    std::unique_ptr<State> state_; // none for a batch joined to an outer one
};

// Makes sure kMireloKey exists and runs write (the settings windows' OK) in
// one write batch; write returns false to store nothing after all. False when
// nothing was stored.
template <typename Write> bool StoreSettings(Write&& write)
{
    RegistryBatch batch;
    return CreateRegistryKey(HKEY_LOCAL_MACHINE, kMireloKey) == 0 && write() && batch.Commit();
}

// Where the store lives: $XDG_CONFIG_HOME/quillmere/mirelo/registry.db, or
// ~/.config/... when that variable is unset. Read afresh at every open.
std::string RegistryPath();

// Takes from others every right to the settings folder and the files in it
// (settings, history, their journals and damaged copies, cookies.txt), as
// earlier versions made them readable to all. Contents are not touched.
void MakeSettingsPrivate();
