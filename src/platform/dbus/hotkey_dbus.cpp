#include "platform/dbus/dbus.h"
#include "platform/keys.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>

namespace platform::dbus {

// One entry of BindShortcuts' a(sa{sv}).
struct Shortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace platform::dbus

Q_DECLARE_METATYPE(platform::dbus::Shortcut)

namespace platform::dbus {
namespace {

Q_LOGGING_CATEGORY(lcHotKey, "lexorn.hotkey")

const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString Path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString ShortcutId = QStringLiteral("translate-text");

// A session with the one shortcut Lexorn has. The portal answers each call through a Request
// object whose Response signal carries the outcome.
class Binding : public QObject
{
    Q_OBJECT

public:
    Binding(QWidget *window, int id, const QString &trigger, std::function<void()> pressed)
        : QObject(qApp), window(window), id(id), trigger(trigger), pressed(std::move(pressed))
    {
        call(QStringLiteral("CreateSession"), {},
             {{QStringLiteral("session_handle_token"), QStringLiteral("lexorn")}},
             SLOT(sessionCreated(uint, QVariantMap)));
    }

    const QPointer<QWidget> window;
    const int id;
    QString session;

public Q_SLOTS:
    void sessionCreated(uint response, const QVariantMap &results)
    {
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        session = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                      ? handle.value<QDBusObjectPath>().path()
                      : handle.toString();
        if (response != 0 || session.isEmpty())
            return refused(QStringLiteral("no session"));
        QDBusConnection::sessionBus().connect(
            Service, Path, Interface, QStringLiteral("Activated"), this,
            SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        const Shortcut shortcut{ShortcutId,
                                {{QStringLiteral("description"), QStringLiteral("Translate Text")},
                                 {QStringLiteral("preferred_trigger"), trigger}}};
        call(QStringLiteral("BindShortcuts"),
             {QVariant::fromValue(QDBusObjectPath(session)),
              QVariant::fromValue(QList<Shortcut>{shortcut}), QString()},
             {}, SLOT(bound(uint, QVariantMap)));
    }

    void bound(uint response, const QVariantMap &results)
    {
        if (response != 0)
            return refused(QStringLiteral("declined"));
        // The desktop may have let the user pick another trigger: theirs to choose, said for
        // whoever wonders why Super+T does nothing.
        const auto shortcuts =
            qdbus_cast<QList<Shortcut>>(results.value(QStringLiteral("shortcuts")));
        for (const Shortcut &shortcut : shortcuts) {
            if (shortcut.id == ShortcutId)
                qCInfo(
                    lcHotKey, "Translate Text is bound to %s",
                    qUtf8Printable(shortcut.properties.value(QStringLiteral("trigger_description"))
                                       .toString()));
        }
    }

    void activated(const QDBusObjectPath &from, const QString &shortcutId, qulonglong,
                   const QVariantMap &)
    {
        if (from.path() != session || shortcutId != ShortcutId || !window)
            return;
        pressed();
    }

private:
    const QString trigger;
    const std::function<void()> pressed;
    int requests = 0;

    void refused(const QString &why)
    {
        qCWarning(lcHotKey, "The desktop did not bind %s: %s", qUtf8Printable(trigger),
                  qUtf8Printable(why));
    }

    // The Request's path is known before the call, so its Response cannot come unheard.
    void call(const QString &method, QVariantList arguments, QVariantMap options,
              const char *answered)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString token = QStringLiteral("lexorn%1").arg(++requests);
        const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        bus.connect(Service, QStringLiteral("%1/request/%2/%3").arg(Path, sender, token),
                    QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                    this, answered);
        options.insert(QStringLiteral("handle_token"), token);
        QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
        message.setArguments(arguments << options);
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
            if (watcher->isError())
                refused(watcher->error().message());
            watcher->deleteLater();
        });
    }
};

Binding *binding = nullptr;

} // namespace

bool Active()
{
    // Asks the bus, not the portal: the portal may take its time to start.
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && (bus->isServiceRegistered(Service).value() ||
                   bus->activatableServiceNames().value().contains(Service));
}

bool RegisterHotKey(QWidget *window, int id, unsigned modifiers, unsigned virtualKey,
                    std::function<void()> pressed)
{
    if (!window || binding)
        return false;
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    // As the portal writes a trigger: "LOGO+t".
    binding = new Binding(window, id,
                          combinationName(modifiers, QChar(char16_t(virtualKey)).toLower(),
                                          {"CTRL", "ALT", "SHIFT", "LOGO"}),
                          std::move(pressed));
    return true;
}

bool UnregisterHotKey(QWidget *window, int id)
{
    if (!binding || binding->window != window || binding->id != id)
        return false;
    // The portal has no unbind: the binding ends with its session.
    if (!binding->session.isEmpty())
        QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
            Service, binding->session, QStringLiteral("org.freedesktop.portal.Session"),
            QStringLiteral("Close")));
    delete binding;
    binding = nullptr;
    return true;
}

} // namespace platform::dbus

#include "hotkey_dbus.moc"
