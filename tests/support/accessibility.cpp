#include "support/accessibility.h"

#include "support/desktopsession.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

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
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

AccessibilityBus::AccessibilityBus(DesktopSession &session) : desktop(session) {}

QProcessEnvironment AccessibilityBus::programEnvironment() const
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    return environment;
}

bool AccessibilityBus::start()
{
    if (!busDir.isValid()) {
        failure = QStringLiteral("no temporary folder for the bus");
        return false;
    }
    const QString socket = busDir.filePath(QStringLiteral("bus"));
    address = QStringLiteral("unix:path=") + socket;
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);

    desktop.launch(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--address=") + address},
                   environment);
    if (!DesktopSession::waitUntil([&] { return QFile::exists(socket); })) {
        failure = QStringLiteral("the session bus did not start");
        return false;
    }
    desktop.launch(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                   {QStringLiteral("--launch-immediately")}, environment);
    const bool ready = DesktopSession::waitUntil([this] {
        bool ok = false;
        run(QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
             QStringLiteral("org.a11y.Bus.GetAddress")},
            &ok);
        return ok;
    });
    if (!ready) {
        failure = QStringLiteral("the accessibility bus did not start");
        return false;
    }
    return true;
}

QByteArray AccessibilityBus::run(const QString &program, const QStringList &arguments,
                                 bool *ok) const
{
    *ok = false;
    QProcess process;
    QProcessEnvironment environment = desktop.environment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    process.setProcessEnvironment(environment);
    // Wait with events flowing, so that the test's own servers go on answering.
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    if (process.waitForStarted(5000) && process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(2000);
        return {};
    }
    *ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

Accessible AccessibilityBus::application(const QString &name) const
{
    bool ok = false;
    const QByteArray tree =
        run(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(LEXORN_SOURCE_DIR "/tests/support/atspitree.py"), name}, &ok);
    const QJsonArray applications = QJsonDocument::fromJson(tree).array();
    if (!ok || applications.isEmpty())
        return {};
    return fromJson(applications.first().toObject());
}

std::optional<Accessible> AccessibilityBus::waitFor(const QString &role, const QString &namePattern,
                                                    int timeoutMs,
                                                    const QString &applicationName) const
{
    std::optional<Accessible> found;
    DesktopSession::waitUntil(
        [&] {
            for (const Accessible &node : application(applicationName).findAll(role, namePattern)) {
                if (node.showing) {
                    found = node;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}
