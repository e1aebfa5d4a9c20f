#include "board/Kanshi12.h"

#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSortFilterProxyModel>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "analysis/Prediction.h"
#include "base/AuctionList.h"
#include "base/Registry.h"
#include "base/Text.h"
#include "board/BoardModel.h"
#include "board/BoardText.h"
#include "net/RequestSetup.h"
#include "ui/Browser.h"
#include "ui/Dialogs.h"
#include "ui/Sjis.h"

TForm12* Form12 = nullptr;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Published beside the main window's "./http.txt".
constexpr const char* kWorkFile = "./board.txt";

} // namespace

TForm12::TForm12(QWidget* parent)
    : TFormBase(parent, FormPosition::MainFormCenter), reader_(std::make_unique<BoardReader>(kWorkFile))
{
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);
    SetOuterSize(this, QSize(1250, 600));

    model_ = new BoardModel(board_, [this] { return Now(); }, this);
    model_->OnLimit = [this](int row, std::optional<std::int64_t> limit) { SetLimit(row, limit); };
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(Qt::UserRole);
    ui.TableView1->setModel(proxy_);
    ui.TableView1->verticalHeader()->setDefaultSectionSize(20);
    ui.TableView1->verticalHeader()->hide();
    // Fixed widths: a changed text never lays the table out again.
    QHeaderView* header = ui.TableView1->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[BoardModel::kColumns] = {250, 80, 40, 125, 110, 80, 110, 90, 80, 170, 80, 80, 120};
    for (int col = 0; col < BoardModel::kColumns; ++col)
        header->resizeSection(col, widths[col]);
    // In the order a bidder reads a row: what it is, what it stands at and
    // may close at, the limit and the chance to win at it; the dates, which
    // the time left already tells, last.
    const BoardModel::Column order[] = {BoardModel::Title, BoardModel::Group, BoardModel::Price, BoardModel::Bids,
                                        BoardModel::TimeLeft, BoardModel::Forecast, BoardModel::Market,
                                        BoardModel::MarketForecast, BoardModel::Limit, BoardModel::Chance,
                                        BoardModel::State, BoardModel::End, BoardModel::LastRead};
    static_assert(std::size(order) == BoardModel::kColumns);
    for (int v = 0; v < BoardModel::kColumns; ++v)
        header->moveSection(header->visualIndex(order[v]), v);
    ui.TableView1->sortByColumn(BoardModel::TimeLeft, Qt::AscendingOrder);
    // The rows, not the first setting, have the keyboard when the board opens.
    ui.TableView1->setFocus();

    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &TForm12::Tick);
    pump_.setSingleShot(true);
    connect(&pump_, &QTimer::timeout, this, &TForm12::Pump);

    connect(ui.BitBtn1, &QPushButton::clicked, this, [this] {
        board_.MarkAllDue(Now());
        SchedulePump();
    });
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.BitBtn3, &QPushButton::clicked, this, [this] {
        SaveFileAs(this, "CSVで保存", "mirelo-board.csv", "CSV (*.csv)", "CSVを保存できませんでした",
                   [this] { return BoardCsv(board_.Rows(), clock_()); });
    });
    connect(ui.TableView1, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() == BoardModel::Limit)
            ui.TableView1->edit(index);
        else
            OpenInRun(SourceRow(index));
    });
    connect(ui.TableView1, &QWidget::customContextMenuRequested, this, &TForm12::ContextMenu);
    for (QSpinBox* box : {ui.SpinEdit1, ui.SpinEdit2, ui.SpinEdit3})
        connect(box, &QSpinBox::editingFinished, this, &TForm12::StoreSettingsFromControls);
    for (QCheckBox* box : {ui.CheckBox1, ui.CheckBox2})
        connect(box, &QCheckBox::toggled, this, &TForm12::StoreSettingsFromControls);

    ui.Label1->installEventFilter(this);
    ui.Label1->setCursor(Qt::PointingHandCursor);

    digest_ = std::make_unique<BoardDigest>();
    workerContext_ = new QObject;
    workerContext_->moveToThread(&worker_);
    connect(&worker_, &QThread::finished, workerContext_, &QObject::deleteLater);
    worker_.start();
    // On a busy machine the window's thread comes first: a few steps nicer (Linux sets it per thread).
    QMetaObject::invokeMethod(workerContext_, [] {
        const id_t thread = static_cast<id_t>(syscall(SYS_gettid));
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, thread);
        if (errno == 0)
            setpriority(PRIO_PROCESS, thread, std::min(nice + 5, 19));
    });

    ReadSettings();
    UpdateWatching(); // with background refresh on, the board watches from the start
}

TForm12::~TForm12()
{
    Stop();
    // A read under way ends first; its answer to this window is then dropped.
    worker_.quit();
    worker_.wait();
    // A spin box losing the focus as the window goes would store the settings from a half-destroyed form.
    for (QObject* control : {static_cast<QObject*>(ui.SpinEdit1), static_cast<QObject*>(ui.SpinEdit2),
                             static_cast<QObject*>(ui.SpinEdit3), static_cast<QObject*>(ui.CheckBox1),
                             static_cast<QObject*>(ui.CheckBox2)})
        control->disconnect(this);
}

void TForm12::SetNotifier(std::unique_ptr<Notifier> notifier)
{
    notifier_ = std::move(notifier);
    notifierMissing_ = false;
    notifier_->OnAvailability = [this](bool available) {
        notifierMissing_ = !available;
        // The alert that found no service is shown here instead.
        if (!available && !lastAlert_.isEmpty())
            unseen_.push_back(lastAlert_);
        UpdateStatus();
    };
}

void TForm12::ReadSettings()
{
    const BoardSettings s = ReadBoardSettings();
    board_.SetSettings(s);
    const QSignalBlocker b1(ui.SpinEdit1), b2(ui.SpinEdit2), b3(ui.SpinEdit3), b4(ui.CheckBox1), b5(ui.CheckBox2);
    ui.SpinEdit1->setValue(s.floorSeconds);
    ui.SpinEdit2->setValue(s.gapSeconds);
    ui.SpinEdit3->setValue(s.alertMinutes);
    ui.CheckBox1->setChecked(s.alerts);
    ui.CheckBox2->setChecked(s.refreshWhileClosed);
}

void TForm12::StoreSettingsFromControls()
{
    BoardSettings s;
    s.floorSeconds = ui.SpinEdit1->value();
    s.gapSeconds = ui.SpinEdit2->value();
    s.alertMinutes = ui.SpinEdit3->value();
    s.alerts = ui.CheckBox1->isChecked();
    s.refreshWhileClosed = ui.CheckBox2->isChecked();
    StoreBoardSettings(s);
    ReadSettings(); // clamped as stored
    UpdateWatching();
    SchedulePump();
}

void TForm12::FormShow()
{
    ReadSettings();
    ListChanged();
    UpdateWatching();
    if (!fitted_) {
        fitted_ = true;
        QTimer::singleShot(0, this, &TForm12::FitTitle); // once laid out
    }
}

// On a small screen the title gives way, down to a width that still reads,
// so that the limit and the chance to win stay in view. Once: a width the
// user sets stays.
void TForm12::FitTitle()
{
    constexpr int kNarrowestTitle = 150;
    QHeaderView* header = ui.TableView1->horizontalHeader();
    int through = 0;
    for (int v = 0; v <= header->visualIndex(BoardModel::Chance); ++v)
        through += header->sectionSize(header->logicalIndex(v));
    const int over = through - ui.TableView1->viewport()->width();
    if (over > 0)
        header->resizeSection(BoardModel::Title,
                              std::max(kNarrowestTitle, header->sectionSize(BoardModel::Title) - over));
}

void TForm12::hideEvent(QHideEvent* event)
{
    TFormBase::hideEvent(event);
    UpdateWatching();
    // A minimised board is still open, and still watching.
    if (isVisible() || stopped_ || board_.Settings().refreshWhileClosed || toldClosed_ || !MainForm() || !MainForm()->isVisible())
        return;
    toldClosed_ = true;
    auto* box = new QMessageBox(QMessageBox::Information, U("ウォッチボード"),
                                U("ウォッチボードを閉じたので、監視を止めました（更新も通知もしません）。\n"
                                  "閉じても監視を続けるには、ボードの「閉じても更新する」にチェックを入れてください。"),
                                QMessageBox::Ok, MainForm());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm12::UpdateWatching()
{
    const bool watch = Refreshing();
    if (watch == tick_.isActive())
        return;
    if (watch) {
        // What was read before the pause is not alerted until read again.
        board_.Resume(Now());
        tick_.start();
        SchedulePump();
    } else {
        tick_.stop();
        pump_.stop();
    }
}

void TForm12::ListChanged()
{
    const int count = std::clamp(gAuctionList.count, 0, AuctionList::kCapacity);
    const std::vector<AuctionEntry> entries(gAuctionList.entries.begin(), gAuctionList.entries.begin() + count);
    // The selected auction stays selected whatever the new list's order.
    std::string selected;
    if (const QModelIndexList rows = ui.TableView1->selectionModel()->selectedRows(); !rows.isEmpty()) {
        const int row = SourceRow(rows.front());
        if (row >= 0 && static_cast<std::size_t>(row) < board_.Rows().size())
            selected = board_.Rows()[static_cast<std::size_t>(row)].key;
    }
    // Read afresh: another copy may have set one.
    board_.SetLimits(ReadAuctionLimits());
    board_.SetEntries(entries, Now());
    model_->Reset();
    for (std::size_t i = 0; !selected.empty() && i < board_.Rows().size(); ++i) {
        if (board_.Rows()[i].key == selected) {
            ui.TableView1->selectRow(proxy_->mapFromSource(model_->index(static_cast<int>(i), 0)).row());
            break;
        }
    }
    SchedulePump();
}

void TForm12::MainRunRead(const PageReading& page, const std::string& address)
{
    BoardReading reading;
    reading.ok = page.auction.endTime.has_value();
    reading.auction = page.auction;
    reading.prediction = page.prediction;
    reading.now = board_.ServiceTime(page.now);
    reading.recorded = true;
    if (!reading.ok)
        return;
    board_.TakeReading(address, reading);
    model_->RowsChanged();
}

void TForm12::RunStarting()
{
    // Only the transfer gives way: the page's reading is not the network's.
    if (fetching_)
        reader_->Cancel();
}

void TForm12::Stop()
{
    stopped_ = true;
    pump_.stop();
    tick_.stop();
    if (fetching_)
        reader_->Cancel();
}

bool TForm12::CanRun() const
{
    return host_.run && !(host_.runActive && host_.runActive());
}

bool TForm12::Refreshing() const
{
    return !stopped_ && (isVisible() || board_.Settings().refreshWhileClosed);
}

void TForm12::SchedulePump()
{
    if (!Refreshing() || board_.Busy())
        return;
    const std::optional<std::int64_t> wait = board_.WaitForNext(Now());
    if (!wait) {
        pump_.stop();
        return;
    }
    pump_.start(static_cast<int>(std::min<std::int64_t>(*wait, 3600) * 1000));
}

void TForm12::Pump()
{
    if (!Refreshing() || board_.Busy())
        return;
    const std::int64_t now = Now();
    const bool runActive = host_.runActive && host_.runActive();
    const std::optional<std::size_t> next = board_.NextToRead(now, runActive);
    if (!next) {
        // The run ends on its own; look again shortly.
        if (runActive)
            pump_.start(1000);
        else
            SchedulePump();
        return;
    }
    const std::string url = board_.Rows()[*next].url;
    board_.Started(*next, now);
    model_->RowsChanged(board_.RowsOfRead());
    reading_ = QString::fromStdString(Utf8FromSjis(board_.Rows()[*next].title));
    UpdateStatus();
    fetching_ = true;
    BoardFetch fetch = reader_->Fetch(url, now, false);
    fetching_ = false;
    if (fetch.serviceTime)
        board_.LearnClock(clock_(), *fetch.serviceTime);
    const std::int64_t replyEnd = Now();
    if (reader_->Interrupted()) {
        board_.Interrupted(*next, replyEnd);
        AfterRead();
        return;
    }
    if (fetch.failed) {
        board_.Finished(*next, *fetch.failed, replyEnd);
        AfterRead();
        return;
    }
    // The service says whether the auction has ended: read at its time.
    const std::int64_t at = fetch.serviceTime.value_or(now);
    // The worker publishes and removes the private download too: even that can take the disk some milliseconds.
    std::shared_ptr<WorkFile> page(std::move(fetch.page));
    QMetaObject::invokeMethod(
        workerContext_,
        [this, digest = digest_.get(), page, address = fetch.address, at, replyEnd]() mutable {
            const BoardReading reading = digest->Digest(*page, address, at, StoredTendency(), true);
            page.reset();
            QMetaObject::invokeMethod(this, [this, reading, replyEnd] { Digested(reading, replyEnd); },
                                      Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TForm12::Digested(const BoardReading& reading, std::int64_t replyEnd)
{
    board_.Finished(0, reading, replyEnd);
    AfterRead();
}

void TForm12::AfterRead()
{
    // Only the rows of this auction: the others' cells need no new look.
    model_->RowsChanged(board_.RowsOfRead());
    reading_.clear();
    UpdateStatus();
    if (Watching())
        Tick();
    SchedulePump();
}

void TForm12::Tick()
{
    if (isVisible())
        model_->Tick();
    const std::vector<BoardAlert> alerts = board_.DueAlerts(Now());
    if (!board_.Settings().alerts || alerts.empty())
        return;
    // The session bus is looked for at the first alert, not at start-up, and not on this thread.
    if (!notifier_)
        SetNotifier(std::make_unique<Notifier>());
    for (const BoardAlert& alert : alerts) {
        lastAlert_ = QString::fromStdString(alert.summary) + U("　") + QString::fromStdString(alert.body);
        if (notifierMissing_)
            unseen_.push_back(lastAlert_);
        // The end is only news; the others ask for the user.
        notifier_->Notify(alert.summary, alert.body, alert.event != AlertEvent::Ended);
    }
    UpdateStatus();
}

void TForm12::UpdateStatus()
{
    QString text;
    if (!unseen_.empty()) {
        text = unseen_.front();
        if (unseen_.size() > 1)
            text += U("　（ほかに未読 %1 件・クリックで次へ）").arg(unseen_.size() - 1);
    } else if (!reading_.isEmpty()) {
        text = U("更新中: ") + reading_;
    } else if (!note_.isEmpty()) {
        text = note_;
    } else if (notifierMissing_) {
        text = U("通知サービスが見つかりません。お知らせはこの欄に表示します。");
    }
    const std::int64_t offset = board_.ClockOffset();
    if (offset > 5 || offset < -5) {
        const QString clock = offset > 0 ? U("サービスの時計はこの PC より %1 秒進んでいます").arg(offset)
                                         : U("サービスの時計はこの PC より %1 秒遅れています").arg(-offset);
        text = text.isEmpty() ? clock : text + U("　｜ ") + clock;
    }
    // The line keeps its size, so a new text never lays the window out
    // again; on a narrow window the tooltip has the whole text.
    ui.Label1->setText(text);
    ui.Label1->setToolTip(text);
}

void TForm12::ShowStatus(const QString& text)
{
    note_ = text;
    UpdateStatus();
}

bool TForm12::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the status line marks its alert seen.
    if (watched == ui.Label1 && event->type() == QEvent::MouseButtonPress && !unseen_.empty()) {
        unseen_.pop_front();
        UpdateStatus();
        return true;
    }
    return TFormBase::eventFilter(watched, event);
}

void TForm12::SetLimit(int row, std::optional<std::int64_t> limit)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    board_.SetLimit(static_cast<std::size_t>(row), limit);
    // Kept with the auction at once, whatever becomes of the list.
    if (StoreAuctionLimit(board_.Rows()[static_cast<std::size_t>(row)].limitId,
                          limit ? static_cast<std::int32_t>(*limit) : 0) != 0)
        ShowStatus(U("上限を保存できませんでした（設定ファイルに書き込めません）。"));
}

int TForm12::SourceRow(const QModelIndex& index) const
{
    return index.isValid() ? proxy_->mapToSource(index).row() : -1;
}

void TForm12::OpenInRun(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    if (!CanRun()) {
        OpenInBrowser(row);
        return;
    }
    host_.run(board_.Rows()[static_cast<std::size_t>(row)].url);
}

void TForm12::OpenInBrowser(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    OpenWebAddress(QString::fromStdString(Utf8FromSjis(board_.Rows()[static_cast<std::size_t>(row)].url)));
}

void TForm12::ContextMenu(const QPoint& at)
{
    const int row = SourceRow(ui.TableView1->indexAt(at));
    if (row < 0)
        return;
    QMenu menu(this);
    QAction* run = menu.addAction(U("ミレロで予測(&R)"));
    run->setEnabled(CanRun());
    QAction* browser = menu.addAction(U("ブラウザで開く(&B)"));
    QAction* chosen = menu.exec(ui.TableView1->viewport()->mapToGlobal(at));
    if (chosen == run)
        OpenInRun(row);
    else if (chosen == browser)
        OpenInBrowser(row);
}
