#include <QAbstractButton>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <gtest/gtest.h>

#include "tests/support/Sandbox.h"
#include "ui/Application.h"

// The test program's application object loads Qt's catalogue at start, as the program's does.
TEST(ApplicationTest, QtButtonsAndDialogsSpeakJapanese)
{
    QMessageBox box(QMessageBox::Question, {}, {}, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8(u8"はい(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8(u8"いいえ(&N)"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString::fromUtf8(u8"キャンセル"));
    QPrinter printer;
    EXPECT_EQ(QPrintPreviewDialog(&printer).windowTitle(), QString::fromUtf8(u8"印刷のプレビュー"));
}

TEST(ApplicationTest, MissingCatalogueInstallsNothing)
{
    EXPECT_FALSE(TApplication::InstallQtTranslation(QString::fromStdString(sandbox::Dir())));
}
