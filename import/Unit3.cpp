#include "import/Unit3.h"

#include <QScopedValueRollback>
#include <exception>
#include <optional>
#include <utility>

#include "base/HttpAddress.h"
#include "base/Registry.h"
#include "base/Text.h"
#include "dialogs/Unit2.h"
#include "import/BrowserCookie.h"
#include "import/Message10.h"
#include "net/NMHTTP.h"
#include "net/RequestSetup.h"
#include "net/TransferStatus.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/Sjis.h"

TForm3* Form3 = nullptr;

namespace {

constexpr const char* kTopPageFile = "./myauction.txt";
constexpr const char* kListPageFile = "./watch.txt";

// Each failure ends with the same advice: the cookie comes from the browser,
// once per start of the program.
std::string WithCookieAdvice(std::string_view first, std::string_view cause)
{
    return std::string(first) + "\n\n" + std::string(cause)
        + std::string(SJ("IEのCookieが以下の状態でないか確認してください。\n"
                         "・Cookieが無効になっている\n"
                         "・Cookieの有効期限が切れている\n"
                         "・ヤフオクでログオフ状態になっている\n"
                         "対処方法としては、IEでヤフオクにアクセスして、ウォッチリストなどが表示できるか確認してください。\n"
                         "またIEを終了しないと、Cookieに反映されないこともあります。\n"
                         "Cookieを反映するために「ミレロくん」を再起動してください。"));
}

// A plain message: the application's title, no icon.
void Tell(QWidget* owner, std::string_view text)
{
    MessageBox(owner, text, TApplication::Title(), MB_OK);
}

void ConnectionFailed(QWidget* owner, std::string_view first)
{
    MessageBox(owner, WithCookieAdvice(first, SJ("原因として、")), SJ("接続に失敗しました。"), MB_OK | MB_ICONSTOP);
}

} // namespace

TForm3::TForm3(QWidget* parent) : TFormBase(parent, FormPosition::MainFormCenter)
{
    ui.setupUi(this);
    SetDialogClientSize(330, 230);

    // The stored design sets no cookie: each request carries the browser's.
    NMHTTP1 = new TNMHTTP(this);
    NMHTTP1->TimeOut = 300000;
    NMHTTP1->ReportLevel = 2;
    status_ = new TransferStatus(NMHTTP1, this, ui.StatusBar1, ui.BitBtn1, ui.BitBtn6);

    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(ui.BitBtn6, &QPushButton::clicked, status_, &TransferStatus::AskCancel);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QWidget::close);
}

void TForm3::BitBtn1Click()
{
    // "取り込み" is usable again between the two requests and while a name is
    // looked up; a second run in there would drive the same component twice.
    if (running_)
        return;
    {
        const QScopedValueRollback<bool> running(running_, true);
        ImportRun();
    }
    if (std::exchange(closeAfterRun_, false))
        QDialog::reject();
}

// The close box, "閉じる" and Escape all come here. Hidden during a run, the
// window would go on receiving out of reach of "中止" and pop up its result
// from nowhere: a close then asks as "中止" does, and on Yes the window closes
// once the cancelled run has reported.
void TForm3::reject()
{
    if (!running_) {
        QDialog::reject();
        return;
    }
    if (status_->AskCancel())
        closeAfterRun_ = true;
}

void TForm3::ImportRun()
{
    if (!CookieConsent())
        return;

    const std::string topUrl = ReadMyAuctionUrl();
    // An "https://" address cannot be split: there is no TLS to fetch it with.
    const std::optional<HttpAddress> top = SplitHttpAddress(topUrl);
    if (!top) {
        Tell(this, AddressMessage(topUrl));
        return;
    }
    WorkFile topPage(kTopPageFile);
    if (!Fetch(*top, topPage))
        return;
    ParseMyAuctionTop(topPage.Path(), AppendDebugLog);

    const MyAuctionListChoice& choice = ChoiceOf(ChosenList());
    emit ListChosen(QStr(std::string(SJ("ミレロくん")) + std::string(choice.captionSuffix)));

    const std::optional<HttpAddress> list = SplitHttpAddress(gMyAuctionLinks.*choice.link);
    if (!list) {
        ConnectionFailed(this, SJ("マイ･オークションからＵＲＬを取得できませんでした。"));
        return;
    }
    WorkFile listPage(kListPageFile);
    if (!Fetch(*list, listPage))
        return;
    ParseMyAuctionList(listPage.Path(), choice.heading);
    ShowImported();

    if (ReadRegistrySwitch(regvalue::WatchGo, 1) && FollowUpRun)
        FollowUpRun();
    closeAfterRun_ = true; // a close inside the run would ask the cancel question
}

MyAuctionList TForm3::ChosenList() const
{
    if (ui.RadioButton2->isChecked())
        return MyAuctionList::WatchEnded;
    if (ui.RadioButton3->isChecked())
        return MyAuctionList::Bidding;
    if (ui.RadioButton4->isChecked())
        return MyAuctionList::Selling;
    return MyAuctionList::WatchRunning;
}

bool TForm3::Fetch(const HttpAddress& address, WorkFile& file)
{
    try {
        // An empty cookie sends no Cookie line at all.
        NMHTTP1->HeaderInfo.Cookie = gBrowserCookie.Text();
        file.Fetch(*NMHTTP1, address, address.path);
        return true;
    } catch (const std::exception&) {
        ConnectionFailed(this, SJ("処理を中断しました。"));
        return false;
    }
}

void TForm3::ShowImported()
{
    if (gAuctionList.count == 0) {
        emit ListImported();
        MessageBox(this, WithCookieAdvice(SJ("１件も取得できませんでした。"), SJ("実際にはあるという場合の原因として、")),
                   SJ("確認メッセージ"), MB_OK | MB_ICONWARNING);
        return;
    }
    emit ListImported();
    Tell(this, std::to_string(gAuctionList.count) + std::string(SJ(" 件、取得できました。")));
}
