// The watch board: every auction of the saved list, read again on its own as
// its end nears, with alerts. The rules live in Board; this window shows
// them and drives the reads from the event loop.
#pragma once

#include <QThread>
#include <QTimer>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "board/Board.h"
#include "board/BoardReader.h"
#include "board/Notifier.h"
#include "ui/Form.h"
#include "ui_Kanshi12.h"

class BoardModel;
class QSortFilterProxyModel;

// What the board needs of the main window, and no more: whether its run is
// under way (the board then starts nothing), and a run of one auction there.
struct RunHost {
    std::function<bool()> runActive;
    std::function<void(const std::string& url)> run;
};

class TForm12 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm12(QWidget* parent = nullptr);
    ~TForm12() override;

    Ui::TForm12 ui;

    void SetRunHost(RunHost host) { host_ = std::move(host); }

    // The rows follow the saved list (after a load or an import).
    void ListChanged();
    // The main window's run read the auction at address: its rows show the same.
    void MainRunRead(const PageReading& page, const std::string& address);
    // The main window's run is starting: a read under way gives way to it.
    void RunStarting();
    // The program ends: no read is left waiting.
    void Stop();

    // For the tests and benchmarks: the board and the clock it runs on.
    Board& Rules() { return board_; }
    BoardModel& Model() { return *model_; }
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    void SetNotifier(std::unique_ptr<Notifier> notifier);
    void SetWorkFile(const std::string& path) { reader_ = std::make_unique<BoardReader>(path); }
    // Starts the next due read if the board may: the schedule's own pump.
    void Pump();
    // The service's time: the local clock with the offset its replies told.
    std::int64_t Now() const { return board_.ServiceTime(clock_()); }
    // Whether rows are read, counted down and alerted now.
    bool Watching() const { return tick_.isActive(); }

protected:
    void FormShow() override;
    void FitTitle();
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Refreshing() const;
    bool CanRun() const;
    void UpdateWatching();
    void SchedulePump();
    void Digested(const BoardReading& reading, std::int64_t replyEnd);
    void AfterRead();
    void UpdateStatus();
    void Tick();
    void ReadSettings();
    void StoreSettingsFromControls();
    void SetLimit(int row, std::optional<std::int64_t> limit);
    void OpenInRun(int row);
    void OpenInBrowser(int row);
    int SourceRow(const QModelIndex& index) const;
    void ShowStatus(const QString& text);
    void ContextMenu(const QPoint& at);

    RunHost host_;
    Board board_;
    std::unique_ptr<BoardReader> reader_;
    // The page's reading, record and market search run there, with a history connection of their own.
    QThread worker_;
    QObject* workerContext_ = nullptr;
    std::unique_ptr<BoardDigest> digest_;
    bool fetching_ = false;
    std::unique_ptr<Notifier> notifier_;
    BoardModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTimer tick_;
    QTimer pump_;
    std::function<std::time_t()> clock_ = [] { return std::time(nullptr); };
    bool stopped_ = false;
    bool notifierMissing_ = false;
    bool toldClosed_ = false;
    bool fitted_ = false; // the title fitted to the first window
    QString lastAlert_;
    std::deque<QString> unseen_; // alerts the status line shows, the oldest first, until clicked
    QString reading_;            // the title read now
    QString note_;
};

extern TForm12* Form12;
