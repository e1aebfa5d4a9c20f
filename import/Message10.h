// The cookie notice shown before an import sends the cookie.
#pragma once

#include "ui/Form.h"
#include "ui_Message10.h"

class TForm10 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);

    Ui::TForm10 ui;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

extern TForm10* Form10;

// Asks, unless silenced for good, before an import sends the browser's cookie
// over plain HTTP; true to go on. Silencing it needs Yes (or the close box)
// with the tick box ticked.
bool CookieConsent();
