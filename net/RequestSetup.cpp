#include "net/RequestSetup.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "base/Exception.h"
#include "base/Registry.h"
#include "net/NMHTTP.h"

namespace fs = std::filesystem;

ProxySetting ReadProxySetting()
{
    ProxySetting setting;
    setting.on = ReadRegistrySwitch(regvalue::Proxy, 0);
    if (setting.on) {
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyHost, setting.host);
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyPort, setting.port);
    }
    return setting;
}

void PrepareGet(TNMHTTP& http, const HttpAddress& target, const std::string& bodyFile)
{
    http.InputFileMode = true;
    http.OutputFileMode = false;
    http.Host = target.host;
    http.Port = target.port;
    const ProxySetting proxy = ReadProxySetting();
    if (proxy.on) {
        http.Proxy = proxy.host;
        http.ProxyPort = StrToInt(proxy.port);
    } else {
        http.Proxy.clear();
        http.ProxyPort = 0;
    }
    http.Body = bodyFile;
}

namespace {

// Hidden, beside the work file (a rename never crosses file systems), with its
// extension kept: "./.http.AbC123.txt"; "~" ends the copy that replaces the work file.
fs::path DownloadPattern(const fs::path& work)
{
    return work.parent_path() / ("." + work.stem().string() + ".XXXXXX" + work.extension().string());
}

bool IsDownloadName(const std::string& name)
{
    static const QRegularExpression names = [] {
        QStringList alternatives;
        for (const char* work : kWorkFileNames) {
            const QString pattern = QFile::decodeName(DownloadPattern(work).c_str());
            alternatives << QRegularExpression::escape(pattern).replace(QStringLiteral("XXXXXX"),
                                                                        QStringLiteral("[A-Za-z0-9]{6}"));
        }
        return QRegularExpression(QStringLiteral("\\A(?:%1)~?\\z").arg(alternatives.join(QLatin1Char('|'))));
    }();
    return names.match(QFile::decodeName(name.c_str())).hasMatch();
}

// Whether no process holds a lock on the file: the lock is taken and kept
// until the file is gone.
bool Unheld(const fs::path& file, int& fd)
{
    fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    close(fd);
    fd = -1;
    return false;
}

} // namespace

void RemoveStaleDownloads(const fs::path& folder)
{
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsDownloadName(it->path().filename().string()))
            found.push_back(it->path());
    }
    for (const fs::path& file : found) {
        const std::string name = file.string();
        if (name.back() == '~') {
            // A half-made copy belongs to its download: left while that exists.
            if (!fs::exists(name.substr(0, name.size() - 1), ec))
                fs::remove(file, ec);
            continue;
        }
        int fd = -1;
        if (Unheld(file, fd)) {
            fs::remove(file, ec);
            fs::remove(name + "~", ec);
            close(fd);
        }
    }
}

WorkFile::WorkFile(std::string name) : name_(std::move(name))
{
}

// The QTemporaryFile, closing, removes the file before its lock goes.
WorkFile::~WorkFile() = default;

// The file is locked through the QTemporaryFile's own descriptor, open until
// the end. Another copy may have taken it for stale and removed it between
// its making and the lock: then another is made.
void WorkFile::CreateDownload()
{
    const fs::path pattern = DownloadPattern(name_);
    for (int attempt = 0; attempt < 10; ++attempt) {
        download_ = std::make_unique<QTemporaryFile>(QFile::decodeName(pattern.c_str()));
        if (!download_->open())
            break;
        struct stat held, named;
        const std::string path = QFile::encodeName(download_->fileName()).toStdString();
        if (flock(download_->handle(), LOCK_EX | LOCK_NB) == 0 && fstat(download_->handle(), &held) == 0
            && stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            path_ = path;
            return;
        }
        download_->setAutoRemove(false); // the name may be another's by now
    }
    download_.reset();
    throw Exception("Cannot create file \"" + pattern.string() + "\"");
}

void WorkFile::Fetch(TNMHTTP& http, const HttpAddress& target, const std::string& request, bool publish)
{
    RemoveStaleDownloads(fs::path(name_).parent_path());
    CreateDownload();

    PrepareGet(http, target, path_);
    http.Get(request);
    if (publish)
        Publish();
}

// A copy goes in, not the download itself: the run keeps reading its own.
void WorkFile::Publish()
{
    const std::string staging = path_ + "~";
    std::error_code error;
    fs::copy_file(path_, staging, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::rename(staging, name_, error);
    if (error) {
        std::error_code ignored;
        fs::remove(staging, ignored);
        throw Exception("Cannot create file \"" + name_ + "\"");
    }
}
