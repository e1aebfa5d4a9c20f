// The socket session against scripted loopback servers.
#include <QElapsedTimer>
#include <QTest>
#include <cerrno>
#include <gtest/gtest.h>

#include "net/Powersock.h"
#include "tests/net/NetSupport.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Sandbox.h"

namespace {

struct Events {
    int connects = 0, disconnects = 0, resolved = 0, failed = 0, packets = 0;
    std::vector<std::int64_t> received;
};

class SessionTest : public testing::Test {
protected:
    void SetUp() override
    {
        sock.TimeOut = 5000;
        sock.OnConnect = [this] { ++ev.connects; };
        sock.OnDisconnect = [this] { ++ev.disconnects; };
        sock.OnHostResolved = [this] { ++ev.resolved; };
        sock.OnConnectionFailed = [this] { ++ev.failed; };
        sock.OnPacketRecvd = [this] { ev.received.push_back(sock.BytesRecvd); };
        sock.OnPacketSent = [this] { ++ev.packets; };
    }
    void TearDown() override { TPowersock::LookupOverride = nullptr; }

    void ConnectTo(const ScriptServer& server)
    {
        sock.Host = "127.0.0.1";
        sock.Port = server.Port();
        sock.Connect();
    }

    // Names ending in ".test" never resolve; "good.test" is the loopback.
    static void FakeNames(int delayMs = 0)
    {
        TPowersock::LookupOverride = [delayMs](const std::string& name, auto answer) {
            After(delayMs, [name, answer] { answer(name == "good.test" ? "127.0.0.1" : ""); });
        };
    }

    TPowersock sock;
    Events ev;
};

TEST(SocketErrors, MessagesAndCodes)
{
    EXPECT_EQ(SocketErrorMessage(10061), "10061:Connection refused");
    EXPECT_EQ(SocketErrorMessage(10004), "10004:Interrupted system call");
    EXPECT_EQ(SocketErrorMessage(10071), "10071:Too many levels of remote in path");
    EXPECT_EQ(SocketErrorMessage(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(SocketErrorMessage(10072), "Unknown Error No. 10072");
    EXPECT_EQ(SocketErrorMessage(0), "Unknown Error No. 0"); // the terminator row never matches

    EXPECT_EQ(SocketErrorCode(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorCode(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorCode(EAGAIN), WSAEWOULDBLOCK);
    EXPECT_EQ(SocketErrorCode(EINPROGRESS), WSAEWOULDBLOCK);
    EXPECT_EQ(SocketErrorCode(ENOTCONN), WSAENOTCONN);
    EXPECT_EQ(SocketErrorCode(ETIMEDOUT), 10060);
    // Anything unmapped must still read as an error, never as "no error".
    EXPECT_EQ(SocketErrorMessage(SocketErrorCode(EIO)).rfind("Unknown Error No. ", 0), 0u);
}

TEST_F(SessionTest, DottedAddressConnectsWithoutLookup)
{
    ScriptServer server([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(3000); });
    std::vector<std::string> statuses;
    sock.ReportLevel = 8;
    sock.OnStatus = [&](const std::string& s) { statuses.push_back(s); };
    ConnectTo(server);
    EXPECT_TRUE(sock.Connected);
    EXPECT_EQ(ev.connects, 1);
    EXPECT_EQ(ev.resolved, 0);
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting", "Resolve Host", "Timer On", "Timer Off"}));
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Already connected");
    sock.Disconnect();
    EXPECT_FALSE(sock.Connected);
    EXPECT_EQ(ev.disconnects, 1);
    EXPECT_GE(sock.Handle(), 0); // a fresh socket is ready for the next connect
}

TEST_F(SessionTest, NameIsLookedUp)
{
    ScriptServer server([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(3000); });
    sock.Host = "localhost"; // /etc/hosts: nothing leaves the machine
    sock.Port = server.Port();
    sock.Connect();
    EXPECT_EQ(ev.resolved, 1);
    EXPECT_EQ(ev.connects, 1);
}

TEST_F(SessionTest, UnresolvedHostGetsOneRetry)
{
    ScriptServer server([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(3000); });
    FakeNames(20);
    sock.Port = server.Port();
    sock.Host = "nowhere.test";
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Null Remote Address");

    int asked = 0;
    sock.OnInvalidHost = [&](bool& handled) {
        ++asked;
        sock.Host = "good.test";
        handled = true;
    };
    sock.Connect();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ev.resolved, 1);
    EXPECT_TRUE(sock.Connected);
    sock.Disconnect();

    sock.Host = "nowhere.test";
    sock.OnInvalidHost = [&](bool& handled) {
        ++asked;
        sock.Host = "still-nowhere.test";
        handled = true;
    };
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 2); // asked once more, not twice
    sock.OnInvalidHost = [&](bool&) { ++asked; };
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Null Remote Address");
    EXPECT_EQ(ev.failed, 0);
}

TEST_F(SessionTest, LookupTimeOutAndCancel)
{
    TPowersock::LookupOverride = [](const std::string&, auto) {}; // never answers
    sock.Host = "slow.test";
    sock.Port = 80;
    sock.TimeOut = 150;
    bool asked = false;
    sock.OnInvalidHost = [&](bool&) { asked = true; };
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Host Lookup Timed Out");

    sock.TimeOut = 0; // never times out: only the cancel ends it
    After(100, [&] { sock.Cancel(); });
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Host Lookup Canceled");
    EXPECT_FALSE(asked);
    EXPECT_EQ(ev.failed, 0);
}

TEST_F(SessionTest, ConnectFailures)
{
    sock.Host = "127.0.0.1";
    sock.Port = ClosedPort();
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Connection Failed");
    EXPECT_EQ(ev.failed, 1);
    EXPECT_EQ(sock.LastErrorNo, 10061);

    // A listener whose queue is full never completes a connect.
    ScriptServer full([](ScriptServer::Conn&, int) {}, 0);
    full.Fill(2);
    sock.Port = full.Port();
    sock.TimeOut = 200;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Connection Timed out"); // not "Canceled"
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(ev.failed, 2);

    sock.TimeOut = 0;
    After(150, [&] { sock.Cancel(); });
    EXPECT_EQ(ThrownBy([&] { sock.Connect(); }), "Connection Canceled");
    EXPECT_EQ(ev.failed, 3);
    EXPECT_EQ(ev.connects, 0);

    // The component stays usable.
    ScriptServer good([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(3000); });
    sock.Port = good.Port();
    sock.Connect();
    EXPECT_EQ(ev.connects, 1);
}

TEST_F(SessionTest, ReadLnTakesExactlyOneLine)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        c.Send("first\r\nsec");
        c.Sleep(100);
        c.Send("ond\nthird");
        c.Sleep(100);
        c.Close();
    });
    ConnectTo(server);
    EXPECT_EQ(sock.ReadLn(), "first\r\n");
    EXPECT_EQ(sock.ReadLn(), "second\n");
    EXPECT_EQ(sock.ReadLn(), ""); // closed inside a line
}

TEST_F(SessionTest, ReadLnLineLimit)
{
    const std::string longest = std::string(65534, 'a') + "\r\n"; // 65,536 bytes
    ScriptServer server([&](ScriptServer::Conn& c, int) {
        c.Send(longest);
        c.Send(std::string(65537, 'b') + "\n");
        c.WaitPeerEnd(3000);
    });
    ConnectTo(server);
    EXPECT_EQ(sock.ReadLn(), longest);
    EXPECT_EQ(ThrownBy([&] { sock.ReadLn(); }), "Range check error");
}

TEST_F(SessionTest, ReadLnTimeOutAndCancel)
{
    ScriptServer server([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(5000); });
    ConnectTo(server);
    sock.TimeOut = 150;
    EXPECT_EQ(ThrownBy([&] { sock.ReadLn(); }), "Socket readln aborted");
    EXPECT_TRUE(sock.TimedOut);
    sock.TimeOut = 0; // never times out: only the cancel ends the wait
    After(300, [&] { sock.Cancel(); });
    EXPECT_EQ(ThrownBy([&] { sock.ReadLn(); }), "Socket readln aborted");
    EXPECT_FALSE(sock.TimedOut);
    EXPECT_FALSE(sock.Canceled); // cleared by the step that threw
}

TEST_F(SessionTest, CaptureCountsEveryChunk)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        for (int i = 0; i < 4; ++i) {
            c.Send(std::string(1000, char('a' + i)));
            c.Sleep(60);
        }
        c.Close();
    });
    ConnectTo(server);
    sock.CaptureFile("body.bin");
    EXPECT_EQ(sandbox::ReadFile("body.bin"),
              std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c') + std::string(1000, 'd'));
    EXPECT_EQ(sock.BytesRecvd, 4000);
    ASSERT_GE(ev.received.size(), 4u);
    for (std::size_t i = 1; i < ev.received.size(); ++i)
        EXPECT_GT(ev.received[i], ev.received[i - 1]);
    EXPECT_EQ(ev.received.back(), 4000);

    // The next capture counts from zero.
    ScriptServer again([](ScriptServer::Conn& c, int) {
        c.Send("xyz");
        c.Close();
    });
    sock.Disconnect();
    ConnectTo(again);
    std::string text;
    sock.CaptureString(text, -1);
    EXPECT_EQ(text, "xyz");
    EXPECT_EQ(sock.BytesRecvd, 3);
}

TEST_F(SessionTest, CaptureReadsWhatWaitsAfterTheClose)
{
    std::string body;
    for (int i = 0; body.size() < 600000; ++i)
        body += std::to_string(i) + ",";
    ScriptServer server([&](ScriptServer::Conn& c, int) {
        c.Send(body);
        c.Close();
    });
    ConnectTo(server);
    QTest::qWait(200); // the close arrives while all the data still waits
    sock.CaptureFile("body.txt");
    EXPECT_EQ(sandbox::ReadFile("body.txt"), body);
}

TEST_F(SessionTest, CaptureTimeOutCountsFromTheStart)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        for (int i = 0; i < 60; ++i) {
            c.Send("x");
            c.Sleep(50);
        }
        c.Close();
    });
    ConnectTo(server);
    sock.TimeOut = 400;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ThrownBy([&] { sock.CaptureFile("part.txt"); }), "Socket send aborted");
    EXPECT_LT(clock.elapsed(), 1500); // each chunk does not restart the count
    const std::string part = sandbox::ReadFile("part.txt");
    EXPECT_GE(part.size(), 2u);
    EXPECT_EQ(part, std::string(part.size(), 'x'));

    sock.Disconnect();
    ScriptServer silent([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(5000); });
    ConnectTo(silent);
    sock.TimeOut = 0;
    After(100, [&] { sock.Cancel(); });
    std::string text;
    EXPECT_EQ(ThrownBy([&] { sock.CaptureString(text, -1); }), "Socket capture aborted");
}

TEST_F(SessionTest, ResetDuringCaptureIsAnError)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        c.Send("partial");
        c.Sleep(100);
        c.Reset();
    });
    ConnectTo(server);
    EXPECT_EQ(ThrownBy([&] { sock.CaptureFile("cut.txt"); }), "10054:Connection reset by peer");
    EXPECT_EQ(sandbox::ReadFile("cut.txt"), "partial");
}

TEST_F(SessionTest, FirstConnectionEndsWithReset)
{
    std::vector<std::string> ends(2);
    ScriptServer server([&](ScriptServer::Conn& c, int i) { ends[static_cast<std::size_t>(i)] = c.WaitPeerEnd(3000); });
    ConnectTo(server);
    sock.Disconnect();
    ConnectTo(server);
    sock.Disconnect();
    QTest::qWait(100);
    EXPECT_EQ(ends[0], "reset");
    EXPECT_EQ(ends[1], "close");
}

TEST_F(SessionTest, SendingWholeTextsAndFiles)
{
    std::string file(300000, '\0');
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = char(i * 7);
    sandbox::WriteFile("upload.bin", file);
    ScriptServer server([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(3000); });
    ConnectTo(server);
    sock.Write(std::string("a\0b", 3)); // the NUL does not cut it short
    sock.Writeln("line");
    sock.SendFile("upload.bin");
    EXPECT_EQ(sock.BytesSent, 300000);
    EXPECT_GE(ev.packets, 1);
    EXPECT_EQ(ThrownBy([&] { sock.Write(std::string(65536, 'z')); }), "Range check error");
    EXPECT_EQ(ThrownBy([&] { sock.SendFile("missing.bin"); }), "Cannot open file \"missing.bin\"");
    QTest::qWait(200); // the first connection ends with a reset, which drops what the peer has not read
    EXPECT_TRUE(server.Requests().at(0) == std::string("a\0b", 3) + "line\r\n" + file);
}

// A close arriving for a socket already replaced must not end the next one.
TEST_F(SessionTest, EarlierCloseLeavesTheNextConnectionAlone)
{
    ScriptServer closing([](ScriptServer::Conn& c, int) { c.Close(); });
    ScriptServer slow([](ScriptServer::Conn& c, int) {
        c.Sleep(300);
        c.Send("hello\n");
        c.WaitPeerEnd(3000);
    });
    ConnectTo(closing);
    QTest::qWait(100);
    sock.Disconnect();
    ConnectTo(slow);
    QTest::qWait(100);
    EXPECT_TRUE(sock.Connected);
    EXPECT_EQ(sock.ReadLn(), "hello\n");
    EXPECT_EQ(ev.disconnects, 1);
}

// Waiting must not burn the processor: a slow peer, a closed peer left
// unread, and a handler that holds a modal loop inside a step.
TEST_F(SessionTest, WaitingDoesNotSpin)
{
    ScriptServer trickle([](ScriptServer::Conn& c, int) {
        for (int i = 0; i < 10; ++i) {
            c.Send("0123456789");
            c.Sleep(100);
        }
        c.Close();
    });
    ConnectTo(trickle);
    double cpu = ThreadCpu();
    std::string text;
    sock.CaptureString(text, -1);
    EXPECT_EQ(text.size(), 100u);
    EXPECT_LT(ThreadCpu() - cpu, 0.3); // a spinning loop uses the whole second

    sock.Disconnect();
    ScriptServer closer([](ScriptServer::Conn& c, int) { c.Close(); });
    int connectCalls = 0;
    sock.OnConnect = [&] {
        ++connectCalls;
        QTest::qWait(300); // as a modal box would
    };
    ConnectTo(closer);
    cpu = ThreadCpu();
    QTest::qWait(300); // the peer has closed; nothing reads
    EXPECT_LT(ThreadCpu() - cpu, 0.15);
    EXPECT_EQ(connectCalls, 1);
    EXPECT_EQ(sock.ReadLn(), "");
}

} // namespace
