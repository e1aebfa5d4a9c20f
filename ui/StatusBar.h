// A status bar with one simple text that stays until it is replaced (menu
// hovering does not wipe it, unlike QStatusBar's temporary message).
#pragma once

#include <QStatusBar>
#include <string>
#include <string_view>

class QLabel;

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void SetSimpleText(std::string_view sjis);
    std::string SimpleText() const;

private:
    QLabel* text_;
};
