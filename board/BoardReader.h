// One read of a board row's auction: fetched with the main window's client,
// proxy and private downloads, read and forecast as a run reads it, and
// recorded in the history as a run records it. The fetch needs the client;
// the rest (BoardDigest) needs only the page and may run on another thread.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

#include "board/Board.h"

class History;
class TNMHTTP;
class WorkFile;

// Reads a fetched page and records it, with a history connection of its own:
// one object per thread.
class BoardDigest {
public:
    // A history held by another copy is not waited for: the row says so and
    // is read again later.
    static constexpr int kHistoryBusyMs = 200;

    BoardDigest();
    ~BoardDigest();

    // Never throws. address: the entry's, as a run records it.
    BoardReading Digest(const std::string& pagePath, const std::string& address, std::int64_t now, int keiko, bool store);
    // A page fetched unpublished: it takes the work file's place first.
    BoardReading Digest(WorkFile& page, const std::string& address, std::int64_t now, int keiko, bool store);

private:
    bool HistoryUsable(bool store);

    std::unique_ptr<History> history_;
    bool writable_ = false;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// A fetched page, or why there is none.
struct BoardFetch {
    std::optional<BoardReading> failed;
    std::unique_ptr<WorkFile> page; // read it before this goes
    std::string address;
    // The service's time of the reply (its Date), when given and plausible.
    std::optional<std::int64_t> serviceTime;

    BoardFetch();
    BoardFetch(BoardFetch&&) noexcept;
    BoardFetch& operator=(BoardFetch&&) noexcept;
    ~BoardFetch();
};

class BoardReader {
public:
    // Each step of a request waits at most this long: a server that hangs
    // costs one time-out, not the board.
    static constexpr int kTimeOutMs = 30000;
    static constexpr int kHistoryBusyMs = BoardDigest::kHistoryBusyMs;

    // workFile: the published copy of the last download (WorkFile).
    explicit BoardReader(std::string workFile);
    ~BoardReader();

    // The request alone. Never throws; a failure is in failed. Unpublished,
    // the page is left to take the work file's place where it is read: a
    // rename waits on the disk, which a history being written keeps busy.
    BoardFetch Fetch(const std::string& url, std::time_t now, bool publish = true);

    // Fetch and BoardDigest in one. record: into the history (the window
    // always; mirelo-forecast --board with --record).
    BoardReading Read(const std::string& url, std::time_t now, int keiko, bool store);
    // The service's time of Read's last reply, when it gave one.
    std::optional<std::int64_t> ServiceTime() const { return serviceTime_; }

    // Ends a read under way from the event loop (the main window's run
    // comes first); Read then returns with interrupted set.
    void Cancel();
    bool Interrupted() const { return interrupted_; }

    TNMHTTP& Http() { return *http_; }

private:
    std::string workFile_;
    std::unique_ptr<TNMHTTP> http_;
    BoardDigest digest_;
    bool cancelled_ = false;
    bool interrupted_ = false;
    std::optional<std::int64_t> serviceTime_;
};

// The time a reply's Date header gives, when it can be read and lies
// within a day of now: a service's clock, not a stray value.
std::optional<std::int64_t> ServiceTimeOf(const std::string& date, std::int64_t now);
