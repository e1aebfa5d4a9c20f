#include "base/SqliteDb.h"

#include <filesystem>
#include <sqlite3.h>

#include "base/PrivateFiles.h"

namespace {

void SetDamagedFileAside(const std::string& path)
{
    std::error_code ec;
    std::filesystem::rename(path, path + ".damaged", ec);
    if (ec)
        return;
    // Journal files of the old file must not be applied to the new one.
    std::filesystem::remove(path + "-wal", ec);
    std::filesystem::remove(path + "-shm", ec);
}

} // namespace

SqliteDb::~SqliteDb()
{
    Close();
}

bool SqliteDb::Open(const std::string& path, bool create, int busyMs)
{
    Close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        // A handle comes back even when the open fails and must be released.
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, busyMs);
    db_ = db;
    return true;
}

bool SqliteDb::OpenShared(const std::string& path, int busyMs)
{
    // SQLite would make the file 0644; its journals take the file's mode.
    CreatePrivateFile(path);
    if (!Open(path, true, busyMs))
        return false;
    if (IsDamaged()) {
        // A damaged store would refuse every write for good. Keep it beside
        // for the user and start afresh.
        Close();
        SetDamagedFileAside(path);
        CreatePrivateFile(path);
        if (!Open(path, true, busyMs))
            return false;
    }
    // Readers then never wait for a writer; the mode stays in the file.
    Exec("PRAGMA journal_mode=WAL");
    // With WAL a crash still never tears a commit; it spares a disk flush per write.
    Exec("PRAGMA synchronous=NORMAL");
    return true;
}

void SqliteDb::Close()
{
    if (db_) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

bool SqliteDb::Exec(const char* sql)
{
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteDb::IsDamaged() const
{
    SqliteStatement q(*this, "SELECT count(*) FROM sqlite_master");
    if (q.Ok() && q.Step() == SQLITE_ROW)
        return false;
    int code = sqlite3_errcode(db_) & 0xFF;
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

SqliteStatement::SqliteStatement(const SqliteDb& db, const char* sql)
{
    if (db.Handle() && sqlite3_prepare_v2(db.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt_);
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view bytes)
{
    // A zero-length BLOB still needs a non-null pointer, or it binds NULL.
    static const char empty = 0;
    if (stmt_ && sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &empty : bytes.data(), bytes.size(), SQLITE_TRANSIENT)
                     != SQLITE_OK)
        bindOk_ = false;
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value)
{
    if (stmt_ && sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        bindOk_ = false;
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, double value)
{
    if (stmt_ && sqlite3_bind_double(stmt_, index, value) != SQLITE_OK)
        bindOk_ = false;
    return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index)
{
    if (stmt_ && sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        bindOk_ = false;
    return *this;
}

SqliteStatement& SqliteStatement::BindText(int index, std::string_view utf8)
{
    if (stmt_ && sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        bindOk_ = false;
    return *this;
}

void SqliteStatement::Reset()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    bindOk_ = true;
}

int SqliteStatement::Step()
{
    if (!Ok())
        return SQLITE_ERROR;
    return sqlite3_step(stmt_);
}

std::string_view SqliteStatement::ColumnBytes(int column) const
{
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (!data || size <= 0)
        return {};
    return {static_cast<const char*>(data), static_cast<std::size_t>(size)};
}

std::int64_t SqliteStatement::ColumnInt64(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::ColumnDouble(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

bool SqliteStatement::ColumnIsNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

SqliteTransaction::SqliteTransaction(SqliteDb& db, Kind kind) : db_(db)
{
    active_ = db_.Exec(kind == Immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

SqliteTransaction::~SqliteTransaction()
{
    if (active_)
        db_.Exec("ROLLBACK");
}

bool SqliteTransaction::Commit()
{
    if (!active_)
        return false;
    if (db_.Exec("COMMIT")) {
        active_ = false;
        return true;
    }
    // A failed COMMIT may leave the transaction open (SQLITE_BUSY); end it.
    db_.Exec("ROLLBACK");
    active_ = false;
    return false;
}
