// Alerts against a notification service on a private D-Bus bus the test
// starts: each once per auction and event; a service that goes is said, not fatal.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "board/Board.h"
#include "board/Notifier.h"
#include "tests/net/ScriptServer.h"

namespace {

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    std::vector<int> expiries;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&, const QStringList&,
                const QVariantMap&, int expiry)
    {
        summaries << summary;
        expiries.push_back(expiry);
        return static_cast<uint>(summaries.size());
    }
};

// A session bus of the test's own, ended with the test.
class PrivateBus {
public:
    PrivateBus()
    {
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted(5000) && daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};

} // namespace

TEST(NotifierTest, AlertsReachTheServiceOncePerEventAndItsLossIsToldNotFatal)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed (scripts/deps --test)";
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty());
    FakeNotifications fake;
    {
        QDBusConnection service = QDBusConnection::connectToBus(bus.address, QStringLiteral("fake-notifications"));
        ASSERT_TRUE(service.registerService(QString::fromLatin1(Notifier::kService)));
        ASSERT_TRUE(service.registerObject(QString::fromLatin1(Notifier::kPath), &fake, QDBusConnection::ExportAllSlots));
    }
    Notifier notifier(QDBusConnection::connectToBus(bus.address, QStringLiteral("board")));
    std::vector<bool> told;
    notifier.OnAvailability = [&](bool available) { told.push_back(available); };

    constexpr std::int64_t now = 1'800'000'000;
    Board board;
    board.SetLimits({{"a1", 500}});
    board.SetEntries({{"http://h/jp/auction/a1", "Camera", ""}}, now);
    BoardReading r;
    r.ok = true;
    r.now = now;
    r.auction.endTime = now + 120;
    r.auction.latestBidPrice = 800;
    r.auction.logRows = 2;
    board.Started(0, now);
    board.Finished(0, r);
    for (int tick = 0; tick < 3; ++tick) {
        for (const BoardAlert& alert : board.DueAlerts(now + tick))
            notifier.Notify(alert.summary, alert.body, alert.event != AlertEvent::Ended);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.summaries.size() >= 2; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(fake.summaries.size(), 2); // ends soon, price over the limit: once each
    EXPECT_EQ(fake.expiries, (std::vector<int>{0, 0})); // both stay until dismissed
    EXPECT_EQ(told, std::vector<bool>{true});

    // The service goes mid-session: the next alert is told as not delivered.
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
    notifier.Notify("x", "y");
    EXPECT_TRUE(QTest::qWaitFor([&] { return told.size() == 2; }, 10000));
    EXPECT_EQ(told.back(), false);

    // No bus at all: told at once, nothing thrown.
    Notifier nowhere(QDBusConnection(QStringLiteral("never-connected")));
    bool available = true;
    nowhere.OnAvailability = [&](bool a) { available = a; };
    nowhere.Notify("x", "y");
    EXPECT_FALSE(available);
    QDBusConnection::disconnectFromBus(QStringLiteral("board"));
}

TEST(NotifierTest, ABusThatNeverAnswersHoldsNoAlert)
{
    // Takes the connection and says nothing, then goes.
    ScriptServer hung([](ScriptServer::Conn& c, int) { c.WaitPeerEnd(2000); });
    const QString address = QStringLiteral("tcp:host=127.0.0.1,port=%1").arg(hung.Port());
    QElapsedTimer clock;
    clock.start();
    Notifier notifier([address] { return QDBusConnection::connectToBus(address, QStringLiteral("hung")); });
    bool available = true;
    notifier.OnAvailability = [&](bool a) { available = a; };
    notifier.Notify("まもなく終了: Camera", "あと 3 分", true);
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !available; }, 30000));
    QDBusConnection::disconnectFromBus(QStringLiteral("hung"));
}

#include "NotifierTest.moc"
