// Fetches through Debian's squid and tinyproxy, started on loopback ports.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/NMHTTP.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// A proxy process for one test; stopped when the test ends.
class ProxyProcess {
public:
    ProxyProcess(const QString& program, const QStringList& args, int port)
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, args);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && process_.state() != QProcess::NotRunning && !Accepts(port))
            ::usleep(100000);
    }
    ~ProxyProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    std::string Output() { return process_.readAll().toStdString(); }

private:
    QProcess process_;
};

// The proxies drop root for their own user, which must reach their files.
std::string OpenDir(const std::string& name)
{
    const fs::path dir = fs::path(sandbox::Dir()) / name;
    fs::create_directories(dir);
    fs::permissions(sandbox::Dir(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(dir, fs::perms::all);
    return dir.string();
}

class ProxyTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; body.size() < 200000; ++i)
            body += "<tr><td>" + std::to_string(i) + "</td></tr>\n";
    }

    // A page fetched through the proxy arrives whole and promptly, and the
    // origin saw the request the client meant.
    void FetchThrough(int proxyPort)
    {
        ScriptServer origin(ScriptServer::Reply("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body));
        TNMHTTP http;
        http.TimeOut = 20000;
        http.ReportLevel = 2;
        http.InputFileMode = true;
        http.Body = "./http.txt";
        http.Host = "127.0.0.1";
        http.Port = origin.Port();
        http.Proxy = "127.0.0.1";
        http.ProxyPort = proxyPort;
        http.HeaderInfo.Cookie = "B=abc&b=3";
        QElapsedTimer clock;
        clock.start();
        http.Get("/jp/show/bid_hist?aID=b1&typ=log");
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(http.ReplyNumber, 200);
        EXPECT_TRUE(sandbox::ReadFile("http.txt") == body) << "body of " << sandbox::ReadFile("http.txt").size()
                                                           << " bytes";
        ASSERT_EQ(origin.Requests().size(), 1u);
        const std::string request = origin.Requests()[0];
        EXPECT_EQ(request.rfind("GET /jp/show/bid_hist?aID=b1&typ=log HTTP/1.", 0), 0u) << request;
        EXPECT_NE(request.find("\r\nCookie: B=abc&b=3\r\n"), std::string::npos) << request;
    }

    std::string body;
};

TEST_F(ProxyTest, Squid)
{
    if (!QFile::exists("/usr/sbin/squid"))
        GTEST_SKIP() << "squid is not installed (scripts/deps --test installs it)";
    const std::string dir = OpenDir("squid");
    const int port = ClosedPort();
    sandbox::WriteFile(dir + "/squid.conf", "http_port 127.0.0.1:" + std::to_string(port) + "\n"
                                            "acl self src 127.0.0.1/32\n"
                                            "http_access allow self\n"
                                            "http_access deny all\n"
                                            "cache deny all\n"
                                            "cache_mem 8 MB\n"
                                            "access_log none\n"
                                            "cache_log " + dir + "/cache.log\n"
                                            "pid_filename " + dir + "/squid.pid\n"
                                            "coredump_dir " + dir + "\n"
                                            "visible_hostname localhost\n"
                                            "dns_nameservers 127.0.0.1\n"
                                            "shutdown_lifetime 0 seconds\n");
    ProxyProcess squid("/usr/sbin/squid", {"-N", "-f", QString::fromStdString(dir + "/squid.conf")}, port);
    ASSERT_TRUE(Accepts(port)) << squid.Output() << sandbox::ReadFile(dir + "/cache.log");
    FetchThrough(port);
}

TEST_F(ProxyTest, Tinyproxy)
{
    if (!QFile::exists("/usr/bin/tinyproxy"))
        GTEST_SKIP() << "tinyproxy is not installed (scripts/deps --test installs it)";
    const std::string dir = OpenDir("tinyproxy");
    const int port = ClosedPort();
    sandbox::WriteFile(dir + "/tinyproxy.conf", "Port " + std::to_string(port) + "\n"
                                                "Listen 127.0.0.1\n"
                                                "Timeout 30\n"
                                                "Allow 127.0.0.1\n"
                                                "MaxClients 10\n"
                                                "LogLevel Error\n"
                                                "LogFile \"" + dir + "/tinyproxy.log\"\n"
                                                "PidFile \"" + dir + "/tinyproxy.pid\"\n");
    ProxyProcess tinyproxy("/usr/bin/tinyproxy", {"-d", "-c", QString::fromStdString(dir + "/tinyproxy.conf")}, port);
    ASSERT_TRUE(Accepts(port)) << tinyproxy.Output();
    FetchThrough(port);
}

} // namespace
