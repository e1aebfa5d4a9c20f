#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "import/Url7.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/StoredSettings.h"

namespace {
using Url7Test = FormsTest;
const QString kDefault = QStringLiteral("http://user.auctions.yahoo.co.jp/jp/show/mystatus");
} // namespace

TEST_F(Url7Test, MissingAddressShowsTheDefaultAndOkStoresIt)
{
    Form7->show();
    EXPECT_EQ(Form7->ui.Edit1->text(), kDefault);
    Form7->ui.BitBtn1->click();
    EXPECT_FALSE(Form7->isVisible());
    EXPECT_EQ(stored::Text("UrlMyAuction"), kDefault.toStdString());

    ASSERT_TRUE(stored::SetText("UrlMyAuction", ""));
    Form7->show();
    EXPECT_EQ(Form7->ui.Edit1->text(), QString()) << "a stored empty address stays empty";
    Form7->ui.BitBtn2->click();

    ASSERT_TRUE(stored::SetText("UrlMyAuction", "http://my.example/" + std::string(300, 'a')));
    Form7->show();
    EXPECT_EQ(Form7->ui.Edit1->text(), kDefault) << "one too long to read";
}

TEST_F(Url7Test, OkStoresTheTrimmedAddressAndCancelNothing)
{
    Form7->show();
    Form7->ui.Edit1->setText(QStringLiteral("  http://my.example/top \t"));
    Form7->ui.BitBtn1->click();
    EXPECT_EQ(stored::Text("UrlMyAuction"), "http://my.example/top");

    Form7->show();
    EXPECT_EQ(Form7->ui.Edit1->text(), QStringLiteral("http://my.example/top"));
    Form7->ui.BitBtn3->click();
    EXPECT_EQ(Form7->ui.Edit1->text(), kDefault);
    Form7->ui.BitBtn2->click();
    EXPECT_EQ(stored::Text("UrlMyAuction"), "http://my.example/top");
}
