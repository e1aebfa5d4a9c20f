// What the windows show while a transfer runs.
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "net/TransferStatus.h"
#include "tests/net/NetSupport.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Boxes.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/Sandbox.h"
#include "ui/StatusBar.h"

namespace {

using Texts = std::vector<std::string>;

class StatusTest : public testing::Test {
protected:
    void SetUp() override
    {
        boxes::Reset();
        http = new TNMHTTP(&owner);
        http->TimeOut = 5000;
        http->ReportLevel = 2;
        http->InputFileMode = true;
        http->Body = "./http.txt";
        status = new TransferStatus(http, &owner, bar, &start, &cancel);
        start.setEnabled(true);
        cancel.setEnabled(false);
        Record();
    }
    void TearDown() override { TPowersock::LookupOverride = nullptr; }

    // Notes the status bar's text after every event that sets one, and a
    // marker for the box and the query.
    void Record()
    {
        auto note = [this](std::function<void()>& event) {
            event = [this, inner = event] {
                inner();
                texts.push_back(Utf8FromSjis(bar->SimpleText()));
            };
        };
        for (auto* event : {&http->OnHostResolved, &http->OnConnect, &http->OnPacketRecvd, &http->OnDisconnect})
            note(*event);
        auto failed = http->OnConnectionFailed;
        http->OnConnectionFailed = [this, failed] {
            failed();
            texts.push_back("[box]");
        };
        auto invalid = http->OnInvalidHost;
        http->OnInvalidHost = [this, invalid](bool& handled) {
            invalid(handled);
            texts.push_back("[query]");
        };
        auto statusEvent = http->OnStatus;
        http->OnStatus = [this, statusEvent](const std::string& s) {
            statusEvent(s);
            texts.push_back(Utf8FromSjis(bar->SimpleText()));
        };
        for (auto* event : {&http->OnSuccess, &http->OnFailure}) {
            *event = [this, inner = *event](CmdType cmd) {
                inner(cmd);
                texts.push_back(Utf8FromSjis(bar->SimpleText()));
            };
        }
    }

    // The texts with each run of received-byte counts (checked to count up)
    // made one "受信", and without the server's own close, which may or may
    // not be seen before the body's end.
    Texts Steps()
    {
        const std::string suffix = " bytes 受信", closed = "ＨＯＳＴ通信完了";
        Texts out;
        long long last = 0;
        for (const std::string& t : texts) {
            if (t.size() > suffix.size() && t.substr(t.size() - suffix.size()) == suffix) {
                const long long n = std::stoll(t);
                EXPECT_GT(n, last);
                last = n;
                if (out.empty() || out.back() != "受信")
                    out.push_back("受信");
                continue;
            }
            last = 0;
            if ((t == "正常終了" || t == "Get 失敗" || t == closed) && !out.empty() && out.back() == closed)
                out.pop_back();
            out.push_back(t);
        }
        return out;
    }

    void Aim(const ScriptServer& server, const std::string& host = "127.0.0.1")
    {
        http->Host = host;
        http->Port = server.Port();
    }

    QWidget owner;
    StatusBar* bar = new StatusBar(&owner);
    QPushButton start{&owner};
    QPushButton cancel{&owner};
    TNMHTTP* http;
    TransferStatus* status;
    Texts texts;
};

const Texts kSuccess = {"ＨＯＳＴ通信中", "受信", "正常終了", "Transaction Completed", "ＨＯＳＴ通信完了"};

TEST_F(StatusTest, SuccessAndErrorReplies)
{
    ScriptServer server([](ScriptServer::Conn& c, int i) {
        c.ReadRequest();
        c.Send(i == 1 ? "HTTP/1.0 404 Not Found\r\n\r\n" : "HTTP/1.0 200 OK\r\n\r\n");
        for (int k = 0; k < 3; ++k) {
            c.Send(std::string(500, 'b'));
            c.Sleep(30);
        }
        c.Close();
    });
    Aim(server);
    http->Get("/");
    EXPECT_EQ(Steps(), kSuccess);
    EXPECT_TRUE(texts.front() == "ＨＯＳＴ通信中");
    EXPECT_EQ(bar->SimpleText(), SJ("ＨＯＳＴ通信完了"));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "1500 bytes 受信"), texts.end());

    texts.clear();
    http->Get("/missing");
    EXPECT_EQ(Steps(), (Texts{"ＨＯＳＴ通信中", "受信", "Get 失敗", "ＨＯＳＴ通信完了"}));
    EXPECT_TRUE(boxes::Shown().empty());

    texts.clear();
    Aim(server, "localhost"); // a name is looked up first
    http->Get("/");
    Texts expected = kSuccess;
    expected.insert(expected.begin(), "ＨＯＳＴ解決");
    EXPECT_EQ(Steps(), expected);
}

TEST_F(StatusTest, RedirectStartsAgain)
{
    ScriptServer target(ScriptServer::Reply("HTTP/1.0 200 OK\r\n\r\nthere"));
    ScriptServer first(ScriptServer::Reply("HTTP/1.0 301 Moved\r\nLocation: http://" + target.Address() +
                                           "/there\r\n\r\nmoved"));
    Aim(first);
    http->Get("/");
    Texts expected = {"ＨＯＳＴ通信中", "受信", "ＨＯＳＴ通信完了"};
    expected.insert(expected.end(), kSuccess.begin(), kSuccess.end());
    EXPECT_EQ(Steps(), expected);
}

TEST_F(StatusTest, FailedConnectionShowsTheBox)
{
    http->Host = "127.0.0.1";
    http->Port = ClosedPort();
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Connection Failed");
    EXPECT_EQ(texts, (Texts{"[box]", "ＨＯＳＴ通信完了"}));
    ASSERT_EQ(boxes::Shown().size(), 1u);
    const ShownBox& box = boxes::Shown()[0];
    EXPECT_EQ(box.caption, SJ("接続に失敗しました。"));
    EXPECT_EQ(box.text, SJ("エラー"));
    EXPECT_EQ(box.flags, unsigned(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(box.owner, &owner);
    EXPECT_TRUE(start.isEnabled());
    EXPECT_FALSE(cancel.isEnabled());
}

TEST_F(StatusTest, UnresolvedHostAsksForAnother)
{
    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\n\r\nok"));
    TPowersock::LookupOverride = [](const std::string& name, auto answer) {
        After(10, [name, answer] { answer(name == "good.test" ? "127.0.0.1" : ""); });
    };
    Aim(server, "bad.test");
    boxes::Answer(IDOK, "good.test");
    http->Get("/");
    ASSERT_EQ(boxes::Shown().size(), 1u);
    EXPECT_EQ(boxes::Shown()[0].kind, ShownBox::Input);
    EXPECT_EQ(boxes::Shown()[0].caption, "Invalid Host");
    EXPECT_EQ(boxes::Shown()[0].text, "Please Choose another host");
    Texts expected = kSuccess;
    expected.insert(expected.begin(), {"[query]", "ＨＯＳＴ解決"});
    EXPECT_EQ(Steps(), expected);

    // OK with nothing typed: the empty name fails too, and nobody is asked again.
    boxes::Reset();
    texts.clear();
    Aim(server, "bad.test");
    boxes::Answer(IDOK, "");
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Null Remote Address");
    EXPECT_EQ(boxes::Shown().size(), 1u);
    EXPECT_EQ(texts, (Texts{"[query]", "ＨＯＳＴ通信完了"}));
    EXPECT_EQ(http->Host, "");
}

TEST_F(StatusTest, CancelAndTimeOutStopTheTexts)
{
    TPowersock::LookupOverride = [](const std::string&, auto) {};
    http->Host = "slow.test";
    http->Port = 80;
    After(100, [&] { http->Cancel(); });
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Host Lookup Canceled");
    EXPECT_EQ(texts, Texts{"ＨＯＳＴ通信完了"});

    ScriptServer stalls([](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send("HTTP/1.0 200 OK\r\n\r\nsome");
        c.WaitPeerEnd(5000);
    });
    texts.clear();
    Aim(stalls);
    http->TimeOut = 200;
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Socket send aborted");
    EXPECT_EQ(texts, (Texts{"ＨＯＳＴ通信中", "4 bytes 受信", "ＨＯＳＴ通信完了"}));
    EXPECT_TRUE(boxes::Shown().empty());
}

TEST_F(StatusTest, ButtonsFollowTheTransfer)
{
    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\n\r\nok"));
    Aim(server);
    std::vector<std::pair<bool, bool>> states; // (start, cancel) after each event
    auto connected = http->OnConnect;
    http->OnConnect = [&, connected] {
        connected();
        states.emplace_back(start.isEnabled(), cancel.isEnabled());
    };
    http->Get("/");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0], std::make_pair(false, true));
    EXPECT_TRUE(start.isEnabled());
    EXPECT_FALSE(cancel.isEnabled());

    // Closing the connection-failed box is followed at once by the idle states.
    http->Port = ClosedPort();
    start.setEnabled(false);
    cancel.setEnabled(true);
    boxes::OnNext([&](const ShownBox&, std::string&) {
        states.emplace_back(start.isEnabled(), cancel.isEnabled());
        return IDOK;
    });
    auto failed = http->OnConnectionFailed;
    http->OnConnectionFailed = [&, failed] {
        failed();
        states.emplace_back(start.isEnabled(), cancel.isEnabled());
    };
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Connection Failed");
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[1], std::make_pair(false, true)); // while the box is open
    EXPECT_EQ(states[2], std::make_pair(true, false));

    // A failure with a number outside the table still frees the buttons.
    start.setEnabled(false);
    http->OnFailure(static_cast<CmdType>(99));
    EXPECT_TRUE(start.isEnabled());
}

TEST_F(StatusTest, GoneStatusBarIsLeftAlone)
{
    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\n\r\nok"));
    TNMHTTP other;
    other.ReportLevel = 2;
    other.Host = "127.0.0.1";
    other.Port = server.Port();
    auto* gone = new StatusBar(&owner);
    TransferStatus handlers(&other, &owner, gone);
    delete gone;
    other.Get("/");
    EXPECT_EQ(other.ReplyNumber, 200);
}

class MainWindowTransfer : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        boxes::Reset();
    }
};

TEST_F(MainWindowTransfer, StoredValuesAndStatusBar)
{
    TNMHTTP* http = Form1->NMHTTP1;
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->TimeOut, 300000);
    EXPECT_EQ(http->ReportLevel, 2);
    EXPECT_EQ(http->Port, 0);
    EXPECT_EQ(http->ProxyPort, 0);
    EXPECT_EQ(http->Body, "Default.htm");
    EXPECT_EQ(http->Header, "Head.txt");
    EXPECT_EQ(http->HeaderInfo.Cookie, "");

    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\n\r\npage"));
    http->InputFileMode = true;
    http->Host = "127.0.0.1";
    http->Port = server.Port();
    http->Body = "./http.txt";
    http->Get("/");
    EXPECT_EQ(Form1->ui.StatusBar1->SimpleText(), SJ("ＨＯＳＴ通信完了"));
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "page");
}

// The cancel question: No lets the transfer go on, Yes cancels it, and a
// time-out that falls while the question is open ends the fetch once it closes.
TEST_F(MainWindowTransfer, CancelQuestion)
{
    ScriptServer trickle([](ScriptServer::Conn& c, int i) {
        c.ReadRequest();
        c.Send("HTTP/1.0 200 OK\r\n\r\n");
        for (int k = 0; k < (i == 0 ? 8 : 100) && c.Send("data"); ++k)
            c.Sleep(50);
        c.Close();
    });
    TNMHTTP* http = Form1->NMHTTP1;
    http->InputFileMode = true;
    http->Host = "127.0.0.1";
    http->Port = trickle.Port();
    http->Body = "./http.txt";
    QPushButton* button = Form1->ui.BitBtn6;
    button->setEnabled(true);

    boxes::Answer(IDNO);
    After(100, [&] { button->click(); });
    http->Get("/");
    std::string whole;
    for (int k = 0; k < 8; ++k)
        whole += "data";
    EXPECT_EQ(sandbox::ReadFile("http.txt"), whole);
    ASSERT_EQ(boxes::Shown().size(), 1u);
    EXPECT_EQ(boxes::Shown()[0].text, SJ("受信を中断しますか？"));
    EXPECT_EQ(boxes::Shown()[0].caption, SJ("メッセージ"));
    EXPECT_EQ(boxes::Shown()[0].flags, unsigned(MB_YESNO | MB_ICONWARNING));

    boxes::Answer(IDYES);
    After(100, [&] { button->click(); });
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Socket send aborted");

    http->TimeOut = 400;
    boxes::OnNext([](const ShownBox&, std::string&) {
        QTest::qWait(700); // the time-out falls while the question is open
        return int(IDNO);
    });
    After(150, [&] { button->click(); });
    EXPECT_EQ(ThrownBy([&] { http->Get("/"); }), "Socket send aborted");
    EXPECT_EQ(boxes::Shown().size(), 3u);
}

} // namespace
