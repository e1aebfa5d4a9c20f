#include "net/TransferStatus.h"

#include <QAbstractButton>
#include <string>

#include "base/Text.h"
#include "ui/Dialogs.h"
#include "ui/StatusBar.h"

namespace {

std::string_view FailureText(CmdType cmd)
{
    switch (cmd) {
    case CmdType::Get: return SJ("Get 失敗");
    case CmdType::Options: return SJ("Options 失敗");
    case CmdType::Head: return SJ("Head 失敗");
    case CmdType::Post: return SJ("Post 失敗");
    case CmdType::Put: return SJ("Put 失敗");
    case CmdType::Patch: return SJ("Patch 失敗");
    case CmdType::Copy: return SJ("Copy 失敗");
    case CmdType::Move: return SJ("Move 失敗");
    case CmdType::Delete: return SJ("Delete 失敗");
    case CmdType::Link: return SJ("Link 失敗");
    case CmdType::Unlink: return SJ("UnLink 失敗");
    case CmdType::Trace: return SJ("Trace 失敗");
    case CmdType::Wrapped: return SJ("Wrapped 失敗");
    }
    return {};
}

} // namespace

TransferStatus::TransferStatus(TNMHTTP* http, QWidget* owner, StatusBar* bar, QAbstractButton* start,
                               QAbstractButton* cancel)
    : QObject(owner), http_(http), owner_(owner), bar_(bar), start_(start), cancel_(cancel)
{
    http->OnHostResolved = [this] { Show(SJ("ＨＯＳＴ解決")); };
    http->OnConnect = [this] {
        Show(SJ("ＨＯＳＴ通信中"));
        SetBusy(true);
    };
    http->OnPacketRecvd = [this] {
        if (http_)
            Show(std::to_string(http_->BytesRecvd) + std::string(SJ(" bytes 受信")));
    };
    http->OnPacketSent = [this] {
        if (http_)
            Show(std::to_string(http_->BytesSent) + std::string(SJ(" bytes 送信")));
    };
    http->OnStatus = [this](const std::string& status) { Show(status); };
    http->OnSuccess = [this](CmdType) {
        Show(SJ("正常終了"));
        SetBusy(false);
    };
    http->OnFailure = [this](CmdType cmd) {
        if (const std::string_view text = FailureText(cmd); !text.empty())
            Show(text);
        SetBusy(false);
    };
    http->OnDisconnect = [this] {
        Show(SJ("ＨＯＳＴ通信完了"));
        SetBusy(false);
    };
    http->OnConnectionFailed = [this] {
        MessageBox(owner_, SJ("エラー"), SJ("接続に失敗しました。"), MB_OK | MB_ICONSTOP);
        SetBusy(false);
    };
    http->OnInvalidHost = [this](bool& handled) {
        std::string host;
        if (InputQuery("Invalid Host", "Please Choose another host", host) && http_) {
            http_->Host = host;
            handled = true;
        }
        SetBusy(false);
    };
}

void TransferStatus::Show(std::string_view text)
{
    if (bar_)
        bar_->SetSimpleText(text);
}

void TransferStatus::SetBusy(bool busy)
{
    if (cancel_)
        cancel_->setEnabled(busy);
    if (start_)
        start_->setEnabled(!busy);
}

bool TransferStatus::AskCancel()
{
    if (MessageBox(owner_, SJ("受信を中断しますか？"), SJ("メッセージ"), MB_YESNO | MB_ICONWARNING) != IDYES || !http_)
        return false;
    http_->Cancel();
    return true;
}
