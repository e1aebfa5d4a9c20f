#include "board/Notifier.h"

#include <QDBusMessage>
#include <QThread>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

// Shown a little longer than the desktop's default: the user may be away.
constexpr int kShowMs = 10000;
// Expiry 0 and critical urgency: until the user dismisses it.
constexpr int kLastingMs = 0;
constexpr unsigned char kUrgencyNormal = 1, kUrgencyCritical = 2;

} // namespace

Notifier::Notifier(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

Notifier::Notifier(std::function<QDBusConnection()> connectBus, QObject* parent) : QObject(parent)
{
    auto found = std::make_shared<std::optional<QDBusConnection>>();
    QThread* thread = QThread::create([connectBus = std::move(connectBus), found] { found->emplace(connectBus()); });
    // Told through the thread's end, in this object's thread; nothing when this object went first.
    connect(thread, &QThread::finished, this, [this, found] {
        bus_ = found->value_or(QDBusConnection(QStringLiteral("none")));
        std::vector<Waiting> waiting;
        waiting.swap(waiting_);
        for (const Waiting& w : waiting)
            Send(w.summary, w.body, w.lasting);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void Notifier::Notify(const std::string& summary, const std::string& body, bool lasting)
{
    if (!bus_) {
        waiting_.push_back({summary, body, lasting});
        return;
    }
    Send(summary, body, lasting);
}

void Notifier::Send(const std::string& summary, const std::string& body, bool lasting)
{
    if (!bus_->isConnected()) {
        SetAvailable(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    call << QStringLiteral("Mirelo") << 0u << QStringLiteral("mirelo") << QString::fromStdString(summary)
         << QString::fromStdString(body) << QStringList()
         << QVariantMap{{QStringLiteral("urgency"),
                         QVariant::fromValue(static_cast<uchar>(lasting ? kUrgencyCritical : kUrgencyNormal))}}
         << (lasting ? kLastingMs : kShowMs);
    // Asynchronous: a service that hangs must not hold the window; D-Bus
    // ends the call with an error after its own time-out.
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call, 5000), this);
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
