#include "ui/Browser.h"

#include <QDesktopServices>

namespace {
std::function<void(const QUrl&)>& Opener()
{
    static std::function<void(const QUrl&)> opener;
    return opener;
}
} // namespace

void OpenUrl(const QUrl& url)
{
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(url);
}

bool OpenWebAddress(const QString& address)
{
    const QUrl url(address.trimmed());
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.host().isEmpty())
        return false;
    OpenUrl(url);
    return true;
}

void SetUrlOpener(std::function<void(const QUrl&)> opener)
{
    Opener() = std::move(opener);
}
