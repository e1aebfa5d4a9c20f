// The operation settings window.
#pragma once

#include "ui/Form.h"
#include "ui_Ope6.h"

class TForm6 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    Ui::TForm6 ui;

    void BitBtn1Click();

protected:
    void FormShow() override;
};

extern TForm6* Form6;
