// The debug log window.
#pragma once

#include "ui/Form.h"
#include "ui_Unit2.h"

class TForm2 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    Ui::TForm2 ui;
};

extern TForm2* Form2;
