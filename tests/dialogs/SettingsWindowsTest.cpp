#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "dialogs/Keiko9.h"
#include "dialogs/Ope6.h"
#include "dialogs/Unit4.h"
#include "dialogs/Version5.h"
#include "import/Url7.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"

namespace {

using SettingsWindowsTest = FormsTest;

// The look of the proxy fields: open for typing, or greyed and read-only.
bool Editable(QLineEdit* edit)
{
    bool buttonFace = edit->palette().color(QPalette::Base) == edit->palette().color(QPalette::Button);
    return edit->isEnabled() && !edit->isReadOnly() && !buttonFace;
}
bool Greyed(QLineEdit* edit)
{
    bool buttonFace = edit->palette().color(QPalette::Base) == edit->palette().color(QPalette::Button);
    return !edit->isEnabled() && edit->isReadOnly() && buttonFace;
}

std::vector<bool> Ticks()
{
    return {Form6->ui.CheckBox1->isChecked(), Form6->ui.CheckBox2->isChecked(), Form6->ui.CheckBox3->isChecked()};
}

int Choice()
{
    const QRadioButton* buttons[] = {Form9->ui.RadioButton1, Form9->ui.RadioButton2, Form9->ui.RadioButton3};
    for (int i = 0; i < 3; ++i)
        if (buttons[i]->isChecked())
            return i;
    return -1;
}

} // namespace

TEST_F(SettingsWindowsTest, ProxyWindowStoresTrimmedHostAndPortWhenTicked)
{
    Form4->show();
    EXPECT_FALSE(Form4->ui.CheckBox1->isChecked());
    EXPECT_EQ(Form4->ui.Edit3->text(), QString());
    EXPECT_TRUE(Greyed(Form4->ui.Edit3));
    EXPECT_TRUE(Greyed(Form4->ui.Edit4));
    EXPECT_FALSE(Form4->ui.Label3->isEnabled());

    Form4->ui.CheckBox1->click();
    EXPECT_TRUE(Editable(Form4->ui.Edit3));
    EXPECT_TRUE(Form4->ui.Label4->isEnabled());
    Form4->ui.Edit3->setText(QStringLiteral("  proxy.example\t"));
    Form4->ui.Edit4->setText(QStringLiteral(" 8080"));
    Form4->ui.BitBtn1->click();
    EXPECT_FALSE(Form4->isVisible());
    EXPECT_EQ(stored::Number("Proxy"), 1);
    EXPECT_EQ(stored::Text("ProxyHost"), "proxy.example");
    EXPECT_EQ(stored::Text("ProxyPort"), "8080");

    Form4->show();
    EXPECT_TRUE(Form4->ui.CheckBox1->isChecked());
    EXPECT_EQ(Form4->ui.Edit4->text(), QStringLiteral("8080"));
    EXPECT_TRUE(Editable(Form4->ui.Edit4));

    // Off keeps the host and port for the next time, shown greyed.
    Form4->ui.CheckBox1->click();
    Form4->ui.BitBtn1->click();
    EXPECT_EQ(stored::Number("Proxy"), 0);
    Form4->show();
    EXPECT_EQ(Form4->ui.Edit3->text(), QStringLiteral("proxy.example"));
    EXPECT_TRUE(Greyed(Form4->ui.Edit3));
}

TEST_F(SettingsWindowsTest, ProxyWindowWithoutHostOrPortSaysSoAndStaysOpen)
{
    for (auto [host, port] : {std::pair{"   ", "8080"}, std::pair{"proxy.example", ""}}) {
        boxes::Reset();
        Form4->show();
        Form4->ui.CheckBox1->setChecked(true);
        Form4->ui.Edit3->setText(QString::fromLatin1(host));
        Form4->ui.Edit4->setText(QString::fromLatin1(port));
        Form4->ui.BitBtn1->click();
        EXPECT_EQ(boxes::Texts(), (std::vector<std::string>{"ＵＲＬとポート番号を入力してください。"}));
        EXPECT_TRUE(Form4->isVisible());
        Form4->ui.BitBtn2->click();
        EXPECT_FALSE(Form4->isVisible());
        EXPECT_EQ(stored::Number("Proxy"), std::nullopt);
        EXPECT_EQ(stored::Text("ProxyHost"), std::nullopt);
    }
}

TEST_F(SettingsWindowsTest, ProxyStoredAsTwoIsTickedHereButOffForTheRuns)
{
    ASSERT_TRUE(stored::SetNumber("Proxy", 2));
    Form4->show();
    EXPECT_TRUE(Form4->ui.CheckBox1->isChecked());
    EXPECT_TRUE(Editable(Form4->ui.Edit3));
    EXPECT_FALSE(ReadRegistrySwitch("Proxy", 0));
    ASSERT_TRUE(stored::SetNumber("Proxy", 1));
    EXPECT_TRUE(ReadRegistrySwitch("Proxy", 0));
}

TEST_F(SettingsWindowsTest, OperationWindowStoresAllThreeBoxesOnOkAndNothingOnCancel)
{
    Form6->show();
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));
    for (QCheckBox* box : {Form6->ui.CheckBox1, Form6->ui.CheckBox2, Form6->ui.CheckBox3})
        box->click();
    Form6->ui.BitBtn2->click();
    EXPECT_EQ(stored::Number("TitleGo"), std::nullopt);
    Form6->show();
    EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true}));

    Form6->ui.CheckBox1->click();
    Form6->ui.BitBtn1->click();
    EXPECT_FALSE(Form6->isVisible());
    EXPECT_EQ(stored::Number("TitleGo"), 0);
    EXPECT_EQ(stored::Number("WatchGo"), 1);
    EXPECT_EQ(stored::Number("ShowImage"), 1);

    ASSERT_TRUE(stored::SetNumber("WatchGo", 5));
    ASSERT_TRUE(stored::SetNumber("ShowImage", 0));
    Form6->show();
    EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false})) << "any non-zero ticks";
}

TEST_F(SettingsWindowsTest, TendencyWindowShowsAndStoresTheChoice)
{
    Form9->show();
    EXPECT_EQ(Choice(), 1) << "fresh machine: the middle one";
    Form9->ui.RadioButton3->click();
    Form9->ui.BitBtn1->click();
    EXPECT_EQ(stored::Number("Keiko"), 2);

    Form9->show();
    EXPECT_EQ(Choice(), 2);
    Form9->ui.RadioButton1->click();
    EXPECT_EQ(Choice(), 0) << "the buttons exclude one another";
    Form9->ui.BitBtn2->click();
    EXPECT_EQ(stored::Number("Keiko"), 2);

    for (std::int32_t keiko : {5, 7}) {
        ASSERT_TRUE(stored::SetNumber("Keiko", keiko));
        Form9->show();
        EXPECT_EQ(Choice(), 2) << keiko;
        Form9->ui.BitBtn1->click();
        EXPECT_EQ(stored::Number("Keiko"), 2) << keiko;
    }
}

TEST_F(SettingsWindowsTest, OkWithoutAStoreClosesSilentlyStoringNothing)
{
    sandbox::WriteFile("config-file", "x");
    setenv("XDG_CONFIG_HOME", (sandbox::Dir() + "/config-file").c_str(), 1);
    Form4->show();
    Form4->ui.CheckBox1->setChecked(true); // and no host: the key comes first
    Form4->ui.BitBtn1->click();
    for (TFormBase* window : std::initializer_list<TFormBase*>{Form6, Form9, Form7}) {
        window->show();
        window->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    }
    for (QWidget* window : std::initializer_list<QWidget*>{Form4, Form6, Form9, Form7})
        EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
    EXPECT_TRUE(boxes::Shown().empty());
}

TEST_F(SettingsWindowsTest, VersionWindowShowsTheVersionEveryTime)
{
    for (int i = 0; i < 2; ++i) {
        Form5->ui.Label25->clear();
        Form5->show();
        EXPECT_EQ(Form5->ui.Label25->text(), QStringLiteral("Ver 1.32"));
        Form5->ui.BitBtn1->click();
        EXPECT_FALSE(Form5->isVisible());
    }
    for (QLabel* picture : {Form5->ui.Image1, Form5->ui.Image2, Form5->ui.Image3, Form5->ui.Image4})
        EXPECT_FALSE(picture->pixmap().isNull()) << picture->objectName().toStdString();
}
