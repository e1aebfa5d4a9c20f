// The cookie notice shown before an import sends the cookie.
#pragma once

#include "ui/Form.h"
#include "ui_Message10.h"

class TForm10 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);

    Ui::TForm10 ui;
};

extern TForm10* Form10;
