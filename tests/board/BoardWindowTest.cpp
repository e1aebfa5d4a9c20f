// The board window: rows follow the saved list, the countdown and the marks
// that tell rows apart, the limit typed into a row, not modal.
#include <QHeaderView>
#include <gtest/gtest.h>

#include <QSortFilterProxyModel>

#include "app/AuctionList.h"
#include "board/BoardModel.h"
#include "board/Kanshi12.h"
#include "tests/support/FormsFixture.h"

namespace {

constexpr std::time_t kNow = 1'800'000'000;

class BoardWindowTest : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        Form12->SetClock([] { return kNow; });
        gAuctionList = AuctionList{};
        for (int i = 0; i < 3; ++i)
            gAuctionList.entries[static_cast<std::size_t>(i)] = {"http://h/jp/auction/a" + std::to_string(i),
                                                                 "title " + std::to_string(i), "", 0};
        gAuctionList.count = 3;
        ASSERT_TRUE(StoreAuctionList(gAuctionList, true));
        Form1->ShowAuctionTitles();
    }

    // A read of row's auction ending secondsLeft from now, at price.
    void Give(std::size_t row, std::int64_t secondsLeft, std::int64_t price)
    {
        BoardReading r;
        r.ok = true;
        r.now = kNow;
        r.auction.title = "item " + std::to_string(row);
        r.auction.endTime = kNow + secondsLeft;
        r.auction.latestBidPrice = price;
        r.auction.logRows = 2;
        Form12->Rules().Started(row, kNow);
        Form12->Rules().Finished(row, r);
        Form12->Model().RowsChanged();
    }

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
    gAuctionList.entries[2].Limit = 2500;
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

    // A limit typed into a row is kept with its list entry at once; an empty one clears it.
    ASSERT_TRUE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QStringLiteral("1,500")));
    AuctionList stored;
    ReadAuctionList(stored);
    EXPECT_EQ(stored.entries[0].Limit, 1500);
    EXPECT_FALSE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QStringLiteral("abc")));
    // An import makes the list afresh: the auction still in it keeps its limit.
    gAuctionList.entries[0].Limit = 0;
    Form1->ShowAuctionTitles();
    EXPECT_EQ(gAuctionList.entries[0].Limit, 1500);
    ASSERT_TRUE(Form12->ui.TableView1->model()->setData(view->index(1, BoardModel::Limit), QString()));
    EXPECT_EQ(gAuctionList.entries[0].Limit, 0);
    Form1->ShowAuctionTitles();
    EXPECT_EQ(gAuctionList.entries[0].Limit, 0);

    // An entry removed from the list leaves the board.
    gAuctionList.count = 1;
    Form1->ShowAuctionTitles();
    EXPECT_EQ(view->rowCount(), 1);

    Form1->ui.B1->trigger();
    EXPECT_TRUE(Form12->isVisible());
    EXPECT_FALSE(Form12->isModal());
    Form12->close();
}
