#pragma once

#include <QApplication>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

class LoopbackServer;

// A throwaway X desktop for the desktop tests: Xvfb on a free display, openbox as the window
// manager and trayer as the notification area. It runs commands on that display, drives it with
// xdotool as a person would, takes screenshots, and starts the real service and the real
// program against it. Everything it started is ended when it goes.
class DesktopSession
{
public:
    struct Command
    {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
        bool ok() const { return exitCode == 0; }
    };

    struct Window
    {
        qulonglong id = 0;
        QString name;
        QString className;
        QRect geometry; // on the screen
    };

    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Xvfb and openbox, and trayer when withTray. False (with the reason in error()) when a
    // piece would not start.
    bool start(bool withTray = true);
    QString error() const { return failure; }
    QString display() const { return displayName; }
    QProcessEnvironment environment() const;

    // Runs a program on this display and waits for it, keeping this process's events flowing
    // (so that in-test servers go on answering meanwhile).
    Command run(const QString &program, const QStringList &arguments, int timeoutMs = 15000) const;
    // Starts a program on this display; it is ended with the session.
    QProcess *launch(const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &environment);
    QProcess *launch(const QString &program, const QStringList &arguments);
    // What a program started here wrote to its standard output and error.
    QString outputOf(const QProcess *process) const;
    // Ends a program started here (politely first) and waits for it.
    static void end(QProcess *process);

    // Polls until the condition holds, processing events meanwhile.
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

    // Windows, through xdotool: visible top-level windows whose title matches the regular
    // expression (or whose class does).
    QList<qulonglong> windowsNamed(const QString &pattern) const;
    QList<qulonglong> windowsOfClass(const QString &pattern) const;
    qulonglong waitForWindow(const QString &namePattern, int timeoutMs = 10000) const;
    bool waitForNoWindow(const QString &namePattern, int timeoutMs = 10000) const;
    QString windowName(qulonglong window) const;
    QRect windowGeometry(qulonglong window) const; // the client area on the screen
    QRect frameGeometry(qulonglong window) const;  // with the window manager's frame
    // The first of the window's _NET_WM_WINDOW_TYPE atoms, e.g. "_NET_WM_WINDOW_TYPE_POPUP_MENU".
    QString windowType(qulonglong window) const;
    qulonglong activeWindow() const;
    // The window manager's windows from the bottom to the top.
    QList<qulonglong> stackingOrder() const;
    // Whether the first window is stacked above the second.
    bool isAbove(qulonglong upper, qulonglong lower) const;
    bool isViewable(qulonglong window) const;
    // Not managed by the window manager: pop-up menus, tooltips, tray icons.
    bool isOverrideRedirect(qulonglong window) const;

    // Input, as a person gives it.
    void mouseMove(int x, int y) const;
    void click(int x, int y, int button = 1, int repeat = 1) const;
    void doubleClick(int x, int y) const { click(x, y, 1, 2); }
    void mouseDown(int x, int y, int button) const;
    void mouseUp(int button) const;
    void key(const QString &keys) const; // xdotool key names, e.g. "super+t", "Return"
    void type(const QString &text) const;
    void activate(qulonglong window) const;
    // Clicks the close box of the window manager's frame around the window.
    void clickCloseBox(qulonglong window) const;

    // The windows embedded in the notification area, with their places on the screen.
    QList<Window> trayIcons() const;
    // The embedded icon of the program whose window class matches, or an empty id.
    Window trayIcon(const QString &classPattern = QStringLiteral("lexorn")) const;

    // The screen, or the part of it given, saved under the build folder's screenshots; returns
    // the file's path.
    QString screenshot(const QString &name, const QRect &area = {}) const;

    // The real lexorn-service on a free loopback port with a fresh database and the demo
    // configuration. Returns host:port, or an empty text with the reason in error().
    QString startService();
    static QString demoUser() { return QStringLiteral("demo@lexorn.example"); }
    static QString demoPassword() { return QStringLiteral("demo-password"); }
    // An in-test stand-in for the settings endpoint that answers every request with the text.
    QString serveSettings(const QByteArray &answer);

    // The real lexorn with its settings store in a fresh folder. Credentials are stored there
    // first unless both are empty.
    QProcess *startLexorn(const QString &serviceHost, const QString &userName,
                          const QString &password, const QProcessEnvironment &extra = {});
    QString configHome() const;
    // Waits for the process to end; false if it did not within the time.
    static bool waitForExit(QProcess *process, int timeoutMs = 10000);

private:
    bool startXvfb();
    bool startOpenbox();
    bool startTray();
    QList<qulonglong> search(const QStringList &arguments) const;
    void xdotool(const QStringList &arguments) const;

    QString displayName;
    QString failure;
    QTemporaryDir workDir;
    QList<QProcess *> processes; // in start order; ended in reverse
    QHash<const QProcess *, QString> logs;
    std::unique_ptr<LoopbackServer> settingsServer;
    int lexornStarts = 0;
};

// Like LEXORN_TEST_MAIN for the desktop tests: the test runner itself stays offscreen, the
// programs under test run on the session's display.
#define LEXORN_DESKTOP_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        QTemporaryDir configHome;                                                                  \
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());                                    \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
