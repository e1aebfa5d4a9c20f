// HTTP/1.0 requests and replies against scripted loopback servers.
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

#include "net/Encoders.h"
#include "net/NMHTTP.h"
#include "tests/net/NetSupport.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/Sandbox.h"

namespace {

const std::string kAccept =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
const std::string kForm = "Content-type: application/x-www-form-urlencoded\r\n";

std::string Ok(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
}

class HttpTest : public testing::Test {
protected:
    void SetUp() override
    {
        http.TimeOut = 5000;
        http.ReportLevel = 2;
        http.OnSuccess = [this](CmdType c) { outcomes.push_back("success " + std::to_string(int(c))); };
        http.OnFailure = [this](CmdType c) { outcomes.push_back("failure " + std::to_string(int(c))); };
    }

    // What the two windows do before each Get.
    void Prepare(const ScriptServer& server, const std::string& body = "./http.txt")
    {
        http.InputFileMode = true;
        http.OutputFileMode = false;
        http.Host = "127.0.0.1";
        http.Port = server.Port();
        http.Body = body;
    }

    TNMHTTP http;
    std::vector<std::string> outcomes;
};

TEST(HttpText, FieldsPositionsAndHeaderLists)
{
    EXPECT_EQ(FieldOf("http://host:81/a/b", '/', 3), "host:81");
    EXPECT_EQ(FieldOf("a//b", '/', 2), "");
    EXPECT_EQ(FieldOf("a/b", '/', 3), "");
    EXPECT_EQ(NthPosition("http://h/p", '/', 3), 9u);
    EXPECT_EQ(NthPosition("http://h", '/', 3), 9u);

    TExStringList list;
    list.Add("GET / HTTP/1.0");
    list.Add("host: a");
    EXPECT_EQ(list.IndexOfHeader("HOST"), 1);
    EXPECT_EQ(list.IndexOfHeader("GET / HTTP/1.0"), -1);
    list.SetHeader("Host", "b");
    list.SetHeader("Cookie", "c=1");
    EXPECT_EQ(list[1], "Host: b");
    EXPECT_EQ(list[2], "Cookie: c=1");
    list.SetHeader("cookie", "");
    EXPECT_EQ(list.Count(), 2);

    TNMURL url;
    url.InputString = "a b&c=\xE3~9";
    EXPECT_EQ(url.Encode(), "a+b%26c%3d%e3%7e9");
    // 46 input bytes: a full line of 45 and one more.
    EXPECT_EQ(TNMUUProcessor().Encode(std::string(46, 'a')),
              QByteArray(45, 'a').toBase64().toStdString() + "\r\nYQ==\r\n");
}

TEST_F(HttpTest, ParseUrlRules)
{
    auto parse = [&](const std::string& url, int port = 0) {
        http.Host = "given";
        http.Port = port;
        http.URL = url;
        http.ParseURL();
    };
    parse("/jp/show/bid_hist?aID=x&typ=log");
    EXPECT_EQ(http.Host, "given");
    EXPECT_EQ(http.Port, 80);
    EXPECT_EQ(http.RequestPath, "/jp/show/bid_hist?aID=x&typ=log");

    parse("http://page.example:8080/a/b?c", 81);
    EXPECT_EQ(http.Host, "page.example");
    EXPECT_EQ(http.Port, 8080);
    EXPECT_EQ(http.RequestPath, "/a/b?c");

    parse("ftp://files.example/pub/x", 8080);
    EXPECT_EQ(http.Port, 21);
    EXPECT_EQ(http.RequestPath, "/pub/x");
    parse("gopher://g.example/1");
    EXPECT_EQ(http.Port, 70);

    parse("proxy.example:8080/p");
    EXPECT_EQ(http.Host, "proxy.example");
    EXPECT_EQ(http.Port, 8080);
    EXPECT_EQ(http.RequestPath, "/p");

    parse("/p?time=12:30", 8080); // a colon anywhere picks the scheme's port
    EXPECT_EQ(http.Port, 80);

    parse("http://page.example");
    EXPECT_EQ(http.URL, "http://page.example/");
    EXPECT_EQ(http.RequestPath, "/");
    parse("http://page.example/");
    EXPECT_EQ(http.URL, "http://page.example/");
    EXPECT_EQ(http.RequestPath, "/");

    parse("/" + std::string(300, 'p'));
    EXPECT_EQ(http.RequestPath, "/" + std::string(255, 'p'));

    EXPECT_EQ(ThrownBy([&] { parse(""); }), "Empty URL");
    EXPECT_EQ(ThrownBy([&] { parse("https://secure.example/"); }), "HTTP Secure Socket is not supported");
    EXPECT_EQ(ThrownBy([&] { parse("http://h:8o/"); }), "'8o' is not a valid integer value");
}

TEST_F(HttpTest, GetSendsTheExactRequest)
{
    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\nSet-Cookie: s=1; path=/\r\n"
                                            "Location: /elsewhere\r\n\r\n<html>body</html>"));
    Prepare(server);
    http.HeaderInfo.Cookie = "B=abc&b=3&s=sp";
    http.Get("/jp/show/bid_hist?aID=b12345&typ=log");
    EXPECT_EQ(server.Requests().at(0), "GET /jp/show/bid_hist?aID=b12345&typ=log HTTP/1.0\r\n"
                                       "Host: 127.0.0.1\r\n" +
                                           kAccept + "Cookie: B=abc&b=3&s=sp\r\n" + kForm + "\r\n");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "<html>body</html>");
    EXPECT_EQ(http.ReplyNumber, 200);
    EXPECT_EQ(http.Header, "HTTP/1.0 200 OK\r\nSet-Cookie: s=1; path=/\r\nLocation: /elsewhere\r\n\r\n");
    EXPECT_EQ(http.SetCookie, "s=1; path=/");
    EXPECT_EQ(http.Location, "/elsewhere");
    EXPECT_EQ(http.HeaderInfo.Cookie, "B=abc&b=3&s=sp"); // a final reply does not adopt it
    EXPECT_EQ(outcomes, std::vector<std::string>{"success 0"});
    EXPECT_EQ(http.Status, "Transaction Completed");
    EXPECT_FALSE(http.Connected);
}

TEST_F(HttpTest, EveryCommandsRequest)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send(Ok("ok"));
        c.Close();
    });
    Prepare(server);
    http.InputFileMode = false;
    http.HeaderInfo = {"me@example", "Mirelo", "", "http://ref/", "user", "pass"};
    const std::string common = "Host: 127.0.0.1\r\n" + kAccept +
                               "From: me@example\r\nUser-Agent: Mirelo\r\nReferer: http://ref/\r\n"
                               "Authorization: Basic dXNlcjpwYXNz\r\n" +
                               kForm;
    http.Options("/o");
    http.Head("/h");
    http.Post("/p", "a b&c");
    http.Put("/u", std::string("x\0y", 3));
    http.Patch("/pa", "d");
    http.Copy("/c", "/to");
    http.Move("/m", "/to");
    http.Delete("/d");
    http.Link("/l", "<x>");
    http.Unlink("/ul", "<x>");
    http.Trace("/t", "tt");
    http.Wrapped("/w", "ww");
    const std::vector<std::string> expected = {
        "OPTIONS /o HTTP/1.0\r\n" + common + "\r\n",
        "HEAD /h HTTP/1.0\r\n" + common + "\r\n",
        "POST /p HTTP/1.0\r\n" + common + "Content-Length: 7\r\n\r\na+b%26c",
        "PUT /u HTTP/1.0\r\n" + common + "Content-Length: 3\r\n\r\n" + std::string("x\0y", 3),
        "PATCH /pa HTTP/1.0\r\n" + common + "Content-Length: 1\r\n\r\nd",
        "COPY /c HTTP/1.0\r\n" + common + "URI-header: /to\r\n\r\n",
        "MOVE /m HTTP/1.0\r\n" + common + "URI-header: /to\r\n\r\n",
        "DELETE /d HTTP/1.0\r\n" + common + "\r\n",
        "LINK /l HTTP/1.0\r\n" + common + "Link: <x>\r\nContent-Length: 8\r\n\r\nSend.dat",
        "UNLINK /ul HTTP/1.0\r\n" + common + "Link: <x>\r\nContent-Length: 8\r\n\r\nSend.dat",
        "TRACE /t HTTP/1.0\r\n" + common + "Content-Length: 2\r\n\r\ntt",
        common + "Content-Length: 2\r\n\r\nww",
    };
    QTest::qWait(100);
    const std::vector<std::string> got = server.Requests();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(got[i], expected[i]) << i;
    EXPECT_EQ(http.Body, "ok");
    EXPECT_EQ(outcomes.back(), "success 12");
}

TEST_F(HttpTest, LongCredentialsStayOnOneLine)
{
    http.Host = "h";
    http.URL = "/";
    http.HeaderInfo.UserId = std::string(40, 'u');
    http.HeaderInfo.Password = std::string(40, 'p');
    http.ParseURL();
    http.BuildRequestHeader();
    const int at = http.RequestHeader.IndexOfHeader("Authorization");
    ASSERT_GE(at, 0);
    EXPECT_EQ(http.RequestHeader[at],
              "Authorization: Basic " + QByteArray((std::string(40, 'u') + ":" + std::string(40, 'p')).c_str())
                                            .toBase64()
                                            .toStdString());
}

TEST_F(HttpTest, UploadsFromFiles)
{
    ScriptServer server([](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send(Ok("fine"));
        c.Close();
    });
    Prepare(server);
    http.OutputFileMode = true;
    http.Header = "head.txt";
    sandbox::WriteFile("up.dat", "file data");
    http.Put("/u", "up.dat");
    QTest::qWait(100);
    EXPECT_EQ(server.Requests().at(0), "PUT /u HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAccept + kForm +
                                           "Content-Length: 9\r\n\r\nfile data");
    EXPECT_EQ(sandbox::ReadFile("head.txt"), "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
    EXPECT_EQ(http.BytesSent, 9);
    EXPECT_EQ(ThrownBy([&] { http.Put("/u", "none.dat"); }), "Cannot open file \"none.dat\"");
}

TEST_F(HttpTest, ThroughAProxyTheTargetIsAbsolute)
{
    ScriptServer proxy(ScriptServer::Reply(Ok("via proxy")));
    Prepare(proxy);
    http.Host = "page.example";
    http.Port = 8080;
    http.Proxy = "127.0.0.1";
    http.ProxyPort = proxy.Port();
    const std::string path = "/" + std::string(300, 'q');
    http.Get(path);
    EXPECT_EQ(proxy.Requests().at(0), "GET http://page.example:8080" + path + " HTTP/1.0\r\n"
                                      "Proxy-Connection: close\r\nHost: page.example\r\n" +
                                          kAccept + kForm + "\r\n");
    http.Port = 80;
    http.Get("http://page.example");
    http.Get("http://page.example/");
    QTest::qWait(100);
    EXPECT_EQ(proxy.Requests().at(1).substr(0, 35), "GET http://page.example/ HTTP/1.0\r\n");
    EXPECT_EQ(proxy.Requests().at(2).substr(0, 35), "GET http://page.example/ HTTP/1.0\r\n");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "via proxy");
}

TEST_F(HttpTest, BlanksInTheTargetGoOutEscaped)
{
    ScriptServer server(ScriptServer::Reply(Ok("x")));
    Prepare(server);
    http.Get("/list?myaucpic=true &picsnum=50");
    http.Host = "page.example";
    http.Proxy = "127.0.0.1";
    http.ProxyPort = server.Port();
    http.Get("/a b");
    QTest::qWait(50);
    const auto line = [&](int i) {
        const std::string r = server.Requests().at(static_cast<std::size_t>(i));
        return r.substr(0, r.find("\r\n"));
    };
    EXPECT_EQ(line(0), "GET /list?myaucpic=true%20&picsnum=50 HTTP/1.0");
    EXPECT_EQ(line(1), "GET http://page.example:" + std::to_string(server.Port()) + "/a%20b HTTP/1.0");
}

TEST_F(HttpTest, LineBreaksInValuesAreRefused)
{
    ScriptServer server(ScriptServer::Reply(Ok("x")));
    Prepare(server);
    const std::string refused = "Invalid character in request header";
    EXPECT_EQ(ThrownBy([&] { http.Get("/a\r\nX-Injected: 1"); }), refused);
    EXPECT_EQ(ThrownBy([&] { http.Get(std::string("/a\0b", 4)); }), refused);
    http.HeaderInfo.Cookie = "a=1\nX-Injected: 1";
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), refused);
    http.HeaderInfo.Cookie.clear();
    http.Host = "127.0.0.1\r\nX-Injected: 1";
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), refused);
    QTest::qWait(50);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(HttpTest, ErrorRepliesAndMissingStatusLines)
{
    ScriptServer server([](ScriptServer::Conn& c, int i) {
        c.ReadRequest();
        if (i == 0)
            c.Send("HTTP/1.0 404 Not Found\r\n\r\nmissing page");
        else if (i == 1)
            c.Send("<html>no status line</html>\n\nrest");
        else if (i == 2)
            c.Send("HTTP/1.0 200\r\n\r\nno reason");
        else if (i == 3)
            c.Send("HTTP/1.0 401 Unauthorized\r\n\r\n");
        c.Close();
    });
    Prepare(server);
    bool authentication = false;
    http.OnAuthenticationNeeded = [&] { authentication = true; };
    http.Get("/a");
    EXPECT_EQ(http.ReplyNumber, 404);
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "missing page");
    http.Get("/b");
    EXPECT_EQ(http.ReplyNumber, 0);
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "rest");
    http.Get("/c");
    EXPECT_EQ(http.ReplyNumber, 0); // the terminator stays in the field
    http.Get("/d");
    EXPECT_TRUE(authentication);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"failure 0", "success 0", "success 0", "failure 0"}));
}

TEST_F(HttpTest, AReplyCutInsideItsHeaderFailsAndACutBodyEndsAtTheClose)
{
    const std::string cut = "Connection closed before the end of the reply header";
    const struct {
        const char* sent;
        const char* thrown; // nullptr: a reply whose body is what came
    } cases[] = {
        {"", cut.c_str()},
        {"HTTP/1.0 200 O", cut.c_str()},
        {"HTTP/1.0 200 OK\r\n", cut.c_str()},
        {"HTTP/1.0 200 OK\r\nContent-Type: te", cut.c_str()},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n", cut.c_str()},
        {"HTTP/1.0 200 OK\r\n\r\n<html>half a pa", nullptr},
    };
    for (const auto& c : cases) {
        ScriptServer server(ScriptServer::Reply(c.sent));
        Prepare(server);
        sandbox::WriteFile("http.txt", "previous");
        outcomes.clear();
        if (c.thrown) {
            EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), c.thrown) << c.sent;
            EXPECT_EQ(sandbox::ReadFile("http.txt"), "previous") << c.sent;
            EXPECT_TRUE(outcomes.empty()) << c.sent;
        } else {
            http.Get("/");
            EXPECT_EQ(sandbox::ReadFile("http.txt"), "<html>half a pa");
            EXPECT_EQ(outcomes, std::vector<std::string>{"success 0"});
        }
    }
}

TEST_F(HttpTest, RedirectIsFollowedWithItsCookie)
{
    ScriptServer target(ScriptServer::Reply(Ok("moved here")));
    ScriptServer first([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send("HTTP/1.0 302 Found\r\nSet-Cookie: sid=42; path=/\r\nLocation: http://" + target.Address() +
               "/second?x=1\r\n\r\nredirect body");
        c.Close();
    });
    Prepare(first);
    int redirects = 0;
    http.OnRedirect = [&](bool&) { ++redirects; };
    http.Get("/first");
    EXPECT_EQ(redirects, 1);
    EXPECT_EQ(target.Requests().at(0), "GET /second?x=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n" + kAccept +
                                           "Cookie: sid=42; path=/\r\n" + kForm + "\r\n");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "moved here");
    EXPECT_EQ(outcomes, std::vector<std::string>{"success 0"});
    EXPECT_EQ(http.HeaderInfo.Cookie, "sid=42; path=/"); // kept for later commands
    EXPECT_EQ(http.Port, target.Port());

    http.OnRedirect = [&](bool& handled) { handled = true; };
    Prepare(first);
    http.Get("/again");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "redirect body");
    EXPECT_EQ(target.Connections(), 1);
}

// The value of each request's Cookie line; "-" for a request without one.
std::vector<std::string> CookieLines(const ScriptServer& server)
{
    std::vector<std::string> out;
    for (const std::string& r : server.Requests()) {
        const std::size_t at = r.find("\r\nCookie: ");
        out.push_back(at == std::string::npos ? "-" : r.substr(at + 10, r.find("\r\n", at + 2) - at - 10));
    }
    return out;
}

TEST_F(HttpTest, RedirectCookiesStayOnTheirHostAndMustBeSendable)
{
    // One server plays both hosts: 127.0.0.1 and, by name, other.test.
    TPowersock::LookupOverride = [](const std::string&, auto answer) { answer("127.0.0.1"); };
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> hops; // Set-Cookie, Location host
        std::vector<std::string> sent;
        std::string kept;
    };
    const std::vector<Case> cases = {
        {"carriage return", {{"sid=1\r", "127.0.0.1"}}, {"login=me", "login=me"}, "login=me"},
        {"NUL", {{std::string("sid=1\0X-Injected: 1", 19), "127.0.0.1"}}, {"login=me", "login=me"}, "login=me"},
        {"another host and back", {{"sid=2", "other.test"}, {"theirs=3", "127.0.0.1"}}, {"login=me", "-", "sid=2"}, "sid=2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> replies;
        ScriptServer server([&replies](ScriptServer::Conn& conn, int i) {
            conn.ReadRequest();
            conn.Send(static_cast<std::size_t>(i) < replies.size() ? replies[static_cast<std::size_t>(i)] : Ok("end"));
            conn.Close();
        });
        for (const auto& [cookie, host] : c.hops)
            replies.push_back("HTTP/1.0 302 Found\r\nSet-Cookie: " + cookie + "\r\nLocation: http://" + host + ":" +
                               std::to_string(server.Port()) + "/next\r\n\r\n");
        Prepare(server);
        http.HeaderInfo.Cookie = "login=me";
        http.Get("/first");
        EXPECT_EQ(CookieLines(server), c.sent);
        EXPECT_EQ(http.HeaderInfo.Cookie, c.kept);
        EXPECT_EQ(sandbox::ReadFile("http.txt"), "end");
    }
    TPowersock::LookupOverride = nullptr;
}

TEST_F(HttpTest, EndlessRepliesAreCutOffAtTheirBounds)
{
    // Each server stops just past the bound, so a client without one succeeds.
    const auto server = [](std::string head, std::string piece, int count, std::string tail) {
        return [=](ScriptServer::Conn& c, int) {
            c.ReadRequest();
            c.Send(head);
            for (int i = 0; i < count && c.Send(piece); ++i) {
            }
            c.Send(tail);
            c.Close();
        };
    };
    const std::string mb(1 << 20, 'b');
    ScriptServer header(server("HTTP/1.0 200 OK\r\n", "X-Filler: " + std::string(1000, 'h') + "\r\n", 400, "\r\nbody"));
    ScriptServer endless(server("HTTP/1.0 200 OK\r\n\r\n", mb, (TNMHTTP::MaxReplyBody >> 20) + 1, ""));
    ScriptServer largest(server("HTTP/1.0 200 OK\r\n\r\n", mb, TNMHTTP::MaxReplyBody >> 20, ""));

    Prepare(header);
    http.InputFileMode = false;
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Reply header larger than 300 KB");
    Prepare(endless);
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Reply body larger than 64 MB");
    EXPECT_LE(std::filesystem::file_size("http.txt"), std::uintmax_t(TNMHTTP::MaxReplyBody + (64 << 10)));
    Prepare(largest);
    http.Get("/");
    EXPECT_EQ(std::filesystem::file_size("http.txt"), std::uintmax_t(TNMHTTP::MaxReplyBody));
    EXPECT_EQ(outcomes, std::vector<std::string>{"success 0"});
}

TEST_F(HttpTest, RedirectsEnd)
{
    ScriptServer loop([](ScriptServer::Conn& c, int i) {
        c.ReadRequest();
        c.Send("HTTP/1.0 302 Found\r\nLocation: /loop" + std::to_string(i) + "\r\n\r\npass " + std::to_string(i));
        c.Close();
    });
    Prepare(loop);
    http.Get("/start");
    EXPECT_EQ(loop.Connections(), TNMHTTP::MaxPasses);
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "pass " + std::to_string(TNMHTTP::MaxPasses - 1));
    EXPECT_EQ(outcomes, std::vector<std::string>{"failure 0"});

    // Replies that name no new address end at once.
    for (const char* status : {"299 Odd", "303 See Other", "304 Not Modified", "399 Odd"}) {
        ScriptServer once(ScriptServer::Reply(std::string("HTTP/1.0 ") + status + "\r\n\r\nlast"));
        Prepare(once);
        outcomes.clear();
        http.Get("/x");
        EXPECT_EQ(once.Connections(), 1) << status;
        EXPECT_EQ(outcomes, std::vector<std::string>{"success 0"}) << status;
        EXPECT_EQ(sandbox::ReadFile("http.txt"), "last");
    }
}

TEST_F(HttpTest, BodyInMemoryAndHugeHeaderLines)
{
    const std::string cookie = std::string(65534 - 12, 'c');
    ScriptServer server(ScriptServer::Reply("HTTP/1.0 200 OK\r\nSet-Cookie: " + cookie + "\r\n\r\nsmall"));
    Prepare(server);
    http.InputFileMode = false;
    http.Get("/");
    EXPECT_EQ(http.Body, "small");
    EXPECT_EQ(http.SetCookie, std::string(256, 'c')); // kept to its field's size
    EXPECT_EQ(http.Header.size(), 17 + 65536 + 2u);

    ScriptServer longer(ScriptServer::Reply("HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'x') + "\r\n\r\n"));
    Prepare(longer);
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Range check error");
}

TEST_F(HttpTest, TimeOutsAndCancelInEachStep)
{
    ScriptServer silent([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(5000); });
    ScriptServer headerOnly([](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        c.Send("HTTP/1.0 200 OK\r\n\r\nfirst part");
        c.WaitPeerEnd(5000); // a server that never closes
    });
    sandbox::WriteFile("http.txt", "previous");
    Prepare(silent);
    http.TimeOut = 200;
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Socket readln aborted");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "previous"); // no body began
    Prepare(headerOnly);
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Socket send aborted");
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "first part");

    http.TimeOut = 0;
    Prepare(silent);
    After(100, [&] { http.Cancel(); });
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Socket readln aborted");
    Prepare(headerOnly);
    After(100, [&] { http.Cancel(); });
    EXPECT_EQ(ThrownBy([&] { http.Get("/"); }), "Socket send aborted");
    EXPECT_TRUE(outcomes.empty());
    EXPECT_FALSE(http.Connected);
}

} // namespace
