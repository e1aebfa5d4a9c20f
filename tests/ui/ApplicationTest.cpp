#include <QAbstractButton>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <gtest/gtest.h>

#include "tests/support/Sandbox.h"
#include "ui/Application.h"

namespace {

QString U(const char8_t* utf8)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8));
}

} // namespace

// The test program's application object has loaded Qt's catalogue at start,
// as the program's does.
TEST(ApplicationTest, QtButtonsAndDialogsSpeakJapanese)
{
    QMessageBox box(QMessageBox::Question, {}, {},
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    const std::pair<QMessageBox::StandardButton, const char8_t*> buttons[] = {
        {QMessageBox::Yes, u8"はい(&Y)"},
        {QMessageBox::No, u8"いいえ(&N)"},
        {QMessageBox::Ok, u8"OK"},
        {QMessageBox::Cancel, u8"キャンセル"},
    };
    for (auto [button, text] : buttons)
        EXPECT_EQ(box.button(button)->text(), U(text));
    QPrinter printer;
    QPrintPreviewDialog preview(&printer);
    EXPECT_EQ(preview.windowTitle(), U(u8"印刷のプレビュー"));
}

TEST(ApplicationTest, MissingCatalogueInstallsNothing)
{
    EXPECT_FALSE(TApplication::InstallQtTranslation(QString::fromStdString(sandbox::Dir())));
}
