// The main window's results: item labels, bid table, chart, forecast and summary.
// Part of TForm1, kept beside the forecast it shows; with RunAnalysis.cpp the
// only place below app/ that includes app/Unit1.h.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <initializer_list>

#include "analysis/Prediction.h"
#include "app/Unit1.h"
#include "ui/Sjis.h"

namespace {

std::string Joined(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (std::string_view part : parts)
        text += part;
    return text;
}

// Shift_JIS has no faithful single-byte yen sign (0x5C reads back as a
// backslash), nor the narrow spaces some locales group digits with.
std::string SjisOfLabel(const QLabel* label)
{
    QString text = label->text();
    for (QChar& c : text) {
        if (c == QChar(0x00A5))
            c = QChar(0xFFE5);
        else if (c.isSpace())
            c = QLatin1Char(' ');
    }
    return SjisStr(text);
}

QColor ColourOf(PointColour colour)
{
    return colour == PointColour::Now ? QColor(0, 128, 0) : QColor(0, 0, 255);
}

} // namespace

void TForm1::WireResults()
{
    ui.Chart1->SetView3D(ui.CheckBox1->isChecked());
    ui.Chart1->SetMarksVisible(ui.CheckBox2->isChecked());
    connect(ui.CheckBox1, &QCheckBox::toggled, ui.Chart1, &PriceChart::SetView3D);
    connect(ui.CheckBox2, &QCheckBox::toggled, ui.Chart1, &PriceChart::SetMarksVisible);
    connect(ui.BitBtn7, &QPushButton::clicked, this, [this] { ui.Chart1->PrintPreview(this); });
}

void TForm1::ResetResultLabels()
{
    const QString missing = QStr(SJ("(未取得)"));
    for (QLabel* label : {ui.Label10, ui.Label11, ui.Label12, ui.Label13, ui.Label16, ui.Label18, ui.Label20})
        label->setText(missing);
    ui.Label14->setText(QStr(SJ("(設定なし)")));
}

void TForm1::ShowField(HeaderField field, std::string_view value)
{
    QLabel* label = nullptr;
    switch (field) {
    case HeaderField::Title: label = ui.Label10; break;
    case HeaderField::Start: label = ui.Label11; break;
    case HeaderField::End: label = ui.Label12; break;
    case HeaderField::BidCount: label = ui.Label13; break;
    case HeaderField::BuyNow: label = ui.Label14; break;
    case HeaderField::CurrentPrice: label = ui.Label16; break;
    case HeaderField::SellerId: label = ui.Label18; break;
    case HeaderField::AuctionId: label = ui.Label20; break;
    }
    label->setText(QStr(HeaderLabelText(field, value)));
}

void TForm1::ShowBids(const BidLog& log)
{
    StringGrid* grid = ui.StringGrid1;
    const std::array<std::string_view, 5> headers{SJ("SN"), SJ("入札日時"), SJ("入札金額(円)"), SJ("入札者"),
                                                  SJ("入札方法")};
    for (int col = 0; col < 5; ++col)
        grid->SetCell(col, 0, headers[static_cast<std::size_t>(col)]);

    const int n = log.Count();
    grid->SetRowCount(n + 1);
    if (n > 1) {
        grid->SetFixedCols(1);
        grid->SetFixedRows(1);
    }
    // Oldest first: the page lists the newest bid first.
    const QLocale locale = QLocale::system();
    for (int row = 1; row <= n; ++row) {
        const BidRecord& bid = log[n - row];
        grid->SetCell(0, row, std::to_string(row));
        grid->SetCell(1, row, bid.dateText);
        // Straight to the cell: the locale's separator may have no Shift_JIS form.
        grid->item(row, 2)->setText(GroupedNumber(bid.price, locale));
        grid->SetCell(3, row, bid.bidderId);
        grid->SetCell(4, row, bid.mode);
    }

    ui.Chart1->Clear();
    for (int row = 1; row <= n; ++row) {
        const BidRecord& bid = log[n - row];
        ui.Chart1->AddXY(bid.time, bid.price, bid.dateText);
    }
}

void TForm1::PredictWinningPrice(const AuctionRecord& record, const BidLog& log, std::time_t now)
{
    ShowPrediction(PredictFromRecords(record, log, now, StoredTendency()));
}

void TForm1::ShowPrediction(const std::optional<Prediction>& prediction)
{
    if (!prediction)
        return; // nothing to forecast from: the panel and the chart keep what they show
    for (const PredictionPoint& point : prediction->points)
        ui.Chart1->AddXY(static_cast<double>(point.x), static_cast<double>(point.y), point.label,
                         ColourOf(point.colour));
    ui.Label22->setText(ForecastText(*prediction, QLocale::system()));
    ui.Label24->setText(ConfidenceText(*prediction));
}

void TForm1::ShowSummary(const AuctionRecord& record)
{
    std::string first = Joined({SJ("商品:"), record.title, SJ(" 予測:"), SjisOfLabel(ui.Label22), SJ(" 確度:"),
                                SjisOfLabel(ui.Label24)});
    const bool noBuyNow = record.buyNowText.empty();
    std::string second = Joined({SJ("開始:"), record.startText, SJ(" 終了:"), record.endText, SJ(" 入札件数:"),
                                 record.bidCountText, SJ(" 希望落札価格:"),
                                 noBuyNow ? SJ("(未設定)") : std::string_view(record.buyNowText), SJ(" 現在の価格:"),
                                 record.currentPriceText, SJ(" 出品ID:"), record.auctionId, SJ(" 出品者ID:"),
                                 record.sellerId});
    ui.Chart1->SetFootLines({std::move(first), std::move(second)});
}
