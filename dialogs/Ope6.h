// The operation settings window.
#pragma once

#include "ui/Form.h"
#include "ui_Ope6.h"

class TForm6 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    Ui::TForm6 ui;
};

extern TForm6* Form6;
