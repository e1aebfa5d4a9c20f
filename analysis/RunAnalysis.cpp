// The analysis run: from the entry box to the bids, the chart and the forecast.
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>
#include <unistd.h>

#include "analysis/AuctionTarget.h"
#include "app/Registry.h"
#include "app/RequestSetup.h"
#include "app/Text.h"
#include "app/Unit1.h"
#include "history/History.h"
#include "net/NMHTTP.h"
#include "ui/Dialogs.h"
#include "ui/JpegPicture.h"
#include "ui/Sjis.h"

namespace {

// Seen by every copy of the program started in the same directory.
constexpr const char* kLockDirectory = ".lock";
constexpr int kLockAttempts = 11;
constexpr std::chrono::milliseconds kLockPause{100};

constexpr const char* kPageFile = "./http.txt";
constexpr const char* kPictureFile = "./img.jpg";

// Advisory only: a copy that cannot take the lock in about a second goes on
// regardless, so a directory left behind by a killed copy only slows runs down.
// The window stays alive while it waits, so it shows the run as started
// first: a second click must not start a second run. "中止" waits for the
// transfer it cancels.
void AcquireRunLock(TForm1& form)
{
    form.ui.BitBtn1->setEnabled(false);
    form.ui.Image3->setVisible(false);
    form.ui.Image4->setVisible(true);
    for (int attempt = 0; attempt < kLockAttempts && !form.Closing(); ++attempt) {
        std::error_code error;
        if (std::filesystem::create_directory(kLockDirectory, error))
            break;
        QEventLoop pause;
        QTimer::singleShot(kLockPause, &pause, &QEventLoop::quit);
        pause.exec();
    }
    form.ui.BitBtn6->setEnabled(true);
}

void ReleaseRunLock(TForm1& form)
{
    // rmdir: a file of that name is someone else's.
    ::rmdir(kLockDirectory);
    form.ui.BitBtn1->setEnabled(true);
    form.ui.BitBtn6->setEnabled(false);
    form.ui.Image3->setVisible(true);
    form.ui.Image4->setVisible(false);
}

// Every way out of a run, early or late, releases the lock.
class RunLock {
public:
    explicit RunLock(TForm1& form) : form_(form) { AcquireRunLock(form_); }
    ~RunLock() { ReleaseRunLock(form_); }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

private:
    TForm1& form_;
};

// Marks the window's run active; a run queued meanwhile starts once this
// one has ended.
class ActiveRun {
public:
    ActiveRun(TForm1& form, bool& active, bool& queued) : form_(form), active_(active), queued_(queued)
    {
        active_ = true;
    }
    ~ActiveRun()
    {
        active_ = false;
        if (std::exchange(queued_, false))
            form_.QueueRunAnalysis();
    }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;

private:
    TForm1& form_;
    bool& active_;
    bool& queued_;
};

void ShowAborted()
{
    ShowMessage(SJ("処理を中断しました。"));
}

// A pick in the drop-down runs at once when the user wants that and no run is active.
void ComboBox1Select(TForm1& form)
{
    if (ReadRegistrySwitch(regvalue::TitleGo, 1) && form.ui.BitBtn1->isEnabled())
        form.RunAnalysis();
}

} // namespace

void TForm1::WireAnalysis()
{
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm1::RunAnalysis);
    // activated: a pick by mouse or keys, not the list being loaded.
    connect(ui.ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Select(*this); });
}

// From the event loop: the import window that asked has closed by then, so
// "中止" can be reached, and a run that is active has ended.
void TForm1::QueueRunAnalysis()
{
    if (std::exchange(runQueued_, true) || runActive_)
        return;
    QTimer::singleShot(0, this, [this] {
        if (!runActive_ && std::exchange(runQueued_, false))
            RunAnalysis();
    });
}

void TForm1::RunAnalysis()
{
    // Events are handled while a run waits; a run started from one of them
    // would drive the same component inside the first and spoil both.
    if (runActive_)
        return;
    const ActiveRun active(*this, runActive_, runQueued_);
    // The board's read under way gives way: the run never waits for the board.
    emit RunStarting();
    gBidLog.Clear();
    RunLock lock(*this);
    if (closing_) // while waiting for the lock
        return;

    const AuctionTarget target = ReadAuctionTarget(SjisStr(ui.ComboBox1->currentText()));
    if (target.problem == AuctionTarget::Empty)
        return;
    if (target.problem != AuctionTarget::None) {
        ShowMessage(AuctionTargetMessage(target));
        return;
    }

    WorkFile page(kPageFile);
    try {
        page.Fetch(*NMHTTP1, target.page, target.requestPath);
    } catch (...) {
        if (!closing_)
            ShowAborted();
        return;
    }

    ClearPicture(ui.Image5);
    if (!target.imageAddress.empty() && ReadRegistrySwitch(regvalue::ShowImage, 1)) {
        try {
            WorkFile picture(kPictureFile);
            picture.Fetch(*NMHTTP1, target.page, target.imageAddress);
            LoadJpegPicture(ui.Image5, picture.Path());
        } catch (...) {
            if (!closing_)
                ShowAborted();
            return;
        }
    }

    gAuctionRecord.Clear();
    ResetResultLabels();
    const PageReading reading =
        ReadBidHistoryPage(page.Path(), std::time(nullptr), StoredTendency(), gAuctionRecord, gBidLog,
                           [this](HeaderField field, std::string_view value) { ShowField(field, value); });
    ShowBids(gBidLog);
    ShowPrediction(reading.prediction);
    ShowSummary(gAuctionRecord);
    // Silent when the history cannot be written: the results above stand.
    RecordAnalysisRun(reading, gAuctionRecord, gBidLog, target.input);
    emit RunRead(target.input, reading);
    ui.BitBtn5->setEnabled(true);
    ui.BitBtn7->setEnabled(true);
    ui.Chart1->Repaint();
}
