// The board window: rows follow the saved list, the countdown and the marks
// that tell rows apart, the limit typed into a row, not modal.
#include <QHeaderView>
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDateTime>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QTest>

#include "base/AuctionList.h"
#include "base/Registry.h"
#include "board/BoardModel.h"
#include "board/Kanshi12.h"
#include "tests/analysis/FakeService.h"
#include "tests/analysis/PageFixtures.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/FormsFixture.h"

namespace {

constexpr std::time_t kNow = 1'800'000'000;

class BoardWindowTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        Form12->SetClock([this] { return now; });
        gAuctionList = AuctionList{};
        for (int i = 0; i < 3; ++i)
            gAuctionList.entries[static_cast<std::size_t>(i)] = {"http://h/jp/auction/a" + std::to_string(i),
                                                                 "title " + std::to_string(i), ""};
        gAuctionList.count = 3;
        ASSERT_TRUE(StoreAuctionList(gAuctionList, true));
        Form1->ShowAuctionTitles();
    }

    // A read of row's auction ending secondsLeft from now, at price.
    void Give(std::size_t row, std::int64_t secondsLeft, std::int64_t price)
    {
        BoardReading r;
        r.ok = true;
        r.now = now;
        r.auction.title = "item " + std::to_string(row);
        r.auction.endTime = now + secondsLeft;
        r.auction.latestBidPrice = price;
        r.auction.logRows = 2;
        Form12->Rules().Started(row, now);
        Form12->Rules().Finished(row, r);
        Form12->Model().RowsChanged();
    }

    // Rows of auctions on a port nobody listens on: every read fails at once, on this machine.
    void Unreachable()
    {
        const std::string host = "http://127.0.0.1:" + std::to_string(ClosedPort());
        for (int i = 0; i < 3; ++i)
            gAuctionList.entries[static_cast<std::size_t>(i)].Url = host + "/jp/auction/a" + std::to_string(i);
        Form1->ShowAuctionTitles();
        Form12->SetNotifier(std::make_unique<Notifier>(QDBusConnection(QStringLiteral("no-bus"))));
    }

    QString Status() const { return Form12->ui.Label1->text(); }

    std::time_t now = kNow;

    QString Cell(int viewRow, int column) const
    {
        const QAbstractItemModel* view = Form12->ui.TableView1->model();
        return view->data(view->index(viewRow, column)).toString();
    }
};

} // namespace

TEST_F(BoardWindowTest, RowsFollowTheListCountDownAndAreToldApartByText)
{
    ASSERT_EQ(Form12->Rules().Rows().size(), 3u);
    Give(0, 2 * 86400 + 3 * 3600 + 10, 1000);
    Give(1, 4 * 60 + 12, 2000);
    Give(2, -60, 3000);
    ASSERT_EQ(StoreAuctionLimit("a2", 2500), 0); // set in another copy
    Form1->ShowAuctionTitles(); // a list change keeps the reads

    // Sorted by time left: the nearest end first, the ended last.
    EXPECT_EQ(Cell(0, BoardModel::TimeLeft), QString::fromUtf8("あと 04分 12秒"));
    EXPECT_EQ(Cell(0, BoardModel::State), QString::fromUtf8("待機・まもなく終了"));
    EXPECT_EQ(Cell(1, BoardModel::TimeLeft), QString::fromUtf8("あと 2日 03時間"));
    EXPECT_EQ(Cell(1, BoardModel::State), QString::fromUtf8("待機"));
    EXPECT_EQ(Cell(2, BoardModel::TimeLeft), QString::fromUtf8("終了"));
    EXPECT_EQ(Cell(2, BoardModel::State), QString::fromUtf8("終了・価格が上限超え"));
    const QAbstractItemModel* view = Form12->ui.TableView1->model();
    EXPECT_NE(view->data(view->index(0, 0), Qt::BackgroundRole), view->data(view->index(1, 0), Qt::BackgroundRole));
    // Every column opens wide enough to read, the chance and the group included.
    for (int col = 0; col < BoardModel::kColumns; ++col)
        EXPECT_GE(Form12->ui.TableView1->horizontalHeader()->sectionSize(col), 40) << col;

    // A limit typed into a row is kept with its auction at once, whatever
    // the list becomes and whether or not it is saved; an empty one clears it.
    ASSERT_TRUE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QStringLiteral("1,500")));
    EXPECT_EQ(ReadAuctionLimits(), (std::map<std::string, std::int32_t>{{"a0", 1500}, {"a2", 2500}}));
    EXPECT_FALSE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QStringLiteral("abc")));
    std::swap(gAuctionList.entries[0], gAuctionList.entries[1]); // an import in another order
    Form1->ShowAuctionTitles();
    EXPECT_EQ(Form12->Rules().Rows()[0].limit, std::nullopt);
    EXPECT_EQ(Form12->Rules().Rows()[1].limit, 1500);
    ASSERT_TRUE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QString()));
    EXPECT_EQ(ReadAuctionLimits(), (std::map<std::string, std::int32_t>{{"a2", 2500}}));

    // An entry removed from the list leaves the board.
    gAuctionList.count = 1;
    Form1->ShowAuctionTitles();
    EXPECT_EQ(view->rowCount(), 1);

    Form1->ui.B1->trigger();
    EXPECT_TRUE(Form12->isVisible());
    EXPECT_FALSE(Form12->isModal());
    Form12->close();
}

TEST_F(BoardWindowTest, WithoutANotificationServiceAlertsStayInTheStatusLineUntilClicked)
{
    Unreachable();
    Form12->show();
    Give(0, 120, 1000);
    Give(1, 180, 1000);
    ASSERT_TRUE(QTest::qWaitFor([] { return Form12->ui.Label1->text().contains(QString::fromUtf8("未読 1 件")); }, 3000))
        << Status().toStdString();
    const QString first = Status();
    EXPECT_TRUE(first.contains(QString::fromUtf8("まもなく終了"))) << first.toStdString();

    // A read that comes and goes leaves the alert where it is.
    now += 10;
    Form12->Rules().MarkAllDue(Form12->Now());
    Form12->Pump();
    QTest::qWait(50);
    EXPECT_EQ(Status(), first);

    QTest::mouseClick(Form12->ui.Label1, Qt::LeftButton);
    EXPECT_FALSE(Status().contains(QString::fromUtf8("未読")));
    EXPECT_TRUE(Status().contains(QString::fromUtf8("item 1"))) << Status().toStdString();
    QTest::mouseClick(Form12->ui.Label1, Qt::LeftButton);
    EXPECT_FALSE(Status().contains(QString::fromUtf8("まもなく終了")));
    Form12->close();
}

TEST_F(BoardWindowTest, AClosedBoardWatchesNothingAndAlertsNothingItReadBefore)
{
    Unreachable();
    Form12->show();
    EXPECT_TRUE(Form12->Watching());
    Give(0, 7 * 60, 1000); // within the alert minutes two minutes on
    Form12->close();
    EXPECT_FALSE(Form12->Watching());
    now += 2 * 60;
    QTest::qWait(1300);
    EXPECT_FALSE(Status().contains(QString::fromUtf8("まもなく終了"))) << Status().toStdString();

    // Open again: the old read is no news; a fresh one is.
    Form12->show();
    QTest::qWait(1300);
    EXPECT_FALSE(Status().contains(QString::fromUtf8("まもなく終了"))) << Status().toStdString();
    Give(0, 4 * 60, 1000);
    EXPECT_TRUE(QTest::qWaitFor([] { return Form12->ui.Label1->text().contains(QString::fromUtf8("まもなく終了")); }, 3000));
    Form12->close();
}

TEST_F(BoardWindowTest, TheSelectionFollowsItsAuctionWhenRowsResort)
{
    Give(0, 3 * 3600, 1000);
    Give(1, 2 * 3600, 1000);
    QTableView* view = Form12->ui.TableView1;
    view->selectRow(1);
    ASSERT_EQ(Cell(1, BoardModel::Title), QStringLiteral("item 0"));
    Give(2, 3600, 1000); // a new read sorts before both
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(Cell(selected[0].row(), BoardModel::Title), QStringLiteral("item 0"));

    std::swap(gAuctionList.entries[0], gAuctionList.entries[2]); // an import in another order
    Form1->ShowAuctionTitles();
    const QModelIndexList after = view->selectionModel()->selectedRows();
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(Cell(after[0].row(), BoardModel::Title), QStringLiteral("item 0"));
}

TEST_F(BoardWindowTest, AReadIsRecordedOffTheWindowsThreadAndTellsTheServicesClock)
{
    FakeService service;
    now = std::time(nullptr);
    std::string reply = Http("200 OK", EucFromUtf8(BidPage("Camera", now - 86400, now + 86400, 1000, {{now - 3600, "b1", 1500}})));
    const QString date = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(now - 40, Qt::UTC),
                                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    reply.insert(reply.find("\r\n") + 2, "Date: " + date.toStdString() + "\r\n");
    service.Set("/jp/show/bid_hist?aID=t1&typ=log", reply);
    gAuctionList.entries[0].Url = service.Url("/jp/auction/t1");
    gAuctionList.count = 1;
    Form1->ShowAuctionTitles();
    Form12->SetNotifier(std::make_unique<Notifier>(QDBusConnection(QStringLiteral("no-bus"))));
    Form12->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return Form12->Rules().Rows()[0].last.has_value(); }, 10000));
    const BoardRow& row = Form12->Rules().Rows()[0];
    EXPECT_TRUE(row.last->recorded) << Utf8FromSjis(row.error);
    EXPECT_EQ(row.Price(), 1500);
    EXPECT_EQ(Form12->Rules().ClockOffset(), -40);
    EXPECT_TRUE(Status().contains(QString::fromUtf8("40 秒遅れています"))) << Status().toStdString();
    Form12->close();
}
