#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <thread>

#include "base/Exception.h"
#include "net/NMHTTP.h"
#include "net/RequestSetup.h"
#include "tests/net/ScriptServer.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Sandbox.h"
#include "tests/support/StoredSettings.h"

TEST(HttpAddressTest, SplitsHostPortAndPath)
{
    auto a = SplitHttpAddress("http://page.auctions.example/jp/auction/b123?x=1");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "page.auctions.example");
    EXPECT_EQ(a->port, 80);
    EXPECT_EQ(a->path, "/jp/auction/b123?x=1");

    auto p = SplitHttpAddress("http://127.0.0.1:8380/jp/auction/x");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->host, "127.0.0.1");
    EXPECT_EQ(p->port, 8380);

    EXPECT_EQ(SplitHttpAddress("http://host:/a")->port, 80) << "no number after the colon";
    EXPECT_EQ(SplitHttpAddress("http://host:web/a")->port, 80);
    EXPECT_EQ(SplitHttpAddress("http://host:99999/a")->port, 80) << "not a TCP port";
    EXPECT_EQ(SplitHttpAddress("http://host/")->path, "/");
}

TEST(HttpAddressTest, RefusesWhatCannotBeFetched)
{
    EXPECT_FALSE(SplitHttpAddress("http://host.example"));
    EXPECT_FALSE(SplitHttpAddress("https://host.example/jp/auction/x")) << "no TLS";
    EXPECT_FALSE(SplitHttpAddress("HTTP://host.example/jp/auction/x"));
    EXPECT_FALSE(SplitHttpAddress("http:///jp/auction/x"));
    EXPECT_FALSE(SplitHttpAddress("http://" + std::string(256, 'h') + "/a")) << "a host longer than its buffer";
    EXPECT_TRUE(SplitHttpAddress("http://" + std::string(255, 'h') + "/a"));

    EXPECT_TRUE(HasWebScheme("https://x/"));
    EXPECT_TRUE(HasWebScheme("http://x"));
    EXPECT_FALSE(HasWebScheme("Http://x/"));
    EXPECT_FALSE(HasWebScheme("b123456"));
}

TEST(RequestSetupTest, ProxyIsTheStoredOneAtTheTimeOfUse)
{
    TNMHTTP http;
    const HttpAddress target{"page.example", 8080, "/jp/auction/x"};

    PrepareGet(http, target, "./http.txt");
    EXPECT_TRUE(http.InputFileMode);
    EXPECT_FALSE(http.OutputFileMode);
    EXPECT_EQ(http.Host, "page.example");
    EXPECT_EQ(http.Port, 8080);
    EXPECT_EQ(http.Body, "./http.txt");
    EXPECT_EQ(http.Proxy, "");

    ASSERT_TRUE(stored::SetNumber(regvalue::Proxy, 1));
    ASSERT_TRUE(stored::SetText(regvalue::ProxyHost, "proxy.lan"));
    ASSERT_TRUE(stored::SetText(regvalue::ProxyPort, "3128"));
    PrepareGet(http, target, "./http.txt");
    EXPECT_EQ(http.Proxy, "proxy.lan");
    EXPECT_EQ(http.ProxyPort, 3128);

    // Switched off (or 2, written by hand): the component no longer uses the old proxy.
    ASSERT_TRUE(stored::SetNumber(regvalue::Proxy, 2));
    PrepareGet(http, target, "./http.txt");
    EXPECT_EQ(http.Proxy, "");
    EXPECT_EQ(http.ProxyPort, 0);
}

TEST(RequestSetupTest, AProxyPortThatIsNoNumberFailsBeforeTheBodyIsNamed)
{
    TNMHTTP http;
    ASSERT_TRUE(stored::SetNumber(regvalue::Proxy, 1));
    ASSERT_TRUE(stored::SetText(regvalue::ProxyHost, "proxy.lan"));
    EXPECT_THROW(PrepareGet(http, {"page.example", 80, "/"}, "./http.txt"), EConvertError) << "empty port";
    EXPECT_EQ(http.Body, "Default.htm");
    ASSERT_TRUE(stored::SetText(regvalue::ProxyPort, "80a"));
    EXPECT_THROW(PrepareGet(http, {"page.example", 80, "/"}, "./http.txt"), EConvertError);
}

TEST(WorkFileTest, StaleDownloadsGoWhileARunningCopyKeepsItsOwn)
{
    namespace fs = std::filesystem;
    const auto hidden = [] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator("."))
            if (entry.path().filename().string().front() == '.')
                names.insert(entry.path().filename().string());
        return names;
    };
    // Not ours: other names, a link.
    for (const char* other : {".http.notes.txt", ".http.AbC1234.txt", ".bashrc", "http.txt"})
        sandbox::WriteFile(other, "the user's");
    fs::create_symlink("http.txt", ".myauction.Lnk000.txt");

    // Another copy of the program downloads into its own private file meanwhile.
    std::atomic<bool> swept{false};
    ScriptServer server([&](ScriptServer::Conn& c, int) {
        c.ReadRequest();
        while (!swept)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        c.Send("HTTP/1.0 200 OK\r\n\r\nnew page");
        c.Close();
    });
    const int copy = StartChild([&] {
        TNMHTTP http;
        http.TimeOut = 10000;
        WorkFile page("./http.txt");
        page.Fetch(http, {"127.0.0.1", server.Port(), "/"}, "/");
        return sandbox::ReadFile("http.txt") == "new page" ? 0 : 1;
    });
    for (int i = 0; i < 1000 && server.Requests().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::set<std::string> running = hidden();
    ASSERT_EQ(running.size(), 5u) << "the copy's own download is there";
    // Left by killed copies: downloads and a half-made copy whose download is gone.
    for (const char* stale : {".http.AbC123.txt", ".img.x9Y8z7.jpg", ".watch.000000.txt~", ".http.AbC123.txt~",
                              ".board.Zz9876.txt"})
        sandbox::WriteFile(stale, "stale");
    RemoveStaleDownloads(".");
    EXPECT_EQ(hidden(), running) << "the running copy's download stays";
    swept = true;
    EXPECT_EQ(WaitChild(copy), 0);
    EXPECT_EQ(hidden(), (std::set<std::string>{".bashrc", ".http.AbC1234.txt", ".http.notes.txt", ".myauction.Lnk000.txt"}));
    EXPECT_EQ(sandbox::ReadFile("http.txt"), "new page");
}
