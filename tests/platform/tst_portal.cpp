// Super+T through the desktop's GlobalShortcuts portal, against a fake portal on the bus of
// dbus-run-session.
#include "platform/hotkey.h"
#include "support/testmain.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QWidget>

using namespace platform;

const QString Path = "/org/freedesktop/portal/desktop";
const QString Session = Path + "/session/1/lexorn";

// Answers each call through its Request, as the portal does, and records what it was asked.
class FakePortal : public QDBusVirtualObject
{
public:
    uint bindAnswer = 0;
    QStringList bound; // id, description and trigger of the shortcut bound

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        if (call.member() == "Close")
            return true;
        const QString request =
            Path + "/request/" + call.service().mid(1).replace('.', '_') + "/" +
            qdbus_cast<QVariantMap>(call.arguments().last())["handle_token"].toString();
        bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        if (call.member() == "BindShortcuts") { // its first shortcut
            const QDBusArgument shortcuts = call.arguments().at(1).value<QDBusArgument>();
            QString id;
            QVariantMap properties;
            shortcuts.beginArray();
            shortcuts.beginStructure();
            shortcuts >> id >> properties;
            shortcuts.endStructure();
            shortcuts.endArray();
            bound << id << properties["description"].toString()
                  << properties["preferred_trigger"].toString();
        }
        return bus.send(
            QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
            << (call.member() == "BindShortcuts" ? bindAnswer : 0u)
            << QVariantMap{{"session_handle", Session}});
    }
};

class PortalTest : public QObject
{
    Q_OBJECT
    FakePortal portal;
    QWidget window;
    QList<WPARAM> ids; // of the hot key messages the window received

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_SESSION_TYPE", "wayland");
        QDBusConnection desktop =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop");
        QVERIFY(desktop.registerVirtualObject(Path, &portal, QDBusConnection::SubPath));
        QVERIFY(desktop.registerService("org.freedesktop.portal.Desktop"));
        SetWindowLong(&window, GWL_WNDPROC, [this](HWND, UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_HOTKEY)
                ids << wParam;
            return LRESULT(0);
        });
    }

    void cleanup()
    {
        UnregisterHotKey(&window, 1); // the portal binds once per session
        portal.bound.clear();
        ids.clear();
    }

    void hotKey_data()
    {
        columns<uint, QString, bool, int>({"bindAnswer", "activated", "unregistered", "hotKeys"});
        dataRow("bound, then pressed", 0u, QString("translate-text"), false, 1);
        dataRow("another shortcut pressed", 0u, QString("another"), false, 0);
        dataRow("pressed after UnregisterHotKey", 0u, QString("translate-text"), true, 0);
        dataRow("declined", 1u, QString("another"), false, 0);
    }

    void hotKey()
    {
        const auto [bindAnswer, activated, unregistered, hotKeys] =
            fetch<uint, QString, bool, int>("bindAnswer", "activated", "unregistered", "hotKeys");
        portal.bindAnswer = bindAnswer;
        if (bindAnswer)
            QTest::ignoreMessage(QtWarningMsg, "The desktop did not bind LOGO+t: declined");
        QVERIFY(RegisterHotKey(&window, 1, MOD_WIN, 'T'));
        QTRY_COMPARE(portal.bound, QStringList({"translate-text", "Translate Text", "LOGO+t"}));
        if (unregistered)
            QVERIFY(UnregisterHotKey(&window, 1));
        QDBusConnection("desktop").send(
            QDBusMessage::createSignal(Path, "org.freedesktop.portal.GlobalShortcuts", "Activated")
            << QVariant::fromValue(QDBusObjectPath(Session)) << activated << 0ull << QVariantMap());
        QTest::qWait(500);
        QCOMPARE(ids, QList<WPARAM>(hotKeys, 1));
    }
};

LEXORN_TEST_MAIN(PortalTest)
#include "tst_portal.moc"
