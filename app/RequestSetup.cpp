#include "app/RequestSetup.h"

#include <QFile>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

#include "app/Exception.h"
#include "app/Registry.h"
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

WorkFile::WorkFile(std::string name) : name_(std::move(name))
{
}

WorkFile::~WorkFile() = default;

void WorkFile::Fetch(TNMHTTP& http, const HttpAddress& target, const std::string& request)
{
    // Hidden, beside the work file (a rename never crosses file systems),
    // with its extension kept: "./.http.AbC123.txt".
    const fs::path work(name_);
    const fs::path pattern = work.parent_path() / ("." + work.stem().string() + ".XXXXXX" + work.extension().string());
    download_ = std::make_unique<QTemporaryFile>(QFile::decodeName(pattern.c_str()));
    if (!download_->open())
        throw Exception("Cannot create file \"" + pattern.string() + "\"");
    download_->close();
    path_ = QFile::encodeName(download_->fileName()).toStdString();

    PrepareGet(http, target, path_);
    http.Get(request);
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
