#include "support/accessibility.h"

#include "support/desktopsession.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

Accessible fromJson(const QJsonObject &object)
{
    Accessible node;
    node.role = object.value(QStringLiteral("role")).toString();
    node.name = object.value(QStringLiteral("name")).toString();
    node.text = object.value(QStringLiteral("text")).toString();
    const QJsonArray rect = object.value(QStringLiteral("rect")).toArray();
    if (rect.size() == 4)
        node.rect = QRect(rect[0].toInt(), rect[1].toInt(), rect[2].toInt(), rect[3].toInt());
    node.showing = object.value(QStringLiteral("showing")).toBool();
    for (const QJsonValue &child : object.value(QStringLiteral("children")).toArray())
        node.children.append(fromJson(child.toObject()));
    return node;
}

void collect(const Accessible &node, const QString &role, const QRegularExpression &name,
             QList<Accessible> &found)
{
    if (node.role == role && name.match(node.name).hasMatch())
        found.append(node);
    for (const Accessible &child : node.children)
        collect(child, role, name, found);
}

} // namespace

QList<Accessible> Accessible::findAll(const QString &role, const QString &namePattern) const
{
    QList<Accessible> found;
    collect(*this, role, QRegularExpression(namePattern), found);
    return found;
}

std::optional<Accessible> Accessible::find(const QString &role, const QString &namePattern) const
{
    const QList<Accessible> found = findAll(role, namePattern);
    return found.isEmpty() ? std::nullopt : std::optional(found.first());
}

AccessibilityBus::AccessibilityBus(DesktopSession &session) : desktop(session) {}

QProcessEnvironment AccessibilityBus::programEnvironment() const
{
    QProcessEnvironment environment = desktop.environment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    return environment;
}

bool AccessibilityBus::start()
{
    const QString socket = busDir.filePath(QStringLiteral("bus"));
    address = QStringLiteral("unix:path=") + socket;
    const QProcessEnvironment environment = programEnvironment();
    desktop.launch("dbus-daemon", {"--session", "--nofork", "--address=" + address}, environment);
    if (!DesktopSession::waitUntil([&] { return QFile::exists(socket); })) {
        failure = QStringLiteral("the session bus did not start");
        return false;
    }
    desktop.launch("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"}, environment);
    const bool ready = DesktopSession::waitUntil([&] {
        return !desktop
                    .run("dbus-send",
                         {"--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                          "org.a11y.Bus.GetAddress"},
                         environment)
                    .isEmpty();
    });
    failure = ready ? QString() : QStringLiteral("the accessibility bus did not start");
    return ready;
}

Accessible AccessibilityBus::application() const
{
    const QJsonArray applications =
        QJsonDocument::fromJson(
            desktop.run("/usr/bin/python3",
                        {LEXORN_SOURCE_DIR "/tests/support/atspitree.py", "Lexorn"},
                        programEnvironment()))
            .array();
    return applications.isEmpty() ? Accessible() : fromJson(applications.first().toObject());
}

std::optional<Accessible> AccessibilityBus::waitFor(const QString &role, const QString &namePattern,
                                                    int timeoutMs) const
{
    std::optional<Accessible> found;
    DesktopSession::waitUntil(
        [&] {
            for (const Accessible &node : application().findAll(role, namePattern))
                if (node.showing)
                    found = node;
            return found.has_value();
        },
        timeoutMs);
    return found;
}
