#include "net/Powersock.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 65536;

struct ErrorText {
    int code;
    const char* text;
};

// The last row is the table's terminator and never matches.
constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Wrong protocol type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Incompatible version of WINSOCK.DLL"},
    {10093, "Successful WSAStartup not yet performed"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
    {0, "Unrecognized error code"},
};

// Errors a connect attempt reports as its outcome rather than as misuse.
bool IsConnectOutcome(int err)
{
    return err == ECONNREFUSED || err == ETIMEDOUT || err == ENETUNREACH || err == EHOSTUNREACH
        || err == ECONNRESET;
}

} // namespace

std::string SocketErrorMessage(int code)
{
    for (const ErrorText& row : kErrorTexts) {
        if (row.code != 0 && row.code == code)
            return std::to_string(code) + ":" + row.text;
    }
    return "Unknown Error No. " + std::to_string(code);
}

int SocketErrorCode(int err)
{
    switch (err) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: case EINPROGRESS: return WSAEWOULDBLOCK; // a non-blocking connect in progress is "would block" too
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: case EPIPE: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 20000 + err; // outside the table, so it reads "Unknown Error No."
    }
}

// ---------------------------------------------------------------------------

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    QObject::connect(timer_, &QTimer::timeout, this, [this] {
        if (OnTimer)
            OnTimer();
    });
}

void TThreadTimer::SetEnabled(bool value)
{
    if (value == enabled_)
        return;
    enabled_ = value;
    Update();
}

void TThreadTimer::SetInterval(unsigned ms)
{
    if (ms == interval_)
        return;
    interval_ = ms;
    Update();
}

void TThreadTimer::Update()
{
    timer_->stop();
    if (interval_ != 0 && enabled_ && OnTimer)
        timer_->start(static_cast<int>(std::min<unsigned>(interval_, INT_MAX)));
}

// ---------------------------------------------------------------------------

TPowersock::HostLookup TPowersock::LookupOverride;

TPowersock::TPowersock(QObject* parent)
    : QObject(parent),
      readNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(QSocketNotifier::Write, this)),
      timer_(new TThreadTimer(this)),
      buffer_(kChunk + 1)
{
    ReportStatus(8, "Create");
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    QObject::connect(readNotifier_, &QSocketNotifier::activated, this, [this] { ReadReady(); });
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { WriteReady(); });
    timer_->SetEnabled(false);
    timer_->OnTimer = [this] { TimerTriggered(); };

    ReportStatus(8, "Initializing Winsock");
    OpenSocket(true);
    if (fd_ < 0)
        throw ESockError("Initializaton of windows sockets failed");
}

TPowersock::~TPowersock()
{
    destroying_ = true;
    ReportStatus(8, "Destroy");
    TPowersock::Abort();
    Cancel();
    timer_->SetEnabled(false);
    if (qtLookupId_ >= 0)
        QHostInfo::abortHostLookup(qtLookupId_);
    noReopen_ = true;
    try {
        RequestCloseSocket();
    } catch (...) {
    }
}

void TPowersock::ReportStatus(int level, std::string_view text)
{
    if (level > ReportLevel)
        return;
    Status = std::string(text);
    if (destroying_ || !OnStatus)
        return;
    try {
        OnStatus(Status);
    } catch (...) {
    }
}

void TPowersock::OpenSocket(bool resetOnClose)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    connectStarted_ = false;
    pendingError_ = 0;
    if (fd_ < 0)
        return;
    if (resetOnClose) {
        linger zero{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &zero, sizeof zero);
    }
    readNotifier_->setSocket(fd_);
    writeNotifier_->setSocket(fd_);
}

// Closes the handle without the events of a close (a socket spent by a failed
// connect is swapped for a new one before the next attempt).
void TPowersock::CloseHandle()
{
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    readArmed_ = writeArmed_ = connecting_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void TPowersock::Fail(int err)
{
    errno = err;
    CheckSocketError(WSAEWOULDBLOCK);
}

void TPowersock::CheckSocketError(int expected)
{
    LastErrorNo = SocketErrorCode(errno);
    if (LastErrorNo != expected && LastErrorNo > 10000) {
        ReportStatus(8, "Looking Up Error Message");
        throw ESockError(SocketErrorMessage(LastErrorNo));
    }
}

// ---------------------------------------------------------------------------
// Notifications. Each notifier is switched off before its handler runs, so a
// handler that opens a modal box is not entered again by the same readiness,
// and a closed peer does not keep a notifier firing.

void TPowersock::WriteReady()
{
    writeNotifier_->setEnabled(false);
    if (!connecting_) {
        writeArmed_ = false;
        return;
    }
    connecting_ = false;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    LastEventOk = err == 0;
    if (!LastEventOk) {
        LastErrorNo = SocketErrorCode(err);
        return;
    }
    Connected = true;
    try {
        if (OnConnect)
            OnConnect();
    } catch (...) {
    }
}

void TPowersock::ReadReady()
{
    readNotifier_->setEnabled(false);
    readArmed_ = false;
    char byte;
    ssize_t n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    LastEventOk = n >= 0 || errno == EAGAIN;
    // Only an orderly close with nothing left to read closes here; data still
    // waiting is read by the receiving loop. The peek has taken a reset off the
    // socket, so it is kept for that loop to report instead of a quiet end.
    if (!LastEventOk)
        pendingError_ = errno;
    if (n != 0)
        return;
    try {
        RequestCloseSocket();
    } catch (...) {
    }
}

void TPowersock::LookupDone(unsigned id, std::uint32_t address)
{
    if (id != lookupId_)
        return; // an abandoned lookup
    qtLookupId_ = -1;
    lookupAddress_ = address;
    LastEventOk = address != 0;
    WaitDone = true;
}

// ---------------------------------------------------------------------------
// Waiting: the GUI thread sleeps in its event loop until something happens
// (socket readiness, the timer, a click), so nothing spins while a slow peer
// takes its time, and every window event is handled during the wait.

void TPowersock::WaitUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Until the notifier's handler disarms it (the socket is ready or closed),
// or the step is canceled.
void TPowersock::WaitReady(QSocketNotifier* notifier, bool& armed)
{
    if (fd_ < 0)
        return;
    armed = true;
    notifier->setEnabled(true);
    WaitUntil([&] { return !armed || Canceled; });
    armed = false;
    notifier->setEnabled(false);
}

void TPowersock::WaitReadable()
{
    WaitReady(readNotifier_, readArmed_);
    if (const int err = std::exchange(pendingError_, 0))
        Fail(err);
}

void TPowersock::WaitWritable()
{
    WaitReady(writeNotifier_, writeArmed_);
}

void TPowersock::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// ---------------------------------------------------------------------------

void TPowersock::TimerOn()
{
    ReportStatus(8, "Timer On");
    TimedOut = false;
    timer_->SetInterval(static_cast<unsigned>(std::max(TimeOut, 0)));
    timer_->SetEnabled(true);
}

void TPowersock::TimerOff()
{
    ReportStatus(8, "Timer Off");
    timer_->SetEnabled(false);
}

void TPowersock::TimerTriggered()
{
    ReportStatus(8, "Timer Triggered");
    TimerOff();
    TimedOut = true;
    WaitDone = true;
    Abort();
}

void TPowersock::Cancel()
{
    ReportStatus(8, "Canceling");
    Canceled = true;
}

void TPowersock::Abort()
{
    ReportStatus(8, "Abort");
    Cancel();
}

// ---------------------------------------------------------------------------

void TPowersock::ResolveHost()
{
    ReportStatus(8, "Resolve Host");
    const std::string& name = Proxy.empty() ? Host : Proxy;
    in_addr dotted{};
    if (name.find('\0') == std::string::npos && ::inet_aton(name.c_str(), &dotted)) {
        RemoteAddress = dotted.s_addr;
        return;
    }
    RemoteAddress = 0;
    TimerOn();
    WaitDone = false;
    const unsigned id = ++lookupId_;
    if (LookupOverride) {
        QPointer<TPowersock> self(this);
        LookupOverride(name, [self, id](const std::string& address) {
            in_addr a{};
            if (self)
                self->LookupDone(id, !address.empty() && ::inet_aton(address.c_str(), &a) ? a.s_addr : 0);
        });
    } else {
        qtLookupId_ = QHostInfo::lookupHost(QString::fromLatin1(name.data(), qsizetype(name.size())), this,
                                            [this, id](const QHostInfo& info) {
                                                std::uint32_t address = 0;
                                                if (info.error() == QHostInfo::NoError) {
                                                    for (const QHostAddress& a : info.addresses()) {
                                                        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                                                            address = htonl(a.toIPv4Address());
                                                            break;
                                                        }
                                                    }
                                                }
                                                LookupDone(id, address);
                                            });
    }
    WaitUntil([this] { return WaitDone || TimedOut || Canceled; });
    TimerOff();
    if (lookupId_ == id && !WaitDone) {
        ++lookupId_; // an answer arriving later is ignored
        if (qtLookupId_ >= 0)
            QHostInfo::abortHostLookup(qtLookupId_);
        qtLookupId_ = -1;
    }
    if (TimedOut)
        throw ESockError("Host Lookup Timed Out");
    if (Canceled)
        throw ESockError("Host Lookup Canceled");
    if (!LastEventOk)
        throw ESockError("Host Lookup Failed");
    RemoteAddress = lookupAddress_;
    if (OnHostResolved)
        OnHostResolved();
}

void TPowersock::Connect()
{
    ReportStatus(8, "Connecting");
    Canceled = false;
    if (Connected)
        throw ESockError("Already connected");

    for (int attempts = 0;; ++attempts) {
        try {
            ResolveHost();
        } catch (const ESockError& e) {
            const std::string_view message = e.what();
            if (message == "Host Lookup Timed Out" || message == "Host Lookup Canceled")
                throw;
        }
        if (RemoteAddress != 0)
            break;
        bool handled = false;
        if (attempts == 0 && OnInvalidHost)
            OnInvalidHost(handled);
        if (!handled)
            throw ESockError("Null Remote Address");
    }

    if (connectStarted_ || fd_ < 0) {
        CloseHandle();
        OpenSocket(false);
        if (fd_ < 0)
            Fail(errno);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(Proxy.empty() ? Port : ProxyPort));
    address.sin_addr.s_addr = RemoteAddress;

    WaitDone = false;
    LastEventOk = true;
    connectStarted_ = true;
    connecting_ = true;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        const int err = errno;
        connecting_ = false;
        if (!IsConnectOutcome(err))
            Fail(err);
        // Refused at once: reported like a connect that completed with an error.
        LastEventOk = false;
        LastErrorNo = SocketErrorCode(err);
    }
    writeNotifier_->setEnabled(connecting_);
    TimerOn();
    WaitUntil([this] { return Connected || TimedOut || Canceled || !LastEventOk; });
    TimerOff();
    writeNotifier_->setEnabled(false);
    connecting_ = false;

    if (!TimedOut && !Canceled && LastEventOk)
        return;
    if (OnConnectionFailed)
        OnConnectionFailed();
    if (TimedOut)
        throw ESockError("Connection Timed out");
    if (Canceled)
        throw ESockError("Connection Canceled");
    throw ESockError("Connection Failed");
}

void TPowersock::Disconnect()
{
    ReportStatus(8, "Disconnecting");
    RequestCloseSocket();
}

void TPowersock::RequestCloseSocket()
{
    ReportStatus(4, "Request Close Socket");
    Connected = false;
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    readArmed_ = writeArmed_ = connecting_ = false; // wakes a waiting loop
    if (::close(fd) != 0 && errno != EINTR) {
        const int err = errno;
        if (!noReopen_)
            OpenSocket(false);
        Fail(err);
    }
    if (!destroying_ && OnDisconnect)
        OnDisconnect();
    if (!noReopen_)
        OpenSocket(false);
}

// ---------------------------------------------------------------------------

// Runs a timed step: the timer counts while it runs and stops however it ends.
void TPowersock::Timed(const std::function<void()>& step)
{
    TimerOn();
    try {
        step();
    } catch (...) {
        TimerOff();
        throw;
    }
    TimerOff();
}

// A step that was canceled (or timed out) ends with its abort message.
void TPowersock::EndStep(const char* abortMessage)
{
    if (Canceled) {
        Canceled = false;
        throw EAbortError(abortMessage);
    }
}

// One send attempt: the bytes taken, 0 when nothing more can go, -1 to try
// again (after waiting for room when the socket was full).
ssize_t TPowersock::SendSome(const char* data, std::size_t size)
{
    const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
        return n;
    if (errno == EAGAIN)
        WaitWritable();
    else if (errno != EINTR)
        Fail(errno);
    return -1;
}

// After a receive that returned no data: true when the loop must end (the
// socket was already replaced by a fresh one), false after waiting for more.
bool TPowersock::ReceiveEnded(int err)
{
    LastErrorNo = SocketErrorCode(err);
    if (LastErrorNo == WSAENOTCONN)
        return true;
    if (LastErrorNo != WSAEWOULDBLOCK)
        Fail(err);
    WaitReadable();
    return false;
}

void TPowersock::SendBuffer(const char* buffer, std::size_t length)
{
    ReportStatus(4, "Sending Buffer");
    Timed([&] {
        if (Canceled)
            return;
        if (length == 0) {
            length = ::strnlen(buffer, kChunk);
            if (length >= kChunk)
                throw ERangeError();
        }
        for (std::size_t sent = 0; sent < length && !Canceled;) {
            const ssize_t n = SendSome(buffer + sent, length - sent);
            if (n == 0)
                break;
            if (n > 0)
                sent += static_cast<std::size_t>(n);
        }
    });
    EndStep("Socket send aborted");
}

void TPowersock::Write(std::string_view text)
{
    ReportStatus(8, "Write");
    // The whole text goes out, NUL bytes included: a silent cut at a NUL
    // would leave a Content-Length promising bytes that never come.
    if (text.size() >= kChunk)
        throw ERangeError();
    std::copy(text.begin(), text.end(), buffer_.begin());
    buffer_[text.size()] = '\0';
    SendBuffer(buffer_.data(), text.size());
}

void TPowersock::Writeln(std::string_view text)
{
    ReportStatus(8, "Writeln");
    std::string line(text);
    line += "\r\n";
    Write(line);
}

void TPowersock::SendFile(const std::string& name)
{
    ReportStatus(8, "SendFile");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"), &std::fclose);
    if (!file)
        throw Exception("Cannot open file \"" + name + "\"");
    while (!Canceled) {
        const std::size_t got = std::fread(buffer_.data(), 1, kChunk, file.get());
        if (got == 0)
            break;
        for (std::size_t sent = 0; sent < got && !Canceled;) {
            const ssize_t n = SendSome(buffer_.data() + sent, got - sent);
            if (n == 0)
                break;
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                BytesSent += n;
                if (OnPacketSent)
                    OnPacketSent();
            }
            ProcessMessages();
        }
    }
    file.reset();
    EndStep("Socket send aborted");
}

std::string TPowersock::ReadLn()
{
    ReportStatus(8, "ReadLn");
    std::size_t taken = 0;
    std::size_t lineEnd = 0; // one past the line feed; 0 = none seen
    bool closed = false;
    Timed([&] {
        while (!Canceled) {
            if (taken == kChunk)
                throw ERangeError();
            const ssize_t n = ::recv(fd_, buffer_.data() + taken, kChunk - taken, MSG_PEEK | MSG_DONTWAIT);
            if (n == 0) {
                closed = true;
                return;
            }
            if (n < 0) {
                if (ReceiveEnded(errno))
                    return;
                continue;
            }
            const char* from = buffer_.data() + taken;
            if (const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(n))) {
                lineEnd = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data()) + 1;
                return;
            }
            // Those bytes are already in the buffer; take them off the socket.
            ::recv(fd_, buffer_.data() + taken, static_cast<std::size_t>(n), MSG_DONTWAIT);
            taken += static_cast<std::size_t>(n);
            ProcessMessages();
        }
    });
    if (closed)
        return {};
    EndStep("Socket readln aborted");
    if (lineEnd == 0)
        return {}; // closed in the middle of a line: as for an orderly close
    ::recv(fd_, buffer_.data() + taken, lineEnd - taken, MSG_DONTWAIT);
    return std::string(buffer_.data(), lineEnd);
}

template <class Sink>
void TPowersock::Capture(Sink&& sink, std::int64_t limit, const char* abortMessage)
{
    std::int64_t total = 0;
    Timed([&] {
        while (!Canceled && (limit < 0 || total < limit)) {
            const ssize_t n = ::recv(fd_, buffer_.data(), kChunk, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && ReceiveEnded(errno)))
                return;
            if (n < 0)
                continue;
            sink(buffer_.data(), static_cast<std::size_t>(n));
            total += n;
            BytesRecvd += n;
            if (OnPacketRecvd)
                OnPacketRecvd();
            TimerOn();
            ProcessMessages();
        }
    });
    EndStep(abortMessage);
}

void TPowersock::CaptureFile(const std::string& name, std::int64_t limit)
{
    ReportStatus(8, "CaptureFile");
    BytesRecvd = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "wb"), &std::fclose);
    if (!file)
        throw Exception("Cannot create file \"" + name + "\"");
    Capture(
        [&](const char* data, std::size_t size) {
            if (std::fwrite(data, 1, size, file.get()) != size)
                throw Exception("Stream write error");
        },
        limit, "Socket send aborted");
    if (std::fclose(file.release()) != 0)
        throw Exception("Stream write error");
}

void TPowersock::CaptureString(std::string& text, std::int64_t limit)
{
    ReportStatus(8, "Capture String");
    BytesRecvd = 0;
    text.clear();
    Capture([&](const char* data, std::size_t size) { text.append(data, size); }, limit, "Socket capture aborted");
}

bool TPowersock::DataAvailable()
{
    ReportStatus(8, "Data Available");
    char byte;
    return ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 1;
}

int TPowersock::Transaction(std::string_view line)
{
    ReportStatus(8, "Transaction");
    Writeln(line);
    const std::string reply = ReadLn();
    ReportStatus(1, reply);
    long long number = 0;
    for (std::size_t i = 0; i < reply.size() && i < 10 && reply[i] >= '0' && reply[i] <= '9'; ++i)
        number = number * 10 + (reply[i] - '0');
    return static_cast<int>(std::min<long long>(number, INT_MAX));
}
