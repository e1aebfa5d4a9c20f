// The proxy settings window.
#pragma once

#include "ui/Form.h"
#include "ui_Unit4.h"

class TForm4 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    Ui::TForm4 ui;

    void CheckBox1Click();
    void BitBtn1Click();

protected:
    void FormShow() override;
};

extern TForm4* Form4;
