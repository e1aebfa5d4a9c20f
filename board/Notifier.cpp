#include "board/Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

// Shown a little longer than the desktop's default: the user may be away.
constexpr int kShowMs = 10000;

} // namespace

Notifier::Notifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

void Notifier::Notify(const std::string& summary, const std::string& body)
{
    if (!bus_.isConnected()) {
        SetAvailable(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Mirelo") << 0u << QStringLiteral("mirelo") << QString::fromStdString(summary)
         << QString::fromStdString(body) << QStringList() << QVariantMap() << kShowMs;
    // Asynchronous: a service that hangs must not hold the window; D-Bus
    // ends the call with an error after its own time-out.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        SetAvailable(!w->isError());
        w->deleteLater();
    });
}

void Notifier::SetAvailable(bool available)
{
    if (told_ && available == available_)
        return;
    told_ = true;
    available_ = available;
    if (OnAvailability)
        OnAvailability(available);
}
