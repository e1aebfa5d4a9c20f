#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

#include "base/Exception.h"
#include "dialogs/Keiko9.h"
#include "dialogs/Ope6.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit4.h"
#include "dialogs/Version5.h"
#include "history/Rireki11.h"
#include "import/Cookie8.h"
#include "import/Message10.h"
#include "import/Unit3.h"
#include "import/Url7.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/Sandbox.h"
#include "ui/Form.h"
#include "ui/Sjis.h"

namespace {

QString U(const char8_t* utf8)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8));
}

template <typename T> T* Find(QWidget* form, const char* name)
{
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void Drop(QWidget* target, const QMimeData& mime)
{
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

void Drop(QWidget* target, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    Drop(target, mime);
}

} // namespace

using StartupTest = FormsTest;

TEST_F(StartupTest, CreatesEveryWindowWithItsCaptionAndTheMainOneFirst)
{
    EXPECT_EQ(MainForm(), Form1);
    const std::vector<std::pair<QWidget*, const char8_t*>> windows = {
        {Form1, u8"ミレロくん"},   {Form2, u8"MIRELO:DEBUG"},  {Form3, u8"一括取込"},
        {Form4, u8"プロキシの設定"}, {Form5, u8"バージョン情報"}, {Form6, u8"操作設定"},
        {Form7, u8"URLの設定"},    {Form8, u8"クッキーの設定"}, {Form9, u8"予測傾向の指定"},
        {Form10, u8"メッセージ"}, {Form11, u8"落札履歴と相場"},
    };
    for (auto [window, caption] : windows) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), U(caption));
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_EQ(Form1->size(), QSize(917, 640));
    EXPECT_EQ(Form2->size(), QSize(870, 638));
    EXPECT_EQ(Form4->size(), QSize(309, 158));
    EXPECT_EQ(Form5->size(), QSize(435, 254));
    EXPECT_TRUE(Form5->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_NEAR(Form5->windowOpacity(), 220.0 / 255.0, 0.01);
    EXPECT_EQ(Form6->size(), QSize(379, 188));
    EXPECT_EQ(Form9->size(), QSize(202, 169));
    // Dialog borders do not resize; the debug window does.
    EXPECT_EQ(Form4->minimumSize(), Form4->maximumSize());
    EXPECT_NE(Form2->minimumSize(), Form2->maximumSize());
}

TEST_F(StartupTest, ClosedWindowsAreHiddenNotDestroyed)
{
    QPointer<QWidget> form = Form4;
    Form4->show();
    Form4->close();
    QApplication::processEvents();
    ASSERT_FALSE(form.isNull());
    EXPECT_FALSE(Form4->isVisible());
}

TEST_F(StartupTest, MainWindowStartsInItsDesignState)
{
    const std::vector<std::pair<const char*, const char8_t*>> texts = {
        {"Label1", u8"落札価格予測ソフトウェア"}, {"Label5", u8"商品："},  {"Label10", u8"（未取得）"},
        {"Label6", u8"出品日時："},  {"Label11", u8"（未取得） "}, {"Label7", u8"終了日時： "},
        {"Label12", u8"（未取得）"}, {"Label8", u8"手動入札件数："}, {"Label13", u8"（未取得）"},
        {"Label9", u8"希望落札金額："}, {"Label14", u8"（設定なし）"}, {"Label15", u8"現在の価格："},
        {"Label16", u8"（未取得）"}, {"Label17", u8"出品者："}, {"Label18", u8"（未取得）"},
        {"Label19", u8"ｵｰｸｼｮﾝID："}, {"Label20", u8"（未取得）"}, {"Label21", u8"落札予測："},
        {"Label22", u8"（未予測）"}, {"Label23", u8"確度："}, {"Label24", u8"100%"},
    };
    for (auto [name, text] : texts)
        EXPECT_EQ(Find<QLabel>(Form1, name)->text(), U(text)) << name;

    const std::vector<std::pair<const char*, const char8_t*>> buttons = {
        {"BitBtn2", u8"一括取込"}, {"BitBtn5", u8"ｸﾘｱ"}, {"BitBtn1", u8"ミレロ"}, {"BitBtn6", u8"中止"},
        {"BitBtn8", u8"開く"}, {"BitBtn7", u8"印刷"}, {"BitBtn3", u8"疲れたのでやめる"}, {"BitBtn4", u8"DBG"},
    };
    for (auto [name, text] : buttons)
        EXPECT_EQ(Find<QPushButton>(Form1, name)->text(), U(text)) << name;

    EXPECT_FALSE(Form1->ui.BitBtn6->isEnabled());
    EXPECT_FALSE(Form1->ui.BitBtn7->isEnabled());
    EXPECT_TRUE(Form1->ui.BitBtn1->isEnabled());
    EXPECT_TRUE(Form1->ui.Image4->isHidden());
    EXPECT_FALSE(Form1->ui.Image3->isHidden());
    EXPECT_TRUE(Form1->ui.BitBtn4->isHidden());
    EXPECT_FALSE(Form1->Timer1->isActive());
    EXPECT_EQ(Form1->Timer1->interval(), 1000);

    EXPECT_TRUE(Form1->ui.CheckBox1->isChecked());
    EXPECT_EQ(Form1->ui.CheckBox1->text(), U(u8"3D表示"));
    EXPECT_FALSE(Form1->ui.CheckBox2->isChecked());
    EXPECT_EQ(Form1->ui.CheckBox2->text(), U(u8"ﾏｰｶ表示"));

    QComboBox* box = Form1->ui.ComboBox1;
    EXPECT_TRUE(box->isEditable());
    EXPECT_EQ(box->width(), 361);
    EXPECT_EQ(box->maxVisibleItems(), 36);
    EXPECT_EQ(box->count(), 0);

    StringGrid* grid = Form1->ui.StringGrid1;
    EXPECT_EQ(grid->ColCount(), 5);
    const int widths[] = {50, 152, 213, 266, 220};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid->columnWidth(c), widths[c]);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);

    EXPECT_EQ(Form1->ui.Chart1->Title(), SJ("入札価格推移"));
    EXPECT_EQ(Form1->ui.Chart1->BottomAxisTitle(), SJ("入札日時"));
    EXPECT_EQ(Form1->ui.Chart1->LeftAxisTitle(), SJ("入札金額（円)"));
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), "");
}

TEST_F(StartupTest, BannerAndForecastLabelsHaveTheirColoursAndWeights)
{
    Form1->ensurePolished();
    auto style = [](QLabel* l) {
        l->ensurePolished();
        return std::make_tuple(l->palette().color(QPalette::WindowText), l->font().bold(), l->font().pixelSize());
    };
    EXPECT_EQ(style(Form1->ui.Label1), std::make_tuple(QColor(0, 128, 128), true, 19));
    EXPECT_EQ(style(Form1->ui.Label25), std::make_tuple(QColor(0, 128, 128), true, 19));
    EXPECT_EQ(style(Form1->ui.Label22), std::make_tuple(QColor(255, 255, 0), true, 16));
    EXPECT_EQ(std::get<0>(style(Form1->ui.Label26)), QColor(255, 0, 0));
    EXPECT_EQ(std::get<0>(style(Form1->ui.Label5)), QColor(Qt::white));
    EXPECT_EQ(std::get<0>(style(Form1->ui.Label10)), QColor(255, 255, 0));
    EXPECT_EQ(Form1->ui.Panel9->width() > 0 ? Form1->ui.Panel9->maximumWidth() : 0, 276);
    EXPECT_EQ(Form1->ui.Image1->size(), QSize(105, 105));
    EXPECT_EQ(Form1->ui.Image2->size(), QSize(305, 49));
    EXPECT_EQ(Form1->ui.Image3->geometry(), Form1->ui.Image4->geometry());
    EXPECT_EQ(Form1->ui.Image3->size(), QSize(193, 41));
    EXPECT_FALSE(Form1->ui.Image1->pixmap().isNull());
}

TEST_F(StartupTest, MenuHasItsTreeCaptionsAndNames)
{
    QMenuBar* bar = Find<QMenuBar>(Form1, "MainMenu1");
    ASSERT_NE(bar, nullptr);
    const std::vector<std::pair<const char*, std::vector<std::pair<const char*, const char8_t*>>>> tree = {
        {"F1", {{"Q1", u8"終了...(&X)"}}},
        {"Y1", {{"Y2", u8"予測傾向の指定...(&Y)"}}},
        {"S1", {{"O1", u8"操作設定...(&O)"}, {"URLU1", u8"ｸｯｷｰの確認...(&C)"}, {"C1", u8"URLの設定...(&U)"},
                {"P1", u8"ﾌﾟﾛｷｼの設定...(&P)"}}},
        {"R1", {{"M1", u8"落札履歴と相場...(&M)"}}},
        {"W1", {{"B1", u8"ウォッチボード...(&B)"}}},
        {"H1", {{"InternetI1", u8"使い方(ｲﾝﾀｰﾈｯﾄ)(&I)"}, {"V1", u8"バージョン情報...(&V)"}}},
    };
    const std::vector<const char8_t*> titles = {u8"ファイル(&F)", u8"予測傾向", u8"設定(&S)", u8"履歴(&R)",
                                                u8"監視(&W)", u8"ヘルプ(&H)"};
    QList<QAction*> top = bar->actions();
    ASSERT_EQ(top.size(), 6);
    for (int i = 0; i < 6; ++i) {
        QMenu* menu = top[i]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString::fromLatin1(tree[i].first));
        EXPECT_EQ(menu->title(), U(titles[i]));
        QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(tree[i].second.size()));
        for (qsizetype j = 0; j < items.size(); ++j) {
            EXPECT_EQ(items[j]->objectName(), QString::fromLatin1(tree[i].second[static_cast<std::size_t>(j)].first));
            EXPECT_EQ(items[j]->text(), U(tree[i].second[static_cast<std::size_t>(j)].second));
        }
    }
}

TEST_F(StartupTest, DroppedFilesCountInTheStatusBarAndTheLastPathStaysInTheBox)
{
    std::vector<std::string> paths;
    for (const char* name : {"a.html", "b.html", "c.html"}) {
        sandbox::WriteFile(name, "x");
        paths.push_back(sandbox::Dir() + "/" + name);
    }
    QList<QUrl> urls;
    for (const auto& p : paths)
        urls << QUrl::fromLocalFile(QString::fromStdString(p));
    Drop(Form1, urls);
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), "3");
    EXPECT_EQ(Form1->ui.ComboBox1->currentText().toStdString(), paths[2]);
    EXPECT_EQ(Form1->ui.ComboBox1->count(), 0) << "a drop fills the text only";
}

TEST_F(StartupTest, FilesDroppedOnTheEntryBoxAreADropOnTheWindowButTextIsTyped)
{
    QWidget* entry = Form1->ui.ComboBox1->lineEdit();
    const QString path = QString::fromStdString(sandbox::Dir() + "/b");
    QMimeData files, link;
    files.setUrls({QUrl::fromLocalFile(path + ".html"), QUrl::fromLocalFile(path)});
    files.setText("file://" + path + ".html\nfile://" + path); // as file managers offer them
    link.setText(QStringLiteral("http://page.example/jp/auction/a1"));
    Drop(entry, files);
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), "2");
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), path);
    Form1->ui.ComboBox1->clearEditText();
    Drop(entry, link);
    EXPECT_EQ(Form1->ui.ComboBox1->currentText(), link.text()) << "a link from a browser is typed";
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), "2");
}

TEST_F(StartupTest, DroppedFolderLandsInTheBoxLikeAFile)
{
    std::filesystem::create_directory("watch");
    Drop(Form1, {QUrl::fromLocalFile(QString::fromStdString(sandbox::Dir() + "/watch/"))});
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), "1");
    EXPECT_EQ(Form1->ui.ComboBox1->currentText().toStdString(), sandbox::Dir() + "/watch");
}

TEST_F(StartupTest, ExceptionInAHandlerIsReportedAndTheLoopGoesOn)
{
    QPushButton* button = Form1->ui.BitBtn8;
    QObject::connect(button, &QPushButton::clicked, [] { throw Exception("Socket send aborted"); });
    bool later = false;
    QTimer::singleShot(0, [button] { button->click(); });
    QTimer::singleShot(20, [&later] { later = true; });
    QElapsedTimer clock;
    clock.start();
    while (!later && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(later) << "the loop kept running after the exception";
    bool reported = false;
    for (const ShownBox& box : boxes::Shown()) {
        if (box.text == "Socket send aborted." && box.caption == SJ("ミレロくん") && (box.flags & 0xF0) == MB_ICONSTOP)
            reported = true;
    }
    EXPECT_TRUE(reported);
}
