#include "platform/dbus/dbus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPointer>

#include <utility>

namespace platform::dbus {
namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int WatcherAnswerMs = 500;

bool hostRegistered(QDBusConnection bus)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, WatcherAnswerMs);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

// Waits for a host: the watcher says when one registers, and a watcher that comes (back) may
// bring one along.
class HostWait : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(HostWait)

public:
    HostWait(QObject *context, std::function<void()> make)
        : QObject(context), make(std::move(make)),
          watcher(WatcherService, QDBusConnection::sessionBus(),
                  QDBusServiceWatcher::WatchForRegistration)
    {
        connect(&watcher, &QDBusServiceWatcher::serviceRegistered, this, &HostWait::check);
        QDBusConnection::sessionBus().connect(WatcherService, WatcherPath, WatcherService,
                                              QStringLiteral("StatusNotifierHostRegistered"), this,
                                              SLOT(check()));
    }

public Q_SLOTS:
    void check()
    {
        if (!make || !hostRegistered(QDBusConnection::sessionBus()))
            return;
        std::exchange(make, nullptr)();
        deleteLater();
    }

private:
    std::function<void()> make;
    QDBusServiceWatcher watcher;
};

} // namespace

void WhenTrayCanShow(QObject *context, std::function<void()> make)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (QGuiApplication::platformName() == QLatin1String("xcb") || !bus.isConnected() ||
        hostRegistered(bus))
        make();
    else
        new HostWait(context, std::move(make)); // owned by the context, ends itself once made
}

} // namespace platform::dbus

#include "statusnotifier_dbus.moc"
