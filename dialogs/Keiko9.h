// The forecast tendency window.
#pragma once

#include "ui/Form.h"
#include "ui_Keiko9.h"

class TForm9 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm9(QWidget* parent = nullptr);

    Ui::TForm9 ui;

    void BitBtn1Click();

protected:
    void FormShow() override;
};

extern TForm9* Form9;
