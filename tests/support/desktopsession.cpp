#include "support/desktopsession.h"

#include "support/servicerunner.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>

namespace {

qulonglong parseWindowId(const QByteArray &text)
{
    bool ok = false;
    const QByteArray trimmed = text.trimmed();
    const qulonglong id =
        trimmed.startsWith("0x") ? trimmed.mid(2).toULongLong(&ok, 16) : trimmed.toULongLong(&ok);
    return ok ? id : 0;
}

// The numbers after the '=' of an xprop line (or after the '#' of a list), in order.
QList<qulonglong> xpropValues(const QByteArray &line, char after)
{
    QList<qulonglong> values;
    for (const QByteArray &item : line.mid(line.indexOf(after) + 1).split(','))
        values.append(parseWindowId(item));
    return values;
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
    process->terminate(); // nothing when it has ended
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

bool DesktopSession::startUntil(const QString &program, const QStringList &arguments,
                                const std::function<bool()> &ready, int timeoutMs)
{
    QProcess *process = launch(program, arguments);
    if (waitUntil([&] { return process->state() == QProcess::NotRunning || ready(); }, timeoutMs) &&
        process->state() == QProcess::Running)
        return true;
    end(process);
    failure = program + QStringLiteral(" did not start");
    return false;
}

bool DesktopSession::start(bool withTray)
{
    // Xvfb picks a free display itself and writes its number once it takes clients.
    static const QRegularExpression number(QStringLiteral("(?m)^(\\d+)$"));
    const bool started = startUntil(
        "Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
        [&] {
            QFile log(workDir.filePath(QStringLiteral("Xvfb-0.log")));
            const QString found = log.open(QIODevice::ReadOnly)
                                      ? number.match(QString::fromLatin1(log.readAll())).captured(1)
                                      : QString();
            displayName = found.isEmpty() ? found : QLatin1Char(':') + found;
            return !found.isEmpty();
        });
    if (!started || !startUntil("openbox", {}, [this] {
            return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
        }))
        return false;
    // Seen rarely under load: the panel created but never mapped. A second trayer fares better.
    for (int attempt = 0; withTray && attempt < 3; ++attempt) {
        if (startUntil(
                "trayer",
                {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                 "--height", "24", "--transparent", "false", "--tint", "0xcccccc"},
                [this] { return !trayPanels().isEmpty(); }, 8000))
            return true;
    }
    return !withTray;
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", displayName);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_RUNTIME_DIR", workDir.path()); // owner-only, as it must be
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XAUTHORITY");
    // No session bus: the tray stays trayer's XEmbed tray, whatever the developer's desktop runs.
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    return environment;
}

QByteArray DesktopSession::run(const QString &program, const QStringList &arguments,
                               const QProcessEnvironment &env) const
{
    QProcess process;
    process.setProcessEnvironment(env.isEmpty() ? environment() : env);
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
    }
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return ok ? process.readAllStandardOutput() : QByteArray();
}

QProcess *DesktopSession::launch(const QString &program, const QStringList &arguments,
                                 const QProcessEnvironment &env)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(env.isEmpty() ? environment() : env);
    // Into a file, so that a chatty program never blocks on a full pipe.
    const QString log = workDir.filePath(
        QStringLiteral("%1-%2.log").arg(QFileInfo(program).fileName()).arg(processes.size()));
    process->setStandardOutputFile(log);
    process->setStandardErrorFile(log, QIODevice::Append);
    process->start(program, arguments);
    process->waitForStarted(5000);
    processes.append(process);
    return process;
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
    for (const QByteArray &line : run("xdotool", QStringList{"search"} + arguments).split('\n'))
        if (const qulonglong id = parseWindowId(line))
            found.append(id);
    return found;
}

QList<qulonglong> DesktopSession::windowsNamed(const QString &pattern) const
{
    return search({"--onlyvisible", "--name", pattern});
}

QList<qulonglong> DesktopSession::windowsOfClass(const QString &pattern) const
{
    return search({"--onlyvisible", "--class", pattern});
}

qulonglong DesktopSession::waitForWindow(const QString &namePattern, int timeoutMs) const
{
    QList<qulonglong> windows;
    waitUntil([&] { return !(windows = windowsNamed(namePattern)).isEmpty(); }, timeoutMs);
    return windows.isEmpty() ? 0 : windows.last();
}

bool DesktopSession::waitForNoWindow(const QString &namePattern, int timeoutMs) const
{
    return waitUntil([&] { return windowsNamed(namePattern).isEmpty(); }, timeoutMs);
}

QRect DesktopSession::windowGeometry(qulonglong window) const
{
    static const QRegularExpression numbers(
        QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)\\s+Absolute upper-left Y:\\s+(-?\\d+)"
                       ".*Width: (\\d+)\\s+Height: (\\d+)"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m =
        numbers.match(QString::fromLatin1(run("xwininfo", {"-id", QString::number(window)})));
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                 m.captured(4).toInt());
}

qulonglong DesktopSession::activeWindow() const
{
    return parseWindowId(run("xdotool", {"getactivewindow"}));
}

bool DesktopSession::isAbove(qulonglong upper, qulonglong lower) const
{
    const QList<qulonglong> order =
        xpropValues(run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}), '#');
    const qsizetype below = order.indexOf(lower);
    return below >= 0 && order.indexOf(upper) > below;
}

bool DesktopSession::isOverrideRedirect(qulonglong window) const
{
    return run("xwininfo", {"-id", QString::number(window)})
        .contains("Override Redirect State: yes");
}

QList<qulonglong> DesktopSession::splashes() const
{
    QList<qulonglong> found;
    for (qulonglong window : windowsOfClass(QStringLiteral("^lexorn$")))
        if (run("xprop", {"-id", QString::number(window), "_NET_WM_WINDOW_TYPE"})
                .contains("= _NET_WM_WINDOW_TYPE_SPLASH"))
            found.append(window);
    return found;
}

void DesktopSession::click(int x, int y, int button, int repeat) const
{
    xdotool({"mousemove", QString::number(x), QString::number(y), "click", "--repeat",
             QString::number(repeat), "--delay", "80", QString::number(button)});
}

void DesktopSession::clickCloseBox(qulonglong window) const
{
    // Left, right, top, bottom; the box sits at the right end of the title bar.
    QList<qulonglong> e =
        xpropValues(run("xprop", {"-id", QString::number(window), "_NET_FRAME_EXTENTS"}), '=');
    e.resize(4);
    const QRect client = windowGeometry(window);
    click(client.right() + int(e[1]) - int(e[2]) / 2, client.top() - int(e[2]) / 2);
}

QList<qulonglong> DesktopSession::trayPanels() const
{
    return search({"--onlyvisible", "--classname", "^panel$"}); // trayer's
}

DesktopSession::Window DesktopSession::trayIcon() const
{
    // The windows below trayer's panel in xwininfo's tree, with their places on the screen.
    static const QRegularExpression line(
        QStringLiteral("(?m)^\\s*(0x[0-9a-f]+) .*\\(\"lexorn\" \"[^\"]*\"\\)\\s+(\\d+)x(\\d+)"
                       "[+-]-?\\d+[+-]-?\\d+\\s+\\+?(-?\\d+)\\+?(-?\\d+)"));
    for (const qulonglong panel : trayPanels()) {
        auto it = line.globalMatch(
            QString::fromUtf8(run("xwininfo", {"-tree", "-id", QString::number(panel)})));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const qulonglong id = parseWindowId(m.captured(1).toLatin1());
            if (run("xwininfo", {"-id", QString::number(id)}).contains("IsViewable"))
                return {id, QRect(m.captured(4).toInt(), m.captured(5).toInt(),
                                  m.captured(2).toInt(), m.captured(3).toInt())};
        }
    }
    return {};
}

QString DesktopSession::screenshot(const QString &name, const QRect &area) const
{
    const QString folder = QStringLiteral(LEXORN_BUILD_DIR "/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    QStringList arguments{"-window", "root"};
    if (area.isValid())
        arguments << "-crop"
                  << QString::asprintf("%dx%d+%d+%d", area.width(), area.height(), area.x(),
                                       area.y())
                  << "+repage";
    run("import", arguments << path);
    return path;
}

QString DesktopSession::startService(const QList<QPair<QString, QString>> &lines)
{
    // Fewer hash rounds keep the sign-in quick in a debug build.
    QString config =
        ServiceRunner::demoConfig().replace(QStringLiteral("password_iterations = 100000"),
                                            QStringLiteral("password_iterations = 1000"));
    for (const auto &[section, line] : lines)
        config = ServiceRunner::withLine(config, section, line);
    serviceRunner = std::make_unique<ServiceRunner>(config);
    if (!serviceRunner->start(&failure))
        return {};
    return QString::fromLatin1(serviceRunner->hostAndPort());
}

QProcess *DesktopSession::startLexorn(const QString &serviceHost, const QString &userName,
                                      const QString &password, const QProcessEnvironment &extra)
{
    const QString home = workDir.filePath(QStringLiteral("config%1").arg(++lexornStarts));
    QDir().mkpath(home);
    if (!userName.isEmpty() || !password.isEmpty()) {
        QSettings store(home + QStringLiteral("/Korvath/Lexorn.ini"), QSettings::IniFormat);
        store.setValue(QStringLiteral("Login/Username"), userName);
        store.setValue(QStringLiteral("Login/Password"), password);
    }
    QProcessEnvironment environment = this->environment();
    environment.insert(extra);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    environment.insert(QStringLiteral("LEXORN_SERVICE_HOST"), serviceHost);
    return launch(QStringLiteral(LEXORN_BIN), {}, environment);
}

QProcess *DesktopSession::startSignedIn(const QProcessEnvironment &extra)
{
    QProcess *started = startLexorn(QString::fromLatin1(serviceRunner->hostAndPort()), demoUser(),
                                    demoPassword(), extra);
    const bool ready = waitUntil([this] { return trayIcon().id != 0; }, 20000) &&
                       waitUntil([this] { return splashes().isEmpty(); }, 8000);
    return ready ? started : nullptr;
}

bool DesktopSession::signIn(const QString &password) const
{
    const qulonglong login = waitForWindow(QStringLiteral("^Login$"), 15000);
    if (!login)
        return false;
    activate(login);
    type(demoUser());
    key(QStringLiteral("Tab"));
    type(password);
    key(QStringLiteral("Return"));
    return true;
}
