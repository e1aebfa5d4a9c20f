// The price-over-time chart of the main window.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

class PriceChart : public QWidget {
    Q_OBJECT
public:
    explicit PriceChart(QWidget* parent = nullptr);

    void SetTitle(std::string_view sjis);
    void SetBottomAxisTitle(std::string_view sjis);
    void SetLeftAxisTitle(std::string_view sjis);
    const std::string& Title() const { return title_; }
    const std::string& BottomAxisTitle() const { return bottomTitle_; }
    const std::string& LeftAxisTitle() const { return leftTitle_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string title_;
    std::string bottomTitle_;
    std::string leftTitle_;
};
