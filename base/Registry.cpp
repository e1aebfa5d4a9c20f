#include "base/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

#include "base/PrivateFiles.h"
#include "base/SqliteDb.h"
#include "base/Text.h"

namespace {

// Another copy may hold the write lock for a moment (its list save at close).
constexpr int kBusyMs = 5000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    " root INTEGER NOT NULL, fold BLOB NOT NULL, path BLOB NOT NULL,"
    " PRIMARY KEY(root, fold)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS reg_values("
    " root INTEGER NOT NULL, key BLOB NOT NULL, fold BLOB NOT NULL, name BLOB NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(root, key, fold)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS board_limits("
    " auction BLOB PRIMARY KEY NOT NULL, price INTEGER NOT NULL) WITHOUT ROWID;";

// Upper-cases ASCII letters, but not the second byte of a two-byte Shift_JIS
// character, which may fall in the letter range.
std::string Fold(std::string_view name)
{
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsSjisLead(c))
            ++i;
        else if (c >= 'a' && c <= 'z')
            out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The path and each key above it ("A", "A\B", "A\B\C"), or nothing for a path
// with an empty part. A backslash that is the second byte of a two-byte
// character does not separate.
std::vector<std::string_view> KeyChain(std::string_view path)
{
    std::vector<std::string_view> chain;
    std::size_t partStart = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (i == partStart)
                return {};
            chain.push_back(path.substr(0, i));
            partStart = i + 1;
        } else if (IsSjisLead(static_cast<unsigned char>(path[i]))) {
            ++i;
        }
    }
    return chain;
}

// The path as a URI file name: '%', '?' and '#' would end or change it.
std::string FileUri(const std::string& path)
{
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#')
            uri += Format("%%%02X", static_cast<unsigned char>(c));
        else
            uri += c;
    }
    return uri;
}

// Whether we may change the store: its folder, and the file when it exists.
bool MayWrite(const std::string& path)
{
    std::string dir = std::filesystem::path(path).parent_path().string();
    return access(dir.c_str(), W_OK) == 0 && (access(path.c_str(), F_OK) != 0 || access(path.c_str(), W_OK) == 0);
}

bool OpenStore(SqliteDb& db, bool write)
{
    std::string path = RegistryPath();
    if (path.empty())
        return false;
    if (!write) {
        // A store we may not change is read as the file is: reading a WAL
        // file otherwise needs a shared-memory file beside it, which we may
        // not be able to make, and one made in a read-only state would keep
        // writers out later.
        if (!MayWrite(path))
            return db.Open(FileUri(path) + "?immutable=1", false, kBusyMs);
        return db.Open(path, false, kBusyMs);
    }
    CreatePrivateFolders(std::filesystem::path(path).parent_path());
    return MayWrite(path) && db.OpenShared(path, kBusyMs);
}

bool KeyExists(const SqliteDb& db, HKEY root, std::string_view fold)
{
    SqliteStatement q(db, "SELECT 1 FROM reg_keys WHERE root = ?1 AND fold = ?2");
    q.Bind(1, std::int64_t{root}).Bind(2, fold);
    return q.Step() == SQLITE_ROW;
}

// The stored bytes of a value, or nothing.
std::optional<std::string> ReadValue(const SqliteDb& db, HKEY root, std::string_view keyPath, std::string_view name)
{
    SqliteStatement q(db, "SELECT data FROM reg_values WHERE root = ?1 AND key = ?2 AND fold = ?3");
    q.Bind(1, std::int64_t{root}).Bind(2, Fold(keyPath)).Bind(3, Fold(name));
    if (q.Step() != SQLITE_ROW)
        return std::nullopt;
    return std::string(q.ColumnBytes(0));
}

bool WriteValue(const SqliteDb& db, HKEY root, std::string_view keyPath, std::string_view name, std::uint32_t type,
                std::string_view data)
{
    std::string key = Fold(keyPath);
    // Only valid paths were ever made keys.
    if (!KeyExists(db, root, key))
        return false;
    SqliteStatement q(db, "INSERT INTO reg_values(root, key, fold, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5, ?6)"
                          " ON CONFLICT(root, key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    q.Bind(1, std::int64_t{root}).Bind(2, key).Bind(3, Fold(name)).Bind(4, name).Bind(5, std::int64_t{type}).Bind(6, data);
    return q.Step() == SQLITE_DONE;
}

bool CreateKey(const SqliteDb& db, HKEY root, std::string_view keyPath)
{
    std::vector<std::string_view> chain = KeyChain(keyPath);
    if (chain.empty())
        return false;
    for (std::string_view key : chain) {
        SqliteStatement q(db, "INSERT OR IGNORE INTO reg_keys(root, fold, path) VALUES(?1, ?2, ?3)");
        q.Bind(1, std::int64_t{root}).Bind(2, Fold(key)).Bind(3, key);
        if (q.Step() != SQLITE_DONE)
            return false;
    }
    return true;
}

} // namespace

struct RegistryBatch::State {
    SqliteDb db;                           // declared first: closed after the transaction ends
    std::optional<SqliteTransaction> tx;
    bool write = false;
    bool ok = false; // started, and no write inside has failed
};

namespace {

thread_local RegistryBatch::State* tBatch = nullptr;

// Runs body on the thread's batch, or alone on a connection of its own (a
// write then in a transaction of its own).
template <typename Body> int Run(bool write, Body&& body)
{
    if (RegistryBatch::State* batch = tBatch) {
        if (!batch->ok || (write && !batch->write))
            return 1;
        if (body(batch->db))
            return 0;
        if (write)
            batch->ok = false; // all or nothing
        return 1;
    }
    SqliteDb db;
    if (!OpenStore(db, write))
        return 1;
    if (!write)
        return body(db) ? 0 : 1;
    SqliteTransaction tx(db, SqliteTransaction::Immediate);
    return tx.Active() && db.Exec(kSchema) && body(db) && tx.Commit() ? 0 : 1;
}

} // namespace

RegistryBatch::RegistryBatch(Mode mode)
{
    if (tBatch)
        return;
    state_ = std::make_unique<State>();
    state_->write = mode == Write;
    if (OpenStore(state_->db, state_->write)) {
        state_->tx.emplace(state_->db, state_->write ? SqliteTransaction::Immediate : SqliteTransaction::Deferred);
        state_->ok = state_->tx->Active() && (!state_->write || state_->db.Exec(kSchema));
    }
    tBatch = state_.get();
}

RegistryBatch::~RegistryBatch()
{
    if (state_ && tBatch == state_.get())
        tBatch = nullptr;
}

bool RegistryBatch::Commit()
{
    if (!state_)
        return tBatch && tBatch->ok;
    bool stored = state_->ok && state_->tx && state_->tx->Commit();
    // Later operations of this scope go to connections of their own.
    state_->ok = false;
    state_->tx.reset();
    state_->db.Close();
    if (tBatch == state_.get())
        tBatch = nullptr;
    return stored;
}

int ReadRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName, std::string& text)
{
    std::string result;
    int rc = Run(false, [&](const SqliteDb& db) {
        std::optional<std::string> data = ReadValue(db, root, keyPath, valueName);
        if (!data || data->size() > kRegistryTextBytes + 1)
            return false;
        result = FitSjis(data->substr(0, data->find('\0')), kRegistryTextBytes);
        return true;
    });
    text = rc == 0 ? std::move(result) : std::string();
    return rc;
}

int ReadRegistryNumber(HKEY root, std::string_view keyPath, std::string_view valueName, std::int32_t& number)
{
    return Run(false, [&](const SqliteDb& db) {
        std::optional<std::string> data = ReadValue(db, root, keyPath, valueName);
        if (!data || data->size() != 4)
            return false;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>((*data)[static_cast<std::size_t>(i)]);
        number = static_cast<std::int32_t>(v);
        return true;
    });
}

int WriteRegistryText(HKEY root, std::string_view keyPath, std::string_view valueName, std::string_view text)
{
    std::string data(text.substr(0, text.find('\0')));
    data.push_back('\0');
    return Run(true, [&](const SqliteDb& db) { return WriteValue(db, root, keyPath, valueName, REG_SZ, data); });
}

int WriteRegistryNumber(HKEY root, std::string_view keyPath, std::string_view valueName, std::int32_t number)
{
    std::uint32_t v = static_cast<std::uint32_t>(number);
    std::string data(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return Run(true, [&](const SqliteDb& db) { return WriteValue(db, root, keyPath, valueName, REG_DWORD, data); });
}

int CreateRegistryKey(HKEY root, std::string_view keyPath)
{
    return Run(true, [&](const SqliteDb& db) { return CreateKey(db, root, keyPath); });
}

bool ReadRegistrySwitch(std::string_view valueName, std::int32_t defaultValue)
{
    std::int32_t value = defaultValue;
    ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, valueName, value);
    return value == 1;
}

std::map<std::string, std::int32_t> ReadAuctionLimits()
{
    std::map<std::string, std::int32_t> limits;
    // A store written before limits had a table of their own has none: no limits.
    Run(false, [&](const SqliteDb& db) {
        SqliteStatement q(db, "SELECT auction, price FROM board_limits WHERE price > 0");
        while (q.Step() == SQLITE_ROW)
            limits.emplace(std::string(q.ColumnBytes(0)), static_cast<std::int32_t>(q.ColumnInt64(1)));
        return true;
    });
    return limits;
}

int StoreAuctionLimit(std::string_view auction, std::int32_t limit, bool keepStored)
{
    if (auction.empty())
        return 1;
    return Run(true, [&](const SqliteDb& db) {
        if (limit <= 0) {
            SqliteStatement q(db, "DELETE FROM board_limits WHERE auction = ?1");
            q.Bind(1, auction);
            return q.Step() == SQLITE_DONE;
        }
        SqliteStatement q(db, keepStored ? "INSERT OR IGNORE INTO board_limits(auction, price) VALUES(?1, ?2)"
                                         : "INSERT OR REPLACE INTO board_limits(auction, price) VALUES(?1, ?2)");
        q.Bind(1, auction).Bind(2, std::int64_t{limit});
        return q.Step() == SQLITE_DONE;
    });
}

void MakeSettingsPrivate()
{
    const std::string path = RegistryPath();
    if (!path.empty())
        TightenPrivateFolder(std::filesystem::path(path).parent_path());
}

std::string RegistryPath()
{
    // Relative directories are ignored, as the base-directory rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = std::string(home) + "/.config";
    }
    return base + "/quillmere/mirelo/registry.db";
}
