#include "history/Rireki11.h"

#include <QDateTime>
#include <QHeaderView>
#include <QHideEvent>
#include <QLocale>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "analysis/Prediction.h"
#include "base/Registry.h"
#include "base/Text.h"
#include "history/History.h"
#include "history/MarketChart.h"
#include "ui/Browser.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/Sjis.h"

TForm11* Form11 = nullptr;

namespace {

// Where the window was last left: its frame's left, top, width and height.
constexpr const char* kFrameValues[] = {"HistoryLeft", "HistoryTop", "HistoryWidth", "HistoryHeight"};

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

void SetCell(StringGrid* grid, int col, int row, const QString& text)
{
    grid->SetCell(col, row, SjisStr(text));
}

QString Yen(std::int64_t value)
{
    return GroupedNumber(value, QLocale()) + U("円");
}

QString DateText(std::int64_t time)
{
    return QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString Percent(double fraction)
{
    return QString::number(fraction * 100, 'f', 1) + QLatin1Char('%');
}

// Header row and column widths.
void SetUpGrid(StringGrid* grid, const std::vector<const char*>& captions, std::initializer_list<int> widths)
{
    grid->SetColCount(static_cast<int>(captions.size()));
    grid->SetFixedCols(0);
    grid->SetRowCount(2);
    grid->SetFixedRows(1);
    grid->SetDefaultRowHeight(18);
    grid->SetColWidths(widths);
    for (int col = 0; col < grid->ColCount(); ++col)
        SetCell(grid, col, 0, U(captions[col]));
}

// Rows below the header for count entries (one empty row when there are none).
void SetBodyRows(StringGrid* grid, std::size_t count)
{
    grid->SetRowCount(1 + std::max<int>(1, static_cast<int>(count)));
    grid->SetFixedRows(1);
    for (int col = 0; col < grid->ColCount(); ++col)
        SetCell(grid, col, 1, QString());
}

// Why a sale of the model is not in the market, as the 扱い column says it.
QString NotTakenText(NotTakenReason reason)
{
    switch (reason) {
    case NotTakenReason::Accessory: return U("対象外：付属品・部品");
    case NotTakenReason::Junk: return U("対象外：ジャンク");
    case NotTakenReason::Item: return U("対象外：本体");
    case NotTakenReason::Variant: return U("対象外：別の型（Pro・Ⅱ など）");
    case NotTakenReason::Capacity: return U("対象外：容量違い");
    case NotTakenReason::Size: return U("対象外：サイズ違い");
    case NotTakenReason::Model: return U("対象外：別の型番");
    case NotTakenReason::Maker: return U("対象外：別のメーカー・品物");
    case NotTakenReason::Dissimilar: return U("対象外：似ていない");
    case NotTakenReason::Outlier: return U("外れ値");
    case NotTakenReason::Excluded: return U("相場から外した");
    }
    return QString();
}

// The watch board's limit for the auction, kept under its auction ID.
std::optional<std::int64_t> LimitOf(const std::string& auctionId)
{
    if (auctionId.empty())
        return std::nullopt;
    const std::map<std::string, std::int32_t> limits = ReadAuctionLimits();
    if (const auto it = limits.find(auctionId); it != limits.end() && it->second > 0)
        return it->second;
    return std::nullopt;
}

QString AccuracyText(const AccuracyCell& cell)
{
    if (cell.count == 0)
        return U("－");
    return U("%1／%2（%3件）").arg(Percent(cell.mean), Percent(cell.median)).arg(cell.count);
}

} // namespace

TForm11::TForm11(QWidget* parent) : TFormBase(parent, FormPosition::BesideMainForm)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    // Frame included, and no taller than a small screen.
    SetOuterSize(this, QSize(840, 640));

    SetUpGrid(ui.StringGrid1, {"商品名", "落札価格", "終了日時", "類似度", "扱い"}, {330, 90, 120, 60, 150});
    SetUpGrid(ui.StringGrid2, {"商品名", "終了日時", "状態", "価格", "最終予測", "誤差", "相場加味予測", "誤差"},
              {260, 120, 50, 90, 90, 60, 90, 60});
    ui.StringGrid1->SetTitleColumn(0);
    ui.StringGrid2->SetTitleColumn(0);
    SetUpGrid(ui.StringGrid3, {"予測傾向", "経過 0〜25%", "25〜50%", "50〜75%", "75〜100%"}, {150, 150, 150, 150, 150});
    ui.StringGrid3->SetRowCount(5);
    ui.StringGrid3->SetFixedCols(1);
    ui.StringGrid3->setSelectionMode(QAbstractItemView::NoSelection);
    ui.StringGrid3->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    const char* kinds[] = {"控えめ（安め）", "無難（ふつう）", "辛め（高め）", "相場を加味"};
    for (int row = 1; row <= 4; ++row)
        SetCell(ui.StringGrid3, 0, row, U(kinds[row - 1]));

    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm11::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.BitBtn5, &QPushButton::clicked, this, &TForm11::SaveCsv);
    chart_ = new MarketChart(ui.TabSheet2);
    ui.TabSheet2Layout->addWidget(chart_);
    connect(ui.BitBtn6, &QPushButton::clicked, chart_, &MarketChart::SaveWithDialog);
    connect(ui.BitBtn3, &QPushButton::clicked, this, [this] { SetSelectedExcluded(true); });
    connect(ui.BitBtn4, &QPushButton::clicked, this, [this] { SetSelectedExcluded(false); });
    connect(ui.StringGrid1, &QTableWidget::currentCellChanged, this, [this] { UpdateExclusionButtons(); });
    connect(ui.StringGrid1, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { StringGrid1DblClick(row); });
    connect(ui.StringGrid2, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { StringGrid2DblClick(row); });

    SetAnalysisRunListener(
        [this](const AuctionRecord& record, const BidLog& log, std::time_t now) { AnalysisRecorded(record, log, now); });
}

TForm11::~TForm11()
{
    SetAnalysisRunListener({});
    // Still open as the program ends.
    if (isVisible())
        StoreFrame();
}

std::optional<QRect> TForm11::LastFrame()
{
    std::int32_t frame[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, kFrameValues[i], frame[i]) != 0)
            return std::nullopt;
    }
    if (frame[2] <= 0 || frame[3] <= 0)
        return std::nullopt;
    return QRect(frame[0], frame[1], frame[2], frame[3]);
}

void TForm11::StoreFrame()
{
    const QRect frame = frameGeometry();
    const std::int32_t values[] = {frame.x(), frame.y(), frame.width(), frame.height()};
    StoreSettings([&] {
        for (int i = 0; i < 4; ++i) {
            if (WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, kFrameValues[i], values[i]) != 0)
                return false;
        }
        return true;
    });
}

void TForm11::hideEvent(QHideEvent* event)
{
    // Closed, not minimised.
    if (!event->spontaneous())
        StoreFrame();
    TFormBase::hideEvent(event);
}

void TForm11::FormShow()
{
    ShowHistory();
}

void TForm11::AnalysisRecorded(const AuctionRecord& record, const BidLog& log, std::time_t now)
{
    current_ = Current{record, log, now};
    if (isVisible())
        ShowHistory();
}

void TForm11::ShowHistory()
{
    History history;
    history.Open(); // a history that cannot be opened shows as an empty one
    const QLocale locale;

    // The current auction and its market.
    std::optional<MarketOutlook> outlook;
    std::optional<ForecastSpread> spread;
    std::optional<MarketChart::Running> running;
    if (current_) {
        const int keiko = StoredTendency();
        const std::optional<Prediction> prediction =
            PredictFromRecords(current_->record, current_->log, current_->now, keiko);
        const TypedAuction typed = ReadAuction(current_->record, current_->log, current_->now);
        outlook = history.Outlook(typed, current_->log, prediction, current_->now);
        spread = SpreadOf(history, outlook, typed, current_->log, prediction, keiko, current_->now);
        if (prediction && !prediction->ended && current_->log.Count() > 0)
            running = MarketChart::Running{current_->log[0].price, prediction->endTime};
        ui.Label2->setText(current_->record.title.empty() ? U("（未取得）") : QStr(current_->record.title));
        ui.Label6->setText(current_->log.Count() > 0 ? YenText(current_->log[0].price, locale) : U("（未取得）"));
    } else {
        ui.Label2->setText(U("（未取得）"));
        ui.Label6->setText(U("（未取得）"));
    }
    if (spread) {
        QString text = QString::fromStdString(BandText(*spread, locale));
        if (const std::optional<std::int64_t> limit = LimitOf(current_->record.auctionId))
            text += U("　") + QString::fromStdString(ChanceText(ChanceAtOrBelow(spread->spread, *limit)))
                    + U("（上限 %1）").arg(YenText(*limit, locale));
        ui.Label15->setText(text);
    } else {
        ui.Label15->setText(current_ ? U("（似た落札も、この時点の予測の記録も足りません）") : U("（未予測）"));
    }
    chart_->Show(outlook, spread, running);
    similarAddresses_.clear();
    similarRows_.clear();
    // Used first, then those the outlier guard or the user left out, then the
    // other sales of the model, each with why.
    struct Row {
        SimilarAuction auction;
        QString use;
        bool excluded = false;
        bool comparable = true; // may be taken out or brought back
    };
    std::vector<Row> rows;
    std::optional<MarketPrice> market;
    if (outlook)
        market = outlook->market;
    const std::vector<NotTaken> notTaken =
        current_ ? history.NotTakenSales(current_->record.title, current_->record.auctionId, market)
                 : std::vector<NotTaken>();
    std::size_t others = 0;
    for (const NotTaken& n : notTaken)
        others += n.reason != NotTakenReason::Outlier && n.reason != NotTakenReason::Excluded;
    if (outlook) {
        ui.Label4->setText(YenText(market->price, locale));
        ui.Label8->setText(outlook->forecast ? YenText(*outlook->forecast, locale) : U("（終了）"));
        QString basis = U("似た商品 %1 件の落札価格の中央値（%2〜%3）")
                            .arg(market->count)
                            .arg(Yen(market->low), Yen(market->high));
        if (!market->outliers.empty() || !market->excluded.empty())
            basis += U("、外れ値 %1 件と外した %2 件を除く").arg(market->outliers.size()).arg(market->excluded.size());
        ui.Label10->setText(basis);
        for (const SimilarAuction& a : market->similar)
            rows.push_back({a, U("採用")});
    } else {
        ui.Label4->setText(U("（データなし）"));
        ui.Label8->setText(U("（未予測）"));
        ui.Label10->setText(others > 0 ? U("（似たオークションの記録が足りません。同じ型番の %1 件は下の理由で対象外）").arg(others)
                                       : U("（似たオークションの記録が足りません）"));
    }
    for (const NotTaken& n : notTaken) {
        QString use = NotTakenText(n.reason);
        if (n.reason == NotTakenReason::Outlier && market) {
            const double times = static_cast<double>(n.auction.closingPrice) / static_cast<double>(std::max<std::int64_t>(market->price, 1));
            use = U("外れ値（相場の%1倍）").arg(QString::number(times, 'g', 2));
        }
        const bool excluded = n.reason == NotTakenReason::Excluded;
        rows.push_back({n.auction, use, excluded, excluded || n.reason == NotTakenReason::Outlier});
    }
    SetBodyRows(ui.StringGrid1, rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SimilarAuction& a = rows[i].auction;
        const int row = static_cast<int>(i) + 1;
        ui.StringGrid1->SetCell(0, row, a.title);
        SetCell(ui.StringGrid1, 1, row, Yen(a.closingPrice));
        SetCell(ui.StringGrid1, 2, row, DateText(a.endTime));
        SetCell(ui.StringGrid1, 3, row, QString::number(std::lround(a.similarity * 100)) + QLatin1Char('%'));
        SetCell(ui.StringGrid1, 4, row, rows[i].use);
        similarAddresses_.push_back(a.address);
        similarRows_.push_back({a.auctionId, rows[i].excluded, rows[i].comparable});
    }
    UpdateExclusionButtons();

    // Every recorded auction.
    const std::vector<RecordedAuction> auctions = history.Auctions();
    recordedAddresses_.clear();
    SetBodyRows(ui.StringGrid2, auctions.size());
    for (std::size_t i = 0; i < auctions.size(); ++i) {
        const RecordedAuction& a = auctions[i];
        const int row = static_cast<int>(i) + 1;
        ui.StringGrid2->SetCell(0, row, a.title);
        if (a.endTime != 0)
            SetCell(ui.StringGrid2, 1, row, DateText(a.endTime));
        else
            ui.StringGrid2->SetCell(1, row, a.endText);
        SetCell(ui.StringGrid2, 2, row, a.ended ? U("終了") : U("開催中"));
        SetCell(ui.StringGrid2, 3, row, Yen(a.closingPrice.value_or(a.latestPrice)));
        SetCell(ui.StringGrid2, 4, row, a.lastForecast ? Yen(*a.lastForecast) : QString());
        SetCell(ui.StringGrid2, 5, row, a.lastForecastError ? Percent(*a.lastForecastError) : QString());
        SetCell(ui.StringGrid2, 6, row, a.lastMarketForecast ? Yen(*a.lastMarketForecast) : QString());
        SetCell(ui.StringGrid2, 7, row, a.lastMarketForecastError ? Percent(*a.lastMarketForecastError) : QString());
        recordedAddresses_.push_back(a.address);
    }

    // The user's own accuracy, by tendency and by share of the auction time.
    const Accuracy accuracy = history.ForecastAccuracy();
    for (int quarter = 0; quarter < 4; ++quarter) {
        for (int keiko = 0; keiko < 3; ++keiko)
            SetCell(ui.StringGrid3, quarter + 1, keiko + 1, AccuracyText(accuracy.seed[keiko][quarter]));
        SetCell(ui.StringGrid3, quarter + 1, 4, AccuracyText(accuracy.market[quarter]));
    }
}

void TForm11::SaveCsv()
{
    SaveFileAs(this, "CSVで保存", "mirelo-history.csv", "CSV (*.csv)", "CSVを保存できませんでした", [] {
        History history;
        history.Open();
        return HistoryCsv(history);
    });
}

void TForm11::BitBtn1Click()
{
    if (MessageBox(this, SJ("落札履歴をすべて消去しますか？"), SJ("メッセージ"), MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    History history;
    if (history.Open())
        history.Clear();
    ShowHistory();
}

static void OpenRow(const std::vector<std::string>& addresses, int row)
{
    // Row 0 is the header.
    if (row >= 1 && static_cast<std::size_t>(row) <= addresses.size() && !addresses[row - 1].empty())
        OpenUrl(QUrl(QString::fromStdString(addresses[row - 1])));
}

void TForm11::StringGrid1DblClick(int row)
{
    OpenRow(similarAddresses_, row);
}

void TForm11::StringGrid2DblClick(int row)
{
    OpenRow(recordedAddresses_, row);
}

void TForm11::SetSelectedExcluded(bool excluded)
{
    const int row = ui.StringGrid1->currentRow();
    if (!current_ || row < 1 || static_cast<std::size_t>(row) > similarRows_.size())
        return;
    const std::string chosen = similarRows_[row - 1].auctionId;
    History history;
    if (history.Open())
        history.SetExcluded(current_->record.auctionId, chosen, excluded);
    ShowHistory();
    // The selection stays on the sale just changed, in view: a second click
    // must not take out the next one.
    for (std::size_t i = 0; i < similarRows_.size(); ++i) {
        if (similarRows_[i].auctionId == chosen) {
            ui.StringGrid1->setCurrentCell(static_cast<int>(i) + 1, 0);
            if (QTableWidgetItem* item = ui.StringGrid1->item(static_cast<int>(i) + 1, 0))
                ui.StringGrid1->scrollToItem(item);
            break;
        }
    }
    UpdateExclusionButtons();
}

void TForm11::UpdateExclusionButtons()
{
    const int row = ui.StringGrid1->currentRow();
    const bool chosen = current_ && row >= 1 && static_cast<std::size_t>(row) <= similarRows_.size();
    ui.BitBtn3->setEnabled(chosen && similarRows_[row - 1].comparable && !similarRows_[row - 1].excluded);
    ui.BitBtn4->setEnabled(chosen && similarRows_[row - 1].excluded);
}
