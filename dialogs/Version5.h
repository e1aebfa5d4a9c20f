// The version window.
#pragma once

#include "ui/Form.h"
#include "ui_Version5.h"

class TForm5 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    Ui::TForm5 ui;

protected:
    void FormShow() override;
};

extern TForm5* Form5;
