#include "tests/net/ScriptServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int BoundSocket(int& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = Loopback(0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("bind failed");
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

int ClosedPort()
{
    int port = 0;
    ::close(BoundSocket(port));
    return port;
}

ScriptServer::ScriptServer(Script script, int backlog) : script_(std::move(script))
{
    listen_ = BoundSocket(port_);
    ::listen(listen_, backlog);
    accepting_ = backlog > 0;
    thread_ = std::thread([this] { Run(); });
}

ScriptServer::~ScriptServer()
{
    stop_ = true;
    thread_.join();
    for (int fd : fillers_)
        ::close(fd);
    ::close(listen_);
}

ScriptServer::Script ScriptServer::Reply(std::string response)
{
    return [response](Conn& c, int) {
        c.ReadRequest();
        c.Send(response);
        c.Close();
    };
}

std::vector<std::string> ScriptServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ScriptServer::Record(int index, std::string_view bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (requests_.size() <= static_cast<std::size_t>(index))
        requests_.resize(static_cast<std::size_t>(index) + 1);
    requests_[static_cast<std::size_t>(index)] += bytes;
}

void ScriptServer::Fill(int connections)
{
    for (int i = 0; i < connections; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a = Loopback(port_);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers_.push_back(fd);
    }
    ::usleep(50000);
}

void ScriptServer::Run()
{
    while (!stop_) {
        pollfd p{listen_, POLLIN, 0};
        if (!accepting_ || ::poll(&p, 1, 20) <= 0) {
            if (!accepting_)
                ::usleep(20000);
            continue;
        }
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int index = accepted_++;
        Record(index, "");
        Conn conn(this, fd, index);
        try {
            script_(conn, index);
        } catch (...) {
        }
        if (conn.fd_ >= 0)
            ::close(conn.fd_);
    }
}

bool ScriptServer::Conn::Readable(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!server_->stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0)
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
    }
    return false;
}

std::string ScriptServer::Conn::ReadRequest()
{
    std::string got;
    std::size_t want = std::string::npos;
    char buf[65536];
    while (got.size() < want && Readable(10000)) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
        server_->Record(index_, std::string_view(buf, static_cast<std::size_t>(n)));
        const std::size_t end = got.find("\r\n\r\n");
        if (end != std::string::npos && want == std::string::npos) {
            std::size_t length = 0;
            for (const char* name : {"\r\nContent-Length: ", "\r\ncontent-length: "}) {
                const std::size_t at = got.find(name);
                if (at != std::string::npos && at < end)
                    length = std::stoul(got.substr(at + 18));
            }
            want = end + 4 + length;
        }
    }
    return got;
}

bool ScriptServer::Conn::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ScriptServer::Conn::Sleep(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!server_->stop_ && std::chrono::steady_clock::now() < end)
        ::usleep(5000);
}

void ScriptServer::Conn::Close()
{
    ::close(fd_);
    fd_ = -1;
}

void ScriptServer::Conn::Reset()
{
    linger zero{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &zero, sizeof zero);
    Close();
}

std::string ScriptServer::Conn::WaitPeerEnd(int ms)
{
    char buf[4096];
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && Readable(ms)) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n == 0)
            return "close";
        if (n < 0)
            return errno == ECONNRESET ? "reset" : "error";
        server_->Record(index_, std::string_view(buf, static_cast<std::size_t>(n)));
    }
    return "open";
}
