#include "import/BrowserCookie.h"

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"

namespace {

const char* const kUrl = "http://yahoo.co.jp/";

std::int64_t Now()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

constexpr std::int64_t kDay = 24 * 3600;

// A cookies.sqlite as Firefox writes it; the connection stays open for the
// test's life so WAL content is not checkpointed into the main file.
class CookieDb {
public:
    CookieDb(const std::string& path, int userVersion, bool wal = false)
    {
        sandbox::WriteFile(path, ""); // makes the folders
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        Exec(wal ? "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;" : "");
        Exec("CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL "
             "DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed "
             "INTEGER, creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement "
             "INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, rawSameSite INTEGER DEFAULT 0, "
             "schemeMap INTEGER DEFAULT 0, isPartitionedAttributeSet INTEGER DEFAULT 0, CONSTRAINT "
             "moz_uniqueid UNIQUE (name, host, path, originAttributes))");
        Exec("PRAGMA user_version = " + std::to_string(userVersion));
        ms_ = userVersion >= 16;
    }
    ~CookieDb() { sqlite3_close(db_); }

    // expiresIn is in seconds from now; created orders the cookies.
    void Add(const std::string& name, const std::string& value, const std::string& host,
             std::int64_t created, std::int64_t expiresIn = kDay, const std::string& path = "/",
             bool secure = false, const std::string& origin = "")
    {
        std::int64_t expiry = (Now() + expiresIn) * (ms_ ? 1000 : 1);
        Exec("INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry, "
             "lastAccessed, creationTime, isSecure, isHttpOnly) VALUES ('"
             + origin + "', '" + name + "', '" + value + "', '" + host + "', '" + path + "', "
             + std::to_string(expiry) + ", 0, " + std::to_string(created) + ", "
             + (secure ? "1" : "0") + ", 1)");
    }
    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
    }

private:
    sqlite3* db_ = nullptr;
    bool ms_ = true;
};

std::string DefaultProfile(const std::string& root = sandbox::Home() + "/.mozilla/firefox")
{
    sandbox::WriteFile(root + "/profiles.ini",
                       "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/ab12.default-release\n"
                       "Default=1\n\n[General]\nStartWithLastProfile=1\nVersion=2\n");
    return root + "/Profiles/ab12.default-release/cookies.sqlite";
}

void WriteCookiesTxt(const std::string& text)
{
    sandbox::WriteFile(sandbox::ConfigHome() + "/quillmere/mirelo/cookies.txt", text);
}

TEST(BrowserCookieTest, TakesWhatABrowserSendsToThePortalInItsOrder)
{
    CookieDb db(DefaultProfile(), 17);
    db.Add("B", "host-only", "yahoo.co.jp", 300);
    db.Add("Y", "v=1&n=abc", ".yahoo.co.jp", 100);
    db.Add("T", "z=def", ".yahoo.co.jp", 200);
    db.Add("old", "x", ".yahoo.co.jp", 50, -60);                // expired a minute ago
    db.Add("sec", "x", ".yahoo.co.jp", 60, kDay, "/", true);    // https only
    db.Add("sub", "x", "auctions.yahoo.co.jp", 70);             // another host
    db.Add("look", "x", "notyahoo.co.jp", 71);                  // a look-alike domain
    db.Add("deep", "x", ".yahoo.co.jp", 80, kDay, "/jp");       // a path below "/"
    db.Add("box", "x", ".yahoo.co.jp", 90, kDay, "/", false, "^userContextId=1");
    // Read as milliseconds, a seconds value from an hour ahead lies in 1970.
    db.Exec("INSERT INTO moz_cookies (name, value, host, path, expiry, isSecure) VALUES ('unit', 'x', "
            "'.yahoo.co.jp', '/', " + std::to_string(Now() + 3600) + ", 0)");

    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=v=1&n=abc; T=z=def; B=host-only");
    EXPECT_EQ(ReadBrowserCookie("https://yahoo.co.jp/"), "sec=x; Y=v=1&n=abc; T=z=def; B=host-only");
    // A deeper address also gets the deeper path's cookie, and that one first.
    EXPECT_EQ(ReadBrowserCookie("http://YAHOO.co.jp/jp/show"), "deep=x; Y=v=1&n=abc; T=z=def; B=host-only");
}

TEST(BrowserCookieTest, OlderSchemaKeepsExpiryInSeconds)
{
    CookieDb db(DefaultProfile(), 15);
    db.Add("Y", "live", ".yahoo.co.jp", 1, 3600);
    db.Add("T", "dead", ".yahoo.co.jp", 2, -3600);
    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=live");
}

TEST(BrowserCookieTest, ReadsACookieThatIsOnlyInTheWriteAheadLog)
{
    const std::string path = DefaultProfile();
    CookieDb db(path, 17, true);
    db.Add("Y", "recent", ".yahoo.co.jp", 1);
    ASSERT_EQ(sandbox::ReadFile(path).find("recent"), std::string::npos);
    ASSERT_NE(sandbox::ReadFile(path + "-wal").find("recent"), std::string::npos);

    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=recent");
}

TEST(BrowserCookieTest, ALockedDatabaseGivesItsCommittedCookiesWithoutWaiting)
{
    for (bool wal : {false, true}) {
        SCOPED_TRACE(wal ? "WAL" : "rollback journal");
        CookieDb db(DefaultProfile(), 17, wal);
        db.Add("Y", "committed", ".yahoo.co.jp", 1);
        db.Exec("BEGIN EXCLUSIVE");
        db.Add("T", "pending", ".yahoo.co.jp", 2);

        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=committed");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        db.Exec("ROLLBACK");
    }
}

TEST(BrowserCookieTest, ADamagedDatabaseIsSilentAndTheCookieFileStandsIn)
{
    sandbox::WriteFile(DefaultProfile(), std::string(8192, 'Z'));
    EXPECT_EQ(ReadBrowserCookie(kUrl), std::nullopt);

    WriteCookiesTxt(".yahoo.co.jp\tTRUE\t/\tFALSE\t0\tY\tfromfile\n");
    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=fromfile");
}

TEST(BrowserCookieTest, FindsTheDefaultProfile)
{
    const std::string root = sandbox::Home() + "/.mozilla/firefox";
    const std::string elsewhere = sandbox::Dir() + "/elsewhere";
    // The installation's default wins over Default=1; an absolute path is taken as is.
    sandbox::WriteFile(root + "/profiles.ini",
                       "[Install4F96D1932A9F858E]\nDefault=" + elsewhere + "\nLocked=1\n\n"
                       "[Profile1]\nName=old\nIsRelative=1\nPath=old.default\nDefault=1\n\n"
                       "[Profile0]\nName=new\nIsRelative=0\nPath=" + elsewhere + "\n");
    {
        CookieDb older(root + "/old.default/cookies.sqlite", 17);
        older.Add("Y", "old", ".yahoo.co.jp", 1);
        EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=old"); // the default one has no database yet
        CookieDb current(elsewhere + "/cookies.sqlite", 17);
        current.Add("Y", "current", ".yahoo.co.jp", 1);
        EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=current");
    }

    // A snap Firefox keeps its profiles under ~/snap.
    std::filesystem::remove_all(root);
    CookieDb snap(DefaultProfile(sandbox::Home() + "/snap/firefox/common/.mozilla/firefox"), 17);
    snap.Add("Y", "snap", ".yahoo.co.jp", 1);
    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=snap");

    // HOME is read at each call.
    setenv("HOME", (sandbox::Dir() + "/nobody").c_str(), 1);
    EXPECT_EQ(ReadBrowserCookie(kUrl), std::nullopt);
}

TEST(BrowserCookieTest, FindsProfilesInEveryFirefoxLayout)
{
    // Our own XDG_CONFIG_HOME (the sandbox's) is not the browser's.
    const std::vector<std::pair<std::string, std::string>> layouts = {
        {"XDG", sandbox::Home() + "/.config/mozilla/firefox"},
        {"Flatpak", sandbox::Home() + "/.var/app/org.mozilla.firefox/config/mozilla/firefox"},
        {"byte-order mark", sandbox::Home() + "/.mozilla/firefox"},
    };
    for (const auto& [layout, root] : layouts) {
        SCOPED_TRACE(layout);
        std::filesystem::remove_all(sandbox::Home());
        const std::string cookies = DefaultProfile(root);
        if (layout == "byte-order mark")
            sandbox::WriteFile(root + "/profiles.ini", "\xEF\xBB\xBF" + sandbox::ReadFile(root + "/profiles.ini"));
        CookieDb db(cookies, 17);
        db.Add("Y", layout, ".yahoo.co.jp", 1);
        EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=" + layout);
    }
}

TEST(BrowserCookieTest, ReadsANetscapeCookieFile)
{
    const std::string future = std::to_string(Now() + kDay);
    const std::string past = std::to_string(Now() - 60);
    WriteCookiesTxt("# Netscape HTTP Cookie File\r\n"
                    "#.yahoo.co.jp\tTRUE\t/\tFALSE\t0\tcomment\tx\r\n"
                    ".yahoo.co.jp\tTRUE\t/\tFALSE\t" + future + "\tY\tfirst\r\n"
                    "#HttpOnly_.yahoo.co.jp\tTRUE\t/\tFALSE\t0\tT\thidden\r\n"
                    "yahoo.co.jp\tFALSE\t/\tFALSE\t" + future + "\tB\t\r\n"
                    ".yahoo.co.jp\tTRUE\t/\tFALSE\t" + past + "\told\tx\n"
                    ".yahoo.co.jp\tTRUE\t/\tTRUE\t0\tsec\tx\n"
                    ".auctions.yahoo.co.jp\tTRUE\t/\tFALSE\t0\tsub\tx\n"
                    ".yahoo.co.jp\tTRUE\t/jp\tFALSE\t0\tdeep\tx\n"
                    ".yahoo.co.jp\tTRUE\t/\tFALSE\tsoon\tbad\tx\n"
                    "broken line\n");
    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=first; T=hidden; B=");

    // XDG_CONFIG_HOME is read at each call, with ~/.config when it is unset.
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ReadBrowserCookie(kUrl), std::nullopt);
    sandbox::WriteFile(sandbox::Home() + "/.config/quillmere/mirelo/cookies.txt",
                       ".yahoo.co.jp\tTRUE\t/\tFALSE\t0\tY\thome\n");
    EXPECT_EQ(ReadBrowserCookie(kUrl), "Y=home");
    setenv("HOME", "home", 1); // relative: would mean the current folder
    EXPECT_EQ(ReadBrowserCookie(kUrl), std::nullopt);
}

TEST(BrowserCookieTest, CaptureKeepsItsTextWhenNothingFitsOrNothingIsFound)
{
    BrowserCookie cookie;
    cookie.Capture(kUrl);
    EXPECT_EQ(cookie.Text(), "");

    // "Y=" plus the value fills the 4,095 bytes a terminated 4,096-byte buffer holds.
    auto file = [](std::size_t length) {
        WriteCookiesTxt(".yahoo.co.jp\tTRUE\t/\tFALSE\t0\tY\t" + std::string(length - 2, 'v') + "\n");
    };
    file(4095);
    cookie.Capture(kUrl);
    EXPECT_EQ(cookie.Text().size(), 4095u);

    file(4096);
    cookie.Capture(kUrl);
    EXPECT_EQ(cookie.Text().size(), 4095u);

    WriteCookiesTxt("");
    cookie.Capture(kUrl);
    EXPECT_EQ(cookie.Text().size(), 4095u);

    BrowserCookie fresh;
    file(4096);
    fresh.Capture(kUrl);
    EXPECT_EQ(fresh.Text(), "");
    EXPECT_EQ(gBrowserCookie.Text(), "");
}

} // namespace
