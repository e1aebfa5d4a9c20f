#include "app/Unit1.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QMimeData>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>

#include "app/Text.h"
#include "ui/Form.h"
#include "ui/Sjis.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    ui.setupUi(this);
    ui.Chart1->SetTitle(SJ("入札価格推移"));
    ui.Chart1->SetBottomAxisTitle(SJ("入札日時"));
    ui.Chart1->SetLeftAxisTitle(SJ("入札金額（円)"));

    ui.StringGrid1->SetColCount(5);
    ui.StringGrid1->SetDefaultRowHeight(16);
    ui.StringGrid1->SetColWidths({50, 152, 213, 266, 220});

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(ui.Q1, &QAction::triggered, this, [this] { close(); });

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
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        PlaceForm(this, FormPosition::ScreenCenter);
        FormShow();
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
    QCoreApplication::quit();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << QDir::cleanPath(url.toLocalFile());
    }
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
}

void TForm1::FormClose()
{
}

void TForm1::WireCommands()
{
}
