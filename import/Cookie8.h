// The cookie window: the exact cookie text an import sends, to look at only.
#pragma once

#include "ui/Form.h"
#include "ui_Cookie8.h"

class TForm8 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);

    Ui::TForm8 ui;

protected:
    void FormShow() override;
};

extern TForm8* Form8;
