// The watch-list import window.
#pragma once

#include "ui/Form.h"
#include "ui_Unit3.h"

class TForm3 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    Ui::TForm3 ui;
};

extern TForm3* Form3;
