// The cookie window.
#pragma once

#include "ui/Form.h"
#include "ui_Cookie8.h"

class TForm8 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);

    Ui::TForm8 ui;
};

extern TForm8* Form8;
