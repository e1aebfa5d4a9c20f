// Alerts through the desktop's notification service (the freedesktop
// notification interface over D-Bus). Without a service, or when it goes,
// nothing fails: the caller is told, to say it in its status line.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Notifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    explicit Notifier(QDBusConnection bus, QObject* parent = nullptr);
    // Connects on a thread of its own (the session bus unless told another
    // way): a bus that hangs never holds the caller. Alerts wait meanwhile.
    explicit Notifier(std::function<QDBusConnection()> connectBus = &QDBusConnection::sessionBus, QObject* parent = nullptr);

    // Sends without waiting for the answer. summary and body in UTF-8.
    // lasting: stays on the desktop until dismissed, as an urgent one.
    void Notify(const std::string& summary, const std::string& body, bool lasting = false);

    // Told once per change: whether the last notification reached a service.
    std::function<void(bool available)> OnAvailability;
    bool Available() const { return available_; }

private:
    void SetAvailable(bool available);
    void Send(const std::string& summary, const std::string& body, bool lasting);

    struct Waiting {
        std::string summary, body;
        bool lasting;
    };
    std::optional<QDBusConnection> bus_; // none while connecting
    std::vector<Waiting> waiting_;
    bool available_ = true;
    bool told_ = false;
};
