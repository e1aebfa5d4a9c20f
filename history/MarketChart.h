// The market drawn over time: the similar sales' closing prices against their
// end dates, the market price and the band as lines, and the running
// auction's current price and band at its end.
#pragma once

#include <QWidget>
#include <optional>

#include "history/History.h"

class QChartView;

class MarketChart : public QWidget {
    Q_OBJECT
public:
    explicit MarketChart(QWidget* parent = nullptr);

    struct Running {
        std::int64_t currentPrice = 0;
        std::int64_t endTime = 0;
    };
    void Show(const std::optional<MarketOutlook>& outlook, const std::optional<ForecastSpread>& spread,
              const std::optional<Running>& running);
    // The picture as PNG; false when it cannot be written.
    bool SavePng(const QString& path) const;
    // Asks where, then saves.
    void SaveWithDialog();
    QChartView* View() const { return view_; }
    // The hovered point's text (empty: none).
    void ShowTip(const QString& text);
    QString Tip() const { return tip_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QChartView* view_;
    QString tip_;
};
