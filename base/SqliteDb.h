// A small owning layer over libsqlite3: connection, prepared statement and a
// transaction that rolls back unless committed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens path (as a URI when it starts with "file:"); create makes a missing
    // file, not its folder. Locks held by other connections are waited for up
    // to busyMs before a statement gives up.
    bool Open(const std::string& path, bool create, int busyMs);
    void Close();

    // Opens a store that copies of the program share, making the file (not
    // its folder): a damaged file is moved to "<path>.damaged" for the user
    // and a new one started; the file is put in WAL mode. A file it makes is
    // its owner's only (0600), and so are its journals.
    bool OpenShared(const std::string& path, int busyMs);

    // Runs statements that return no rows; false on the first error.
    bool Exec(const char* sql);

    // True when the file is not a database or its schema cannot be read.
    bool IsDamaged() const;


    sqlite3* Handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool Ok() const { return stmt_ != nullptr && bindOk_; }

    // Bytes are bound as BLOBs: the texts are Shift_JIS, not the UTF-8 SQLite expects.
    SqliteStatement& Bind(int index, std::string_view bytes);
    SqliteStatement& Bind(int index, std::int64_t value);
    SqliteStatement& Bind(int index, double value);
    SqliteStatement& BindNull(int index);
    // Valid UTF-8 for what reads text (full-text search).
    SqliteStatement& BindText(int index, std::string_view utf8);

    // Makes the statement ready to run again with new bindings.
    void Reset();

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();

    std::string_view ColumnBytes(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    bool ColumnIsNull(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool bindOk_ = true;
};

class SqliteTransaction {
public:
    // Immediate takes the write lock at once: a deferred transaction that
    // later writes fails with SQLITE_BUSY at once, whatever the time-out.
    enum Kind { Deferred, Immediate };

    SqliteTransaction(SqliteDb& db, Kind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool Active() const { return active_; }

    // False when the commit failed; the transaction is rolled back then.
    bool Commit();

private:
    SqliteDb& db_;
    bool active_ = false;
};
