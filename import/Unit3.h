// The watch-list import window: fills the auction list from one of the
// user's My Auction lists, with the browser's login cookie.
#pragma once

#include <functional>
#include <string>

#include "import/MyAuctionImport.h"
#include "ui/Form.h"
#include "ui_Unit3.h"

class TNMHTTP;
class TransferStatus;
class WorkFile;
struct HttpAddress;

class TForm3 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    Ui::TForm3 ui;
    TNMHTTP* NMHTTP1 = nullptr;

    // Starts the analysis of the first imported entry: the main window's run,
    // once this window has closed and any analysis waiting for its page has ended.
    std::function<void()> FollowUpRun;

    // One import run, from the consent to the closing of the window.
    void BitBtn1Click();

    // Closing the window: during a run, the question of "中止".
    void reject() override;

signals:
    // The main window's caption for the chosen list, as soon as it is known.
    void ListChosen(const QString& caption);
    // The auction list was filled afresh (perhaps with nothing).
    void ListImported();

private:
    void ImportRun();
    MyAuctionList ChosenList() const;
    // The page at address into file; false, after the error box, when it failed.
    bool Fetch(const HttpAddress& address, WorkFile& file);
    void ShowImported();

    TransferStatus* status_ = nullptr;
    bool running_ = false;
    bool closeAfterRun_ = false;
};

extern TForm3* Form3;
