// The history window: the market price of the current auction, every
// recorded auction and how well the user's forecasts did.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "analysis/BidHistory.h"
#include "ui/Form.h"

class MarketChart;
#include "ui_Rireki11.h"

class TForm11 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm11(QWidget* parent = nullptr);
    ~TForm11() override;

    Ui::TForm11 ui;
    MarketChart* Chart() const { return chart_; }

    // Reads the history afresh into every control.
    void ShowHistory();

protected:
    void FormShow() override;
    // Remembered in the settings store when the window closes.
    std::optional<QRect> LastFrame() override;
    void hideEvent(QHideEvent* event) override;

private:
    // After each analysis run: the run's auction becomes the current one.
    void AnalysisRecorded(const AuctionRecord& record, const BidLog& log, std::time_t now);
    void BitBtn1Click();
    // Every recorded auction into a CSV file the user names.
    void SaveCsv();
    void StringGrid1DblClick(int row);
    void StringGrid2DblClick(int row);
    void StoreFrame();
    // "相場から外す" and "相場に戻す": the selected comparable leaves the
    // current auction's market or comes back to it.
    void SetSelectedExcluded(bool excluded);
    void UpdateExclusionButtons();

    struct Current {
        AuctionRecord record;
        BidLog log;
        std::time_t now = 0;
    };
    std::optional<Current> current_;
    MarketChart* chart_ = nullptr;
    // The page addresses behind the rows of the two auction grids.
    std::vector<std::string> similarAddresses_;
    std::vector<std::string> recordedAddresses_;
    // The sales behind the rows of the similar grid: whether the user
    // excluded each, and whether it may be taken out or brought back (a sale
    // of another kind or model may not).
    struct SimilarRow {
        std::string auctionId;
        bool excluded = false;
        bool comparable = true;
    };
    std::vector<SimilarRow> similarRows_;
};

extern TForm11* Form11;
