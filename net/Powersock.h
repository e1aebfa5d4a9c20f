// The socket session under the HTTP client: one TCP connection at a time,
// every step waiting inside the GUI thread's event loop so the windows stay
// alive, with time-outs, cancel, status reports and fixed English messages.
#pragma once

#include <QObject>
#include <cstdint>
#include <sys/types.h>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

class QSocketNotifier;
class QTimer;

class ESockError : public Exception {
public:
    using Exception::Exception;
};

class EAbortError : public ESockError {
public:
    using ESockError::ESockError;
};

// A text longer than a fixed buffer.
class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
};

// The socket error codes the messages are keyed by (the WinSock numbering).
enum : int {
    WSAEWOULDBLOCK = 10035,
    WSAENOTCONN = 10057,
};

// "10061:Connection refused", or "Unknown Error No. N".
std::string SocketErrorMessage(int code);

// The socket error code of a Linux errno value.
int SocketErrorCode(int err);

// A timer on the GUI thread that applies a change only when a value really
// changes, so switching it on again does not restart a running count.
class TThreadTimer : public QObject {
public:
    explicit TThreadTimer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned ms);

    std::function<void()> OnTimer;

private:
    void Update();

    QTimer* timer_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
};

class TPowersock : public QObject {
public:
    explicit TPowersock(QObject* parent = nullptr);
    ~TPowersock() override;

    std::string Host;
    int Port = 0;
    int TimeOut = 0;     // milliseconds per waiting step; 0 = never
    int ReportLevel = 0; // status texts of this level or lower are reported
    std::string Proxy;   // empty = direct connection
    int ProxyPort = 0;

    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<void(bool& handled)> OnInvalidHost;
    std::function<void()> OnHostResolved;
    std::function<void(const std::string& status)> OnStatus;
    std::function<void()> OnConnectionFailed;
    std::function<void()> OnPacketRecvd;
    std::function<void()> OnPacketSent;

    bool Canceled = false;
    bool TimedOut = false;
    bool Connected = false;
    bool LastEventOk = true;
    bool WaitDone = false;
    std::uint32_t RemoteAddress = 0; // network order; 0 = none
    std::string Status;
    std::int64_t BytesRecvd = 0;
    std::int64_t BytesSent = 0;
    int LastErrorNo = 0;

    virtual void Connect();
    virtual void Disconnect();
    virtual void Abort();
    void Cancel();

    void ResolveHost();
    void RequestCloseSocket();

    void SendBuffer(const char* buffer, std::size_t length);
    void Write(std::string_view text);
    void Writeln(std::string_view text);
    void SendFile(const std::string& name);

    std::string ReadLn();
    // Both end when the peer closes, or once limit bytes (-1: none) are in.
    void CaptureFile(const std::string& name, std::int64_t limit = -1);
    void CaptureString(std::string& text, std::int64_t limit);
    bool DataAvailable();

    // A line protocol's command and reply; returns the reply number.
    int Transaction(std::string_view line);

    void CheckSocketError(int expected);
    void ReportStatus(int level, std::string_view text);

    // The socket the component holds (-1 = none), full width.
    int Handle() const { return fd_; }

    // Replaces the system's name lookup (tests). The answer is a dotted
    // address, empty for "not found"; it may come later, or never.
    using HostLookup = std::function<void(const std::string& name, std::function<void(const std::string& address)> answer)>;
    static HostLookup LookupOverride;

protected:
    void TimerOn();
    void TimerOff();
    void TimerTriggered();

private:
    void OpenSocket(bool resetOnClose);
    void CloseHandle();
    void WriteReady();
    void ReadReady();
    void LookupDone(unsigned id, std::uint32_t address);
    void WaitUntil(const std::function<bool()>& done);
    void WaitReady(QSocketNotifier* notifier, bool& armed);
    void WaitReadable();
    void WaitWritable();
    void ProcessMessages();
    void Fail(int err);
    void Timed(const std::function<void()>& step);
    void EndStep(const char* abortMessage);
    ssize_t SendSome(const char* data, std::size_t size);
    bool ReceiveEnded(int err);
    template <class Sink> void Capture(Sink&& sink, std::int64_t limit, const char* abortMessage);

    int fd_ = -1;
    bool connecting_ = false;
    bool readArmed_ = false;
    bool writeArmed_ = false;
    bool destroying_ = false;
    bool noReopen_ = false;
    unsigned lookupId_ = 0;
    std::uint32_t lookupAddress_ = 0;
    bool connectStarted_ = false;
    int qtLookupId_ = -1;
    int pendingError_ = 0; // an error the close check took off the socket
    QSocketNotifier* readNotifier_;
    QSocketNotifier* writeNotifier_;
    TThreadTimer* timer_;
    std::vector<char> buffer_; // the transfer buffer, reused for every step
};
