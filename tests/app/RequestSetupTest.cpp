#include <gtest/gtest.h>

#include "app/Exception.h"
#include "app/RequestSetup.h"
#include "net/NMHTTP.h"
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
