// The main window: banner, tool bar, item header, chart, bid table, status bar.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <ctime>
#include <optional>
#include <string_view>

#include "analysis/BidHistory.h"
#include "analysis/Prediction.h"

#include "ui_Unit1.h"

class QTimer;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The components, reachable by the other windows as Form1->ui.ComboBox1.
    Ui::TForm1 ui;
    QTimer* Timer1 = nullptr;
    class TNMHTTP* NMHTTP1 = nullptr;

    // Dropped files, in drop order: count to the status bar, each path to the box.
    void WMDropFiles(const QStringList& paths);

    // Refills ComboBox1's items with the auction list's titles, in order, and
    // shows the first title in the box when there is one.
    void ShowAuctionTitles();

    // The analysis run (analysis/RunAnalysis.cpp), started by "ミレロ", by a
    // title pick and at the end of an import.
    void RunAnalysis();
    // The import's follow-up: the run starts from the event loop, after the
    // active one if there is one.
    void QueueRunAnalysis();

    // The results (analysis/ResultsDisplay.cpp).
    void ResetResultLabels();
    void ShowField(HeaderField field, std::string_view value); // the parser's observer
    void ShowBids(const BidLog& log);
    // now: the clock the bids were read with, so that all times agree.
    void PredictWinningPrice(const AuctionRecord& record, const BidLog& log, std::time_t now = std::time(nullptr));
    void ShowPrediction(const std::optional<Prediction>& prediction); // chart points and forecast labels
    void ShowSummary(const AuctionRecord& record);

    // An analysis run is under way (the watch board waits for it).
    bool RunActive() const { return runActive_; }

    // From the close of the window on: a run still under way ends quietly.
    bool Closing() const { return closing_; }

signals:
    // A run is about to fetch: the watch board's read under way gives way.
    void RunStarting();
    // A run read the auction at address (Shift_JIS): the board's rows of it show the same.
    void RunRead(const std::string& address, const PageReading& reading);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void LoadAuctionList();
    void SaveAuctionList();
    void BitBtn5Click();
    void BitBtn8Click();
    void InternetI1Click();
    void Timer1Timer();

    // Each area of the window wires its own controls.
    void WireCommands(); // app/Unit1.cpp: show, close, clear, open, clock, menu
    void WireResults();  // analysis/ResultsDisplay.cpp: table, chart, toggles, print
    void WireAnalysis(); // analysis/RunAnalysis.cpp: "ミレロ", "中止", title pick
    void WireTransfer(); // net/TransferStatus.cpp: NMHTTP1 and its status texts

    bool shown_ = false;
    bool runActive_ = false; // analysis/RunAnalysis.cpp
    bool runQueued_ = false;
    bool closing_ = false;
};

extern TForm1* Form1;
