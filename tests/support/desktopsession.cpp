#include "support/desktopsession.h"

#include "support/loopbackserver.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

qulonglong parseWindowId(const QByteArray &text)
{
    bool ok = false;
    const qulonglong id = text.trimmed().startsWith("0x")
                              ? text.trimmed().mid(2).toULongLong(&ok, 16)
                              : text.trimmed().toULongLong(&ok);
    return ok ? id : 0;
}

bool locksDisplay(const QProcess *server, int number)
{
    QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(number));
    return lock.open(QIODevice::ReadOnly) &&
           lock.readAll().trimmed().toLongLong() == server->processId();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

DesktopSession::DesktopSession() = default;

DesktopSession::~DesktopSession()
{
    for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
        end(*it);
        delete *it;
    }
}

void DesktopSession::end(QProcess *process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool DesktopSession::start(bool withTray)
{
    if (!workDir.isValid()) {
        failure = QStringLiteral("no temporary folder");
        return false;
    }
    QDir(workDir.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(workDir.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return startXvfb() && startOpenbox() && (!withTray || startTray());
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), displayName);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       workDir.filePath(QStringLiteral("runtime")));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("XAUTHORITY"));
    // No session bus: the tray stays trayer's XEmbed tray, whatever the developer's desktop runs.
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return environment;
}

bool DesktopSession::startXvfb()
{
    int number = 50 + int(QRandomGenerator::global()->bounded(400));
    for (int attempt = 0; attempt < 20;
         ++attempt, number += 1 + int(QRandomGenerator::global()->bounded(7))) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        displayName = QStringLiteral(":%1").arg(number);
        // No reset when the probe below disconnects: a resetting server refuses the next client.
        QProcess *server = launch(QStringLiteral("Xvfb"),
                                  {displayName, QStringLiteral("-screen"), QStringLiteral("0"),
                                   QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                                   QStringLiteral("tcp"), QStringLiteral("-noreset")});
        const bool answers = waitUntil(
            [&] {
                return server->state() == QProcess::NotRunning ||
                       run(QStringLiteral("xdpyinfo"), {}, 5000).ok();
            },
            10000);
        // Another server may have taken the number meanwhile (its socket can also be one that
        // leaves no file): the display is ours only if the lock names our server.
        if (answers && server->state() == QProcess::Running && locksDisplay(server, number))
            return true;
        end(server);
    }
    failure = QStringLiteral("Xvfb did not start on any free display");
    return false;
}

bool DesktopSession::startOpenbox()
{
    QProcess *manager = launch(QStringLiteral("openbox"), {});
    const bool managing = waitUntil([&] {
        return manager->state() == QProcess::NotRunning ||
               run(QStringLiteral("xprop"),
                   {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                   .output.contains("window id");
    });
    if (managing && manager->state() == QProcess::Running)
        return true;
    failure = QStringLiteral("openbox did not start on %1: %2").arg(displayName, outputOf(manager));
    return false;
}

bool DesktopSession::startTray()
{
    // Seen rarely under load: the panel created but never mapped. A second trayer fares better.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess *tray =
            launch(QStringLiteral("trayer"),
                   {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                    QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                    QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                    QStringLiteral("24"), QStringLiteral("--transparent"), QStringLiteral("false"),
                    QStringLiteral("--tint"), QStringLiteral("0xcccccc")});
        const bool shown = waitUntil(
            [&] {
                if (tray->state() == QProcess::NotRunning)
                    return true;
                const QList<qulonglong> panels =
                    search({QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                            QStringLiteral("^trayer$")});
                return std::any_of(panels.cbegin(), panels.cend(), [this](qulonglong id) {
                    return windowName(id) == QLatin1String("panel");
                });
            },
            8000);
        if (shown && tray->state() == QProcess::Running)
            return true;
        failure = QStringLiteral("trayer did not start on %1: %2").arg(displayName, outputOf(tray));
        end(tray);
    }
    return false;
}

DesktopSession::Command DesktopSession::run(const QString &program, const QStringList &arguments,
                                            int timeoutMs) const
{
    Command result;
    QProcess process;
    process.setProcessEnvironment(environment());
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    if (process.waitForStarted(5000) && process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(2000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

QProcess *DesktopSession::launch(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &environment)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(environment);
    const QString log = workDir.filePath(
        QStringLiteral("%1-%2.log").arg(QFileInfo(program).fileName()).arg(processes.size()));
    process->setStandardOutputFile(log);
    process->setStandardErrorFile(log, QIODevice::Append);
    logs.insert(process, log);
    process->start(program, arguments);
    process->waitForStarted(5000);
    processes.append(process);
    return process;
}

QString DesktopSession::outputOf(const QProcess *process) const
{
    QFile log(logs.value(process));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

QProcess *DesktopSession::launch(const QString &program, const QStringList &arguments)
{
    return launch(program, arguments, environment());
}

bool DesktopSession::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(50);
    }
    return true;
}

QList<qulonglong> DesktopSession::search(const QStringList &arguments) const
{
    QList<qulonglong> found;
    const Command result =
        run(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + arguments);
    for (const QByteArray &line : result.output.split('\n')) {
        if (const qulonglong id = parseWindowId(line))
            found.append(id);
    }
    return found;
}

void DesktopSession::xdotool(const QStringList &arguments) const
{
    run(QStringLiteral("xdotool"), arguments);
}

QList<qulonglong> DesktopSession::windowsNamed(const QString &pattern) const
{
    return search({QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
}

QList<qulonglong> DesktopSession::windowsOfClass(const QString &pattern) const
{
    return search({QStringLiteral("--onlyvisible"), QStringLiteral("--class"), pattern});
}

qulonglong DesktopSession::waitForWindow(const QString &namePattern, int timeoutMs) const
{
    qulonglong found = 0;
    waitUntil(
        [&] {
            const QList<qulonglong> windows = windowsNamed(namePattern);
            found = windows.isEmpty() ? 0 : windows.last();
            return found != 0;
        },
        timeoutMs);
    return found;
}

bool DesktopSession::waitForNoWindow(const QString &namePattern, int timeoutMs) const
{
    return waitUntil([&] { return windowsNamed(namePattern).isEmpty(); }, timeoutMs);
}

QString DesktopSession::windowName(qulonglong window) const
{
    return QString::fromUtf8(
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)})
            .output.trimmed());
}

QRect DesktopSession::windowGeometry(qulonglong window) const
{
    const QByteArray info =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}).output;
    auto value = [&info](const char *label) {
        static const QRegularExpression number(QStringLiteral("(-?\\d+)"));
        const qsizetype at = info.indexOf(label);
        if (at < 0)
            return -1;
        const QString rest = QString::fromLatin1(info.mid(at + qstrlen(label), 16));
        return number.match(rest).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"),
                 value("Height:"));
}

qulonglong DesktopSession::activeWindow() const
{
    return parseWindowId(
        run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).output);
}

QList<qulonglong> DesktopSession::stackingOrder() const
{
    const QByteArray stacking =
        run(QStringLiteral("xprop"),
            {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")})
            .output;
    QList<qulonglong> order;
    for (const QByteArray &item : stacking.mid(stacking.indexOf('#') + 1).split(',')) {
        if (const qulonglong id = parseWindowId(item))
            order.append(id);
    }
    return order;
}

bool DesktopSession::isAbove(qulonglong upper, qulonglong lower) const
{
    const QList<qulonglong> order = stackingOrder();
    return order.contains(upper) && order.contains(lower) &&
           order.indexOf(upper) > order.indexOf(lower);
}

bool DesktopSession::isViewable(qulonglong window) const
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)})
        .output.contains("IsViewable");
}

bool DesktopSession::isOverrideRedirect(qulonglong window) const
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)})
        .output.contains("Override Redirect State: yes");
}

void DesktopSession::mouseMove(int x, int y) const
{
    xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y)});
}

void DesktopSession::click(int x, int y, int button, int repeat) const
{
    xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
             QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat),
             QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button)});
}

void DesktopSession::mouseDown(int x, int y, int button) const
{
    xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y),
             QStringLiteral("mousedown"), QString::number(button)});
}

void DesktopSession::mouseUp(int button) const
{
    xdotool({QStringLiteral("mouseup"), QString::number(button)});
}

void DesktopSession::key(const QString &keys) const
{
    xdotool({QStringLiteral("key"), keys});
}

void DesktopSession::type(const QString &text) const
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

void DesktopSession::activate(qulonglong window) const
{
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
}

namespace {

// left, right, top, bottom
QList<int> frameExtents(const DesktopSession &session, qulonglong window)
{
    const QByteArray extents =
        session
            .run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                           QStringLiteral("_NET_FRAME_EXTENTS")})
            .output;
    QList<int> values;
    for (const QByteArray &value : extents.mid(extents.indexOf('=') + 1).split(','))
        values.append(value.trimmed().toInt());
    while (values.size() < 4)
        values.append(0);
    return values;
}

} // namespace

QRect DesktopSession::frameGeometry(qulonglong window) const
{
    const QList<int> extents = frameExtents(*this, window);
    return windowGeometry(window).adjusted(-extents[0], -extents[2], extents[1], extents[3]);
}

QString DesktopSession::windowType(qulonglong window) const
{
    const QByteArray types =
        run(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_WINDOW_TYPE")})
            .output;
    const qsizetype equals = types.indexOf('=');
    return equals < 0 ? QString()
                      : QString::fromLatin1(types.mid(equals + 1).split(',').first().trimmed());
}

void DesktopSession::clickCloseBox(qulonglong window) const
{
    // The close box sits at the right end of the title bar, half a title bar in from the edge.
    const QList<int> extents = frameExtents(*this, window);
    const QRect client = windowGeometry(window);
    click(client.right() + 1 + extents[1] - extents[2] / 2, client.top() - extents[2] / 2);
}

QList<DesktopSession::Window> DesktopSession::trayIcons() const
{
    // xwininfo's tree: indentation gives the nesting; the icons are the named windows below
    // trayer's panel.
    static const QRegularExpression line(QStringLiteral(
        "^(\\s*)(0x[0-9a-f]+) (?:\"(.*)\"|\\(has no name\\)): \\((?:\"([^\"]*)\" \"([^\"]*)\")?\\)"
        "\\s+(\\d+)x(\\d+)[+-]-?\\d+[+-]-?\\d+\\s+\\+?(-?\\d+)\\+?(-?\\d+)"));
    QList<Window> icons;
    const QByteArray tree =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}).output;
    qsizetype panelDepth = -1;
    for (const QByteArray &raw : tree.split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(raw));
        if (!match.hasMatch())
            continue;
        const qsizetype depth = match.capturedLength(1);
        if (panelDepth >= 0 && depth <= panelDepth)
            panelDepth = -1;
        if (match.captured(3) == QLatin1String("panel") &&
            match.captured(5) == QLatin1String("trayer")) {
            panelDepth = depth;
            continue;
        }
        if (panelDepth < 0 || match.captured(4).isEmpty())
            continue;
        Window icon;
        icon.id = parseWindowId(match.captured(2).toLatin1());
        icon.name = match.captured(3);
        icon.className = match.captured(4);
        icon.geometry = QRect(match.captured(8).toInt(), match.captured(9).toInt(),
                              match.captured(6).toInt(), match.captured(7).toInt());
        icons.append(icon);
    }
    return icons;
}

DesktopSession::Window DesktopSession::trayIcon(const QString &classPattern) const
{
    const QRegularExpression pattern(classPattern);
    for (const Window &icon : trayIcons()) {
        if (pattern.match(icon.className).hasMatch() && isViewable(icon.id))
            return icon;
    }
    return {};
}

QString DesktopSession::screenshot(const QString &name, const QRect &area) const
{
    const QString folder = QStringLiteral(LEXORN_BUILD_DIR "/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    QStringList arguments{QStringLiteral("-window"), QStringLiteral("root")};
    if (area.isValid())
        arguments << QStringLiteral("-crop")
                  << QStringLiteral("%1x%2+%3+%4")
                         .arg(area.width())
                         .arg(area.height())
                         .arg(area.x())
                         .arg(area.y())
                  << QStringLiteral("+repage");
    run(QStringLiteral("import"), arguments << path);
    return path;
}

QString DesktopSession::startService()
{
    QFile demo(QStringLiteral(LEXORN_SOURCE_DIR "/service/demo.ini"));
    if (!demo.open(QIODevice::ReadOnly)) {
        failure = QStringLiteral("no demo configuration of the service");
        return {};
    }
    const QString folder = workDir.filePath(QStringLiteral("service%1").arg(processes.size()));
    QDir().mkpath(folder);
    // A fresh database beside the copy; fewer hash rounds keep the sign-in quick in a debug build.
    QByteArray configuration = demo.readAll();
    configuration.replace("password_iterations = 100000", "password_iterations = 1000");
    const QString path = folder + QStringLiteral("/service.ini");
    QFile copy(path);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(configuration) != configuration.size()) {
        failure = QStringLiteral("cannot write the service configuration");
        return {};
    }
    copy.close();
    const quint16 port = freePort();
    QProcess *service =
        launch(QStringLiteral(LEXORN_SERVICE_BIN),
               {QStringLiteral("--config"), path, QStringLiteral("--port"), QString::number(port)});
    const bool listening = waitUntil(
        [&] {
            if (service->state() == QProcess::NotRunning)
                return true;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(200);
        },
        15000);
    if (!listening || service->state() != QProcess::Running) {
        failure = QStringLiteral("lexorn-service did not start");
        return {};
    }
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

QString DesktopSession::serveSettings(const QByteArray &answer)
{
    settingsServer = std::make_unique<LoopbackServer>();
    settingsServer->answerWith(200, answer);
    return QString::fromLatin1(settingsServer->hostAndPort());
}

QString DesktopSession::configHome() const
{
    return workDir.filePath(QStringLiteral("config%1").arg(lexornStarts));
}

QProcess *DesktopSession::startLexorn(const QString &serviceHost, const QString &userName,
                                      const QString &password, const QProcessEnvironment &extra)
{
    ++lexornStarts;
    const QString home = configHome();
    QDir().mkpath(home);
    if (!userName.isEmpty() || !password.isEmpty()) {
        QSettings store(home + QStringLiteral("/Korvath/Lexorn.ini"), QSettings::IniFormat);
        store.setValue(QStringLiteral("Login/Username"), userName);
        store.setValue(QStringLiteral("Login/Password"), password);
        store.sync();
    }
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    environment.insert(QStringLiteral("LEXORN_SERVICE_HOST"), serviceHost);
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    return launch(QStringLiteral(LEXORN_BIN), {}, environment);
}

bool DesktopSession::waitForExit(QProcess *process, int timeoutMs)
{
    return waitUntil([process] { return process->state() == QProcess::NotRunning; }, timeoutMs);
}
