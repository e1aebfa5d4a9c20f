// The debug log window.
#pragma once

#include <string_view>

#include "ui/Form.h"
#include "ui_Unit2.h"

class TForm2 : public TFormBase {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    Ui::TForm2 ui;
};

extern TForm2* Form2;

// Adds a line (Shift_JIS) at the end of the debug log. The log keeps every
// line of the run, shown or not; nothing clears or saves it.
void AppendDebugLog(std::string_view sjisLine);
