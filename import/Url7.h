// The My Auction address window.
#pragma once

#include "ui/Form.h"
#include "ui_Url7.h"

class TForm7 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    Ui::TForm7 ui;

    void BitBtn1Click();
    void BitBtn3Click();

protected:
    void FormShow() override;
};

extern TForm7* Form7;
