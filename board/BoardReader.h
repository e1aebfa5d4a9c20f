// One read of a board row's auction: fetched with the main window's client,
// proxy and private downloads, read and forecast as a run reads it, and
// recorded in the history as a run records it.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "board/Board.h"

class History;
class TNMHTTP;

class BoardReader {
public:
    // Each step of a request waits at most this long: a server that hangs
    // costs one time-out, not the board.
    static constexpr int kTimeOutMs = 30000;
    // A history held by another copy is not waited for: the row says so and
    // is read again later.
    static constexpr int kHistoryBusyMs = 200;

    // workFile: the published copy of the last download (WorkFile).
    explicit BoardReader(std::string workFile);
    ~BoardReader();

    // Never throws; a failure is the reading's error. record: into the
    // history (the window always; mirelo-forecast --board with --record).
    BoardReading Read(const std::string& url, std::time_t now, int keiko, bool store);

    // Ends a read under way from the event loop (the main window's run
    // comes first); Read then returns with interrupted set.
    void Cancel();
    bool Interrupted() const { return interrupted_; }

    TNMHTTP& Http() { return *http_; }

private:
    std::string workFile_;
    std::unique_ptr<TNMHTTP> http_;
    std::unique_ptr<History> history_;
    bool historyWritable_ = false;
    std::string historyPath_;
    bool cancelled_ = false;
    bool interrupted_ = false;
};
