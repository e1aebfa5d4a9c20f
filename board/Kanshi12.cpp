#include "board/Kanshi12.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QUrl>
#include <algorithm>

#include "analysis/Prediction.h"
#include "app/AuctionList.h"
#include "app/Text.h"
#include "app/Unit1.h"
#include "board/BoardModel.h"
#include "board/BoardText.h"
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
    if (Form1)
        connect(Form1, &TForm1::RunStarting, this, &TForm12::RunStarting);

    model_ = new BoardModel(board_, [this] { return static_cast<std::int64_t>(clock_()); }, this);
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
    // The chance beside the limit, the group beside the title.
    header->moveSection(header->visualIndex(BoardModel::Chance), header->visualIndex(BoardModel::Limit) + 1);
    header->moveSection(header->visualIndex(BoardModel::Group), header->visualIndex(BoardModel::Title) + 1);
    ui.TableView1->sortByColumn(BoardModel::TimeLeft, Qt::AscendingOrder);
    // The rows, not the first setting, have the keyboard when the board opens.
    ui.TableView1->setFocus();

    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &TForm12::Tick);
    pump_.setSingleShot(true);
    connect(&pump_, &QTimer::timeout, this, &TForm12::Pump);

    connect(ui.BitBtn1, &QPushButton::clicked, this, [this] {
        board_.MarkAllDue(clock_());
        SchedulePump();
    });
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.BitBtn3, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8("CSVで保存"),
                                                          QStringLiteral("mirelo-board.csv"), QStringLiteral("CSV (*.csv)"));
        if (path.isEmpty())
            return;
        const std::string csv = BoardCsv(board_.Rows(), clock_());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size())
            || !file.commit())
            MessageBox(this, SjisFromUtf8("CSVを保存できませんでした：" + file.errorString().toStdString()), SJ("メッセージ"),
                       MB_OK | MB_ICONWARNING);
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

    ReadSettings();
    tick_.start();
}

TForm12::~TForm12()
{
    Stop();
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
        if (!available)
            ShowStatus(U("通知サービスが見つかりません。お知らせはこの欄に表示します。") + lastAlert_);
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
    SchedulePump();
}

void TForm12::FormShow()
{
    ReadSettings();
    ListChanged();
}

void TForm12::ListChanged()
{
    const int count = std::clamp(gAuctionList.count, 0, AuctionList::kCapacity);
    const std::vector<AuctionEntry> entries(gAuctionList.entries.begin(), gAuctionList.entries.begin() + count);
    board_.SetEntries(entries, clock_());
    // Limits the board kept through an import go back into the list.
    for (int i = 0; i < count; ++i) {
        AuctionEntry& entry = gAuctionList.entries[static_cast<std::size_t>(i)];
        const std::optional<std::int64_t>& limit = board_.Rows()[static_cast<std::size_t>(i)].limit;
        if (limit && entry.Limit != *limit) {
            entry.Limit = static_cast<std::int32_t>(*limit);
            StoreEntryLimit(i, entry.Limit);
        }
    }
    model_->Reset();
    SchedulePump();
}

void TForm12::RunStarting()
{
    if (board_.Busy())
        reader_->Cancel();
}

void TForm12::Stop()
{
    stopped_ = true;
    pump_.stop();
    tick_.stop();
    if (board_.Busy())
        reader_->Cancel();
}

bool TForm12::Refreshing() const
{
    return !stopped_ && (isVisible() || board_.Settings().refreshWhileClosed);
}

void TForm12::SchedulePump()
{
    if (!Refreshing() || board_.Busy())
        return;
    const std::optional<std::int64_t> wait = board_.WaitForNext(clock_());
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
    const std::time_t now = clock_();
    const bool runActive = Form1 && Form1->RunActive();
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
    ShowStatus(U("更新中: ") + QString::fromStdString(Utf8FromSjis(board_.Rows()[*next].title)));
    const BoardReading reading = reader_->Read(url, now, StoredTendency(), true);
    if (reader_->Interrupted())
        board_.Interrupted(*next, clock_());
    else
        board_.Finished(*next, reading);
    // Only the rows of this auction: the others' cells need no new look.
    model_->RowsChanged(board_.RowsOfRead());
    if (!notifierMissing_)
        ShowStatus(QString());
    Tick();
    SchedulePump();
}

void TForm12::Tick()
{
    if (isVisible())
        model_->Tick();
    const std::vector<BoardAlert> alerts = board_.DueAlerts(clock_());
    if (!board_.Settings().alerts)
        return;
    // The session bus is looked for at the first alert, not at start-up.
    if (!alerts.empty() && !notifier_)
        SetNotifier(std::make_unique<Notifier>());
    for (const BoardAlert& alert : alerts) {
        lastAlert_ = U("　") + QString::fromStdString(alert.summary) + U("　") + QString::fromStdString(alert.body);
        if (notifierMissing_)
            ShowStatus(lastAlert_.mid(1));
        notifier_->Notify(alert.summary, alert.body);
    }
}

void TForm12::ShowStatus(const QString& text)
{
    ui.Label1->setText(text);
}

void TForm12::SetLimit(int row, std::optional<std::int64_t> limit)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    const std::string key = board_.Rows()[static_cast<std::size_t>(row)].key;
    board_.SetLimit(static_cast<std::size_t>(row), limit);
    // Kept with every list entry of the auction, at once.
    for (int i = 0; i < std::clamp(gAuctionList.count, 0, AuctionList::kCapacity); ++i) {
        AuctionEntry& entry = gAuctionList.entries[static_cast<std::size_t>(i)];
        if (AuctionKey(entry.Url) == key) {
            entry.Limit = limit ? static_cast<std::int32_t>(*limit) : 0;
            StoreEntryLimit(i, entry.Limit);
        }
    }
}

int TForm12::SourceRow(const QModelIndex& index) const
{
    return index.isValid() ? proxy_->mapToSource(index).row() : -1;
}

void TForm12::OpenInRun(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    if (!Form1 || Form1->RunActive()) {
        OpenInBrowser(row);
        return;
    }
    Form1->ui.ComboBox1->setEditText(QStr(board_.Rows()[static_cast<std::size_t>(row)].url));
    Form1->raise();
    Form1->RunAnalysis();
}

void TForm12::OpenInBrowser(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= board_.Rows().size())
        return;
    // Web addresses only, as the main window's browser button.
    const QUrl url(QString::fromStdString(Utf8FromSjis(board_.Rows()[static_cast<std::size_t>(row)].url)).trimmed());
    if (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        && !url.host().isEmpty())
        OpenUrl(url);
}

void TForm12::ContextMenu(const QPoint& at)
{
    const int row = SourceRow(ui.TableView1->indexAt(at));
    if (row < 0)
        return;
    QMenu menu(this);
    QAction* run = menu.addAction(U("ミレロで予測(&R)"));
    run->setEnabled(Form1 && !Form1->RunActive());
    QAction* browser = menu.addAction(U("ブラウザで開く(&B)"));
    QAction* chosen = menu.exec(ui.TableView1->viewport()->mapToGlobal(at));
    if (chosen == run)
        OpenInRun(row);
    else if (chosen == browser)
        OpenInBrowser(row);
}
