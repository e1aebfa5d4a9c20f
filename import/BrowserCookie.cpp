#include "import/BrowserCookie.h"

#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sqlite3.h>
#include <vector>

#include "base/Text.h"

namespace fs = std::filesystem;

BrowserCookie gBrowserCookie;

void BrowserCookie::Capture(std::string_view url)
{
    std::optional<std::string> cookie = ReadBrowserCookie(url);
    if (cookie && cookie->size() < kSize)
        text_ = std::move(*cookie);
}

namespace {

// Where the request goes: what decides which cookies a browser sends.
struct Target {
    std::string host;
    std::string path;
    bool secure = false;
};

struct Cookie {
    std::string name;
    std::string value;
    std::string path;
    std::int64_t created = 0; // creation time, or the order of appearance
};

std::optional<Target> ParseTarget(std::string_view url)
{
    QUrl u(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::StrictMode);
    const QString scheme = u.scheme();
    if (!u.isValid() || u.host().isEmpty() || (scheme != "http" && scheme != "https"))
        return std::nullopt;
    Target t;
    t.host = u.host().toLower().toStdString();
    const QString path = u.path(QUrl::FullyEncoded);
    t.path = path.isEmpty() ? std::string(1, '/') : path.toStdString();
    t.secure = scheme == "https";
    return t;
}

// A host cookie of the host itself or a domain cookie set for it.
bool HostMatches(std::string_view cookieHost, const Target& t)
{
    if (cookieHost.starts_with('.'))
        cookieHost.remove_prefix(1);
    return cookieHost == t.host;
}

// The cookie path is the request path or one of its folders.
bool PathMatches(std::string_view cookiePath, std::string_view requestPath)
{
    if (!requestPath.starts_with(cookiePath))
        return false;
    return cookiePath.size() == requestPath.size() || cookiePath.ends_with('/')
           || requestPath[cookiePath.size()] == '/';
}

// Browsers send the most specific path first, then the oldest cookie first.
std::string Join(std::vector<Cookie> cookies)
{
    std::stable_sort(cookies.begin(), cookies.end(), [](const Cookie& a, const Cookie& b) {
        if (a.path.size() != b.path.size())
            return a.path.size() > b.path.size();
        return a.created < b.created;
    });
    std::string joined;
    for (const Cookie& c : cookies) {
        if (!joined.empty())
            joined += "; ";
        if (!c.name.empty()) // a nameless cookie goes out as its value alone
            joined += c.name + "=";
        joined += c.value;
    }
    return joined;
}

std::int64_t NowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// An unset or relative variable gives an empty path, never the current folder.
fs::path EnvPath(const char* name)
{
    const char* v = std::getenv(name);
    return v && v[0] == '/' ? fs::path(v) : fs::path();
}

fs::path ConfigHome()
{
    fs::path xdg = EnvPath("XDG_CONFIG_HOME");
    if (!xdg.empty())
        return xdg;
    fs::path home = EnvPath("HOME");
    return home.empty() ? home : home / ".config";
}

// --- Firefox profile -------------------------------------------------------

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;

    std::string Get(std::string_view key) const
    {
        for (const auto& [k, v] : keys)
            if (k == key)
                return v;
        return {};
    }
};

// profiles.ini is plain "[section]" and "key=value" lines; sections are kept
// in file order, which decides between several installations.
std::vector<IniSection> ReadIni(const fs::path& file)
{
    std::vector<IniSection> sections;
    std::ifstream in(file);
    std::string line;
    for (bool first = true; std::getline(in, line); first = false) {
        // Written by some editors and tools: a UTF-8 byte-order mark.
        if (first && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        std::string_view l = TrimText(line);
        if (l.empty() || l.front() == ';' || l.front() == '#')
            continue;
        if (l.front() == '[' && l.back() == ']') {
            sections.push_back({std::string(l.substr(1, l.size() - 2)), {}});
            continue;
        }
        std::size_t eq = l.find('=');
        if (eq == std::string_view::npos || sections.empty())
            continue;
        sections.back().keys.emplace_back(std::string(TrimText(l.substr(0, eq))),
                                          std::string(TrimText(l.substr(eq + 1))));
    }
    return sections;
}

fs::path ProfilePath(const fs::path& root, const std::string& path, const std::string& isRelative)
{
    bool relative = isRelative.empty() ? !path.starts_with('/') : isRelative == "1";
    return relative ? root / path : fs::path(path);
}

// The default profiles under one Firefox folder, most likely first: the
// installations' defaults, then the profile marked Default=1.
std::vector<fs::path> DefaultProfiles(const fs::path& root)
{
    std::vector<IniSection> ini = ReadIni(root / "profiles.ini");
    auto isRelativeOf = [&](const std::string& path) {
        for (const IniSection& s : ini)
            if (s.name.starts_with("Profile") && s.Get("Path") == path)
                return s.Get("IsRelative");
        return std::string();
    };
    std::vector<fs::path> profiles;
    for (const IniSection& s : ini)
        if (s.name.starts_with("Install") && !s.Get("Default").empty())
            profiles.push_back(ProfilePath(root, s.Get("Default"), isRelativeOf(s.Get("Default"))));
    for (const IniSection& s : ini)
        if (s.name.starts_with("Profile") && s.Get("Default") == "1" && !s.Get("Path").empty())
            profiles.push_back(ProfilePath(root, s.Get("Path"), s.Get("IsRelative")));
    return profiles;
}

// Firefox's folders, the older layout first as Firefox itself prefers it:
// ~/.mozilla, then the XDG one a fresh home gets, then the snap and Flatpak
// builds. The browser's XDG_CONFIG_HOME may not be ours (the demo sets ours),
// so ~/.config is looked at as well.
std::vector<fs::path> FirefoxCookieFiles()
{
    const fs::path home = EnvPath("HOME");
    const fs::path xdg = EnvPath("XDG_CONFIG_HOME");
    std::vector<fs::path> roots;
    if (!home.empty())
        roots.push_back(home / ".mozilla/firefox");
    if (!xdg.empty())
        roots.push_back(xdg / "mozilla/firefox");
    if (!home.empty()) {
        const fs::path flatpak = home / ".var/app/org.mozilla.firefox";
        roots.insert(roots.end(), {home / ".config/mozilla/firefox", home / "snap/firefox/common/.mozilla/firefox",
                                   flatpak / ".mozilla/firefox", flatpak / "config/mozilla/firefox"});
    }
    std::vector<fs::path> files;
    for (const fs::path& root : roots)
        for (const fs::path& profile : DefaultProfiles(root)) {
            fs::path file = profile / "cookies.sqlite";
            if (std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(file);
        }
    return files;
}

struct Database {
    sqlite3* db = nullptr;
    ~Database() { sqlite3_close(db); }
};

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

std::string Column(sqlite3_stmt* stmt, int i)
{
    const unsigned char* text = sqlite3_column_text(stmt, i);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)))
                : std::string();
}

std::string ReadFirefoxCookies(const fs::path& file, const Target& t)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return {};
    // A running Firefox keeps its database locked and recent cookies only in
    // the -wal, so read a private copy of both.
    QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const fs::path copy = fs::path(dir.path().toStdString()) / "cookies.sqlite";
    if (!fs::copy_file(file, copy, ec))
        return {};
    fs::path wal = file;
    wal += "-wal";
    if (fs::exists(wal, ec)) {
        fs::path walCopy = copy;
        walCopy += "-wal";
        if (!fs::copy_file(wal, walCopy, ec))
            return {};
    }

    Database db;
    if (sqlite3_open_v2(copy.c_str(), &db.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return {};

    Statement version;
    if (sqlite3_prepare_v2(db.db, "PRAGMA user_version", -1, &version.stmt, nullptr) != SQLITE_OK
        || sqlite3_step(version.stmt) != SQLITE_ROW)
        return {};
    // Schema 16 moved the expiry from seconds to milliseconds.
    const std::int64_t now = sqlite3_column_int64(version.stmt, 0) >= 16 ? NowSeconds() * 1000
                                                                          : NowSeconds();

    // Container and partitioned cookies carry origin attributes; a plain
    // visit of the address sends only those without.
    Statement query;
    const char* sql = "SELECT name, value, path, expiry, creationTime, isSecure "
                      "FROM moz_cookies WHERE (host = ?1 OR host = ?2) AND originAttributes = ''";
    if (sqlite3_prepare_v2(db.db, sql, -1, &query.stmt, nullptr) != SQLITE_OK)
        return {};
    const std::string domainHost = "." + t.host;
    sqlite3_bind_text(query.stmt, 1, t.host.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(query.stmt, 2, domainHost.c_str(), -1, SQLITE_TRANSIENT);

    std::vector<Cookie> cookies;
    int rc;
    while ((rc = sqlite3_step(query.stmt)) == SQLITE_ROW) {
        Cookie c{Column(query.stmt, 0), Column(query.stmt, 1), Column(query.stmt, 2),
                 sqlite3_column_int64(query.stmt, 4)};
        if (sqlite3_column_int64(query.stmt, 3) <= now
            || (sqlite3_column_int(query.stmt, 5) != 0 && !t.secure)
            || !PathMatches(c.path, t.path))
            continue;
        cookies.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE) // a damaged database yields nothing rather than a part
        return {};
    return Join(std::move(cookies));
}

// --- cookies.txt -----------------------------------------------------------

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (;;) {
        std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// The Netscape format: domain, subdomains flag, path, secure flag, expiry in
// seconds (0 for a session cookie), name, value; "#HttpOnly_" marks a cookie
// hidden from scripts, not a comment.
std::string ReadCookiesTxt(const fs::path& file, const Target& t)
{
    std::ifstream in(file);
    const std::int64_t now = NowSeconds();
    std::vector<Cookie> cookies;
    std::string line;
    for (std::int64_t order = 0; std::getline(in, line); ++order) {
        std::string_view l = line;
        if (l.ends_with('\r'))
            l.remove_suffix(1);
        if (l.starts_with("#HttpOnly_"))
            l.remove_prefix(10);
        else if (l.empty() || l.front() == '#')
            continue;
        std::vector<std::string_view> f = SplitTabs(l);
        if (f.size() == 6) // some writers drop the tab before an empty value
            f.emplace_back();
        if (f.size() != 7)
            continue;
        std::int64_t expiry = 0;
        auto [end, err] = std::from_chars(f[4].data(), f[4].data() + f[4].size(), expiry);
        if (err != std::errc() || end != f[4].data() + f[4].size())
            continue;
        std::string host(f[0]);
        std::transform(host.begin(), host.end(), host.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (!HostMatches(host, t) || !PathMatches(f[2], t.path)
            || (f[3] == "TRUE" && !t.secure) || (expiry != 0 && expiry <= now))
            continue;
        cookies.push_back({std::string(f[5]), std::string(f[6]), std::string(f[2]), order});
    }
    return Join(std::move(cookies));
}

} // namespace

std::optional<std::string> ReadBrowserCookie(std::string_view url)
{
    std::optional<Target> target = ParseTarget(url);
    if (!target)
        return std::nullopt;
    // Several profiles may qualify (a snap copy next to an old one): the first
    // that has a cookie for the address answers.
    for (const fs::path& file : FirefoxCookieFiles())
        if (std::string cookie = ReadFirefoxCookies(file, *target); !cookie.empty())
            return cookie;
    if (fs::path config = ConfigHome(); !config.empty())
        if (std::string cookie = ReadCookiesTxt(config / "quillmere/mirelo/cookies.txt", *target);
            !cookie.empty())
            return cookie;
    return std::nullopt;
}
