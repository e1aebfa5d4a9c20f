#include "app/Unit1.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSaveFile>
#include <QStandardPaths>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>

#include "base/AuctionList.h"
#include "base/Clock.h"
#include "base/Endpoints.h"
#include "base/Text.h"
#include "base/Version.h"
#include "dialogs/Keiko9.h"
#include "dialogs/Ope6.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit4.h"
#include "dialogs/Version5.h"
#include "history/History.h"
#include "history/Rireki11.h"
#include "import/BrowserCookie.h"
#include "import/Cookie8.h"
#include "import/Unit3.h"
#include "import/Url7.h"
#include "net/NMHTTP.h"
#include "net/TransferStatus.h"
#include "ui/Browser.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/Sjis.h"

TForm1* Form1 = nullptr;

namespace {

// The files of a drop, in drop order; none for a drop of text or web links.
QStringList DroppedPaths(const QMimeData* mime)
{
    QStringList paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << QDir::cleanPath(url.toLocalFile());
    }
    return paths;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    ui.setupUi(this);
    ui.Chart1->SetTitle(SJ("入札価格推移"));
    ui.Chart1->SetBottomAxisTitle(SJ("入札日時"));
    ui.Chart1->SetLeftAxisTitle(SJ("入札金額（円)"));

    ui.StringGrid1->SetColCount(5);
    ui.StringGrid1->SetDefaultRowHeight(16);
    ui.StringGrid1->SetColWidths({50, 152, 213, 266, 220});
    // Tab moves on to the next control; the arrow keys walk the cells.
    ui.StringGrid1->setTabKeyNavigation(false);
    SetOuterSize(this, QSize(917, 640));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(ui.Q1, &QAction::triggered, this, [this] { close(); });

    // Silent when the history cannot be written: the results shown stand.
    connect(this, &TForm1::AuctionRead, this, [](const PageReading& reading, const std::string& address) {
        RecordAnalysisRun(reading, gAuctionRecord, gBidLog, address);
    });

    WireTransfer();
    WireCommands();
    WireResults();
    WireAnalysis();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    setAcceptDrops(true);
    // The entry box would take dropped files as text, and Enter as a new item.
    ui.ComboBox1->installEventFilter(this);
    ui.ComboBox1->lineEdit()->installEventFilter(this);
    SetKeyboardHome(ui.ComboBox1);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    closing_ = false;
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        PlaceForm(this, FormPosition::ScreenCenter);
        FormShow();
        ReturnKeyboard();
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    // A run waiting for its page would keep the program, and the lock, until
    // the request's time-out.
    closing_ = true;
    NMHTTP1->Cancel();
    emit WindowClosing();
    QCoreApplication::quit();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui.ComboBox1 && watched != ui.ComboBox1->lineEdit())
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        ui.BitBtn1->click();
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // Files land as on the rest of the window; text is typed into the box.
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = DroppedPaths(drop->mimeData());
        if (paths.isEmpty())
            return false;
        drop->acceptProposedAction();
        if (event->type() == QEvent::Drop)
            WMDropFiles(paths);
        return true;
    }
    default:
        return false;
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    WMDropFiles(paths);
}

void TForm1::WMDropFiles(const QStringList& paths)
{
    ui.StatusBar1->SetSimpleText(std::to_string(paths.size()));
    for (const QString& path : paths) {
        // A path buffer of 1024 bytes, as the shell hands them over.
        std::string sjis = SjisStr(path);
        ui.ComboBox1->setEditText(QStr(FitSjis(sjis, 1023)));
    }
}

void TForm1::FormShow()
{
    ui.Label25->setText(QStr(kVersionText));
    LoadAuctionList();
    gBrowserCookie.Capture("http://" + std::string(kPortalDomain) + "/");
    Timer1Timer();
}

void TForm1::FormClose()
{
    SaveAuctionList();
}

void TForm1::WireCommands()
{
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(ui.BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);
    connect(ui.BitBtn8, &QPushButton::clicked, this, &TForm1::BitBtn8Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, [this] { close(); });
    connect(ui.InternetI1, &QAction::triggered, this, &TForm1::InternetI1Click);
    // A pick in ComboBox1 (ComboBox1Select, TitleGo) is wired with the run in WireAnalysis.
    connect(ui.BitBtn2, &QPushButton::clicked, this, [] { Form3->ShowModal(); });
    connect(ui.URLU1, &QAction::triggered, this, [] { Form8->ShowModal(); });

    connect(ui.Y2, &QAction::triggered, this, [] { Form9->ShowModal(); });
    connect(ui.O1, &QAction::triggered, this, [] { Form6->ShowModal(); });
    connect(ui.C1, &QAction::triggered, this, [] { Form7->ShowModal(); });
    connect(ui.P1, &QAction::triggered, this, [] { Form4->ShowModal(); });
    connect(ui.V1, &QAction::triggered, this, [] { Form5->ShowModal(); });
    connect(ui.BitBtn4, &QPushButton::clicked, this, [] { Form2->show(); });
    connect(ui.M1, &QAction::triggered, this, [] {
        Form11->show();
        Form11->raise();
        Form11->activateWindow();
    });
    // 監視 → ウォッチボード is wired where the windows are made (app/Forms.cpp).
}

void TForm1::LoadAuctionList()
{
    ReadAuctionList(gAuctionList);
    ShowAuctionTitles();
}

void TForm1::ShowAuctionTitles()
{
    ui.ComboBox1->clear();
    for (int i = 0; i < gAuctionList.count; ++i)
        ui.ComboBox1->addItem(QStr(gAuctionList.entries[static_cast<std::size_t>(i)].Title));
    if (gAuctionList.count > 0)
        ui.ComboBox1->setEditText(QStr(gAuctionList.entries[0].Title));
    emit ListChanged();
}

void TForm1::SaveAuctionList()
{
    // The question offers no way back: the program ends whatever the answer.
    int answer = MessageBox(this, SJ("商品リストを保存してから終了しますか？"), SJ("メッセージ"), MB_YESNO | MB_ICONINFORMATION);
    StoreAuctionList(gAuctionList, answer == IDYES);
}

void TForm1::BitBtn5Click()
{
    if (MessageBox(this, SJ("コンボボックスの値を全てクリアしますか？"), SJ("メッセージ"), MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    // The box only: the list still answers title lookups and is saved at close.
    ui.ComboBox1->clear();
    ui.ComboBox1->clearEditText();
}

void TForm1::BitBtn8Click()
{
    std::string text(FitSjis(TrimText(SjisStr(ui.ComboBox1->currentText())), AuctionList::kTextBytes));
    if (text.empty())
        return;
    if (int entry = LookupTitle(text); entry >= 0)
        text = TrimText(gAuctionList.entries[static_cast<std::size_t>(entry)].Url);
    OpenWebAddress(QStr(text));
}

void TForm1::InternetI1Click()
{
    // The usage page ships inside the program; the browser gets a copy as a file.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/quillmere/mirelo");
    QFile page(QStringLiteral(":/help/usage.html"));
    QSaveFile copy(dir + QStringLiteral("/usage.html"));
    if (!QDir().mkpath(dir) || !page.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        return;
    copy.write(page.readAll());
    if (copy.commit())
        OpenUrl(QUrl::fromLocalFile(copy.fileName()));
}

// The main window's component, with the values stored with its design.
void TForm1::WireTransfer()
{
    NMHTTP1 = new TNMHTTP(this);
    NMHTTP1->TimeOut = 300000;
    NMHTTP1->ReportLevel = 2;
    auto* status = new TransferStatus(NMHTTP1, this, ui.StatusBar1);
    connect(ui.BitBtn6, &QAbstractButton::clicked, status, &TransferStatus::AskCancel);
}

void TForm1::RunAuction(const std::string& address)
{
    ui.ComboBox1->setEditText(QStr(address));
    raise();
    RunAnalysis();
}

void TForm1::Timer1Timer()
{
    ui.Label26->setText(ClockText(QDateTime::currentDateTime()));
    if (!Timer1->isActive())
        Timer1->start();
}
