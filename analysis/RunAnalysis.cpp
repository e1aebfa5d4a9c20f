// The analysis run: from the entry box to the bids, the chart and the forecast.
#include <QComboBox>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>
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
void AcquireRunLock(TForm1& form)
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        std::error_code error;
        if (std::filesystem::create_directory(kLockDirectory, error))
            break;
        std::this_thread::sleep_for(kLockPause);
    }
    form.ui.BitBtn1->setEnabled(false);
    form.ui.BitBtn6->setEnabled(true);
    form.ui.Image3->setVisible(false);
    form.ui.Image4->setVisible(true);
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

void TForm1::RunAnalysis()
{
    gBidLog.Clear();
    RunLock lock(*this);

    const AuctionTarget target = ReadAuctionTarget(SjisStr(ui.ComboBox1->currentText()));
    if (target.problem == AuctionTarget::Empty)
        return;
    if (target.problem != AuctionTarget::None) {
        ShowMessage(AuctionTargetMessage(target));
        return;
    }

    try {
        PrepareGet(*NMHTTP1, target.page, kPageFile);
        NMHTTP1->Get(target.requestPath);
    } catch (...) {
        ShowAborted();
        return;
    }

    ClearPicture(ui.Image5);
    if (!target.imageAddress.empty() && ReadRegistrySwitch(regvalue::ShowImage, 1)) {
        try {
            // A reply without a body leaves no file rather than the last picture.
            std::remove(kPictureFile);
            PrepareGet(*NMHTTP1, target.page, kPictureFile);
            NMHTTP1->Get(target.imageAddress);
            LoadJpegPicture(ui.Image5, kPictureFile);
        } catch (...) {
            ShowAborted();
            return;
        }
    }

    gAuctionRecord.Clear();
    ResetResultLabels();
    const std::time_t now = std::time(nullptr);
    ParseBidHistory(kPageFile, now, [this](HeaderField field, std::string_view value) { ShowField(field, value); });
    ShowBids(gBidLog);
    PredictWinningPrice(gAuctionRecord, gBidLog, now);
    ShowSummary(gAuctionRecord);
    // Silent when the history cannot be written: the results above stand.
    RecordAnalysisRun(gAuctionRecord, gBidLog, target.input, now);
    ui.BitBtn5->setEnabled(true);
    ui.BitBtn7->setEnabled(true);
    ui.Chart1->Repaint();
}
