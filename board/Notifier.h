// Alerts through the desktop's notification service (the freedesktop
// notification interface over D-Bus). Without a service, or when it goes,
// nothing fails: the caller is told, to say it in its status line.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <string>

class Notifier : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    explicit Notifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Sends without waiting for the answer. summary and body in UTF-8.
    void Notify(const std::string& summary, const std::string& body);

    // Told once per change: whether the last notification reached a service.
    std::function<void(bool available)> OnAvailability;
    bool Available() const { return available_; }

private:
    void SetAvailable(bool available);

    QDBusConnection bus_;
    bool available_ = true;
    bool told_ = false;
};
