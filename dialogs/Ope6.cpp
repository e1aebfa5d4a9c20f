#include "dialogs/Ope6.h"

#include <array>
#include <utility>

#include "base/Registry.h"
#include "ui/Dialogs.h"

TForm6* Form6 = nullptr;

namespace {
// Each box with its value, in the order they are read and written.
std::array<std::pair<QCheckBox*, const char*>, 3> Boxes(Ui::TForm6& ui)
{
    return {{{ui.CheckBox1, regvalue::TitleGo}, {ui.CheckBox2, regvalue::WatchGo}, {ui.CheckBox3, regvalue::ShowImage}}};
}
} // namespace

TForm6::TForm6(QWidget* parent) : TFormBase(parent, FormPosition::ScreenCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(379, 188);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TForm6::FormShow()
{
    for (auto [box, name] : Boxes(ui)) {
        std::int32_t value = 1;
        ReadRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, name, value);
        box->setChecked(value != 0);
    }
}

void TForm6::BitBtn1Click()
{
    StoreSettings([this] {
        for (auto [box, name] : Boxes(ui))
            WriteRegistryNumber(HKEY_LOCAL_MACHINE, kMireloKey, name, box->isChecked() ? 1 : 0);
        return true;
    });
    done(mrOk);
}
