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

class ServiceRunner;

// A throwaway X desktop for the desktop tests: Xvfb on a free display, openbox as the window
// manager and trayer as the notification area, driven with xdotool as a person would. It starts
// the real service and the real program against it, and ends everything it started when it goes.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();

    // False (with the reason in error()) when a piece would not start.
    bool start(bool withTray = true);
    QString error() const { return failure; }
    QString display() const { return displayName; }
    QProcessEnvironment environment() const;

    // The output of a program that succeeded, waiting with events flowing so that in-test
    // servers go on answering. An empty environment means this display's.
    QByteArray run(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &env = {}) const;
    // Ended with the session, which is not copied.
    QProcess *launch(const QString &program, const QStringList &arguments,
                     const QProcessEnvironment &env = {});
    static void end(QProcess *process);
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000);

    // Visible top-level windows whose title (or class) matches the regular expression.
    QList<qulonglong> windowsNamed(const QString &pattern) const;
    QList<qulonglong> windowsOfClass(const QString &pattern) const;
    qulonglong waitForWindow(const QString &namePattern, int timeoutMs = 10000) const;
    bool waitForNoWindow(const QString &namePattern, int timeoutMs = 10000) const;
    QRect windowGeometry(qulonglong window) const; // the client area on the screen
    qulonglong activeWindow() const;
    bool isAbove(qulonglong upper, qulonglong lower) const;
    bool isOverrideRedirect(qulonglong window) const;
    QList<qulonglong> splashes() const; // the program's

    void xdotool(const QStringList &arguments) const { run(QStringLiteral("xdotool"), arguments); }
    void click(int x, int y, int button = 1, int repeat = 1) const;
    void key(const QString &keys) const { xdotool({QStringLiteral("key"), keys}); }
    void type(const QString &text) const { xdotool({"type", "--delay", "20", text}); }
    void activate(qulonglong window) const
    {
        xdotool({"windowactivate", "--sync", QString::number(window)});
    }
    void clickCloseBox(qulonglong window) const;
    // The program's icon embedded in the notification area; its id is 0 when there is none.
    struct Window
    {
        qulonglong id = 0;
        QRect geometry;
    };
    Window trayIcon() const;
    // Saved under the build folder's screenshots; returns the path.
    QString screenshot(const QString &name, const QRect &area = {}) const;

    // The real lexorn-service with a fresh database and the demo configuration plus the
    // (section, line) pairs; replaces the one before. Returns host:port, empty on failure.
    QString startService(const QList<QPair<QString, QString>> &lines = {});
    ServiceRunner *service() const { return serviceRunner.get(); }
    static QString demoUser() { return QStringLiteral("demo@lexorn.example"); }
    static QString demoPassword() { return QStringLiteral("demo-password"); }
    // The real lexorn with a fresh settings store, holding the credentials unless both are empty.
    QProcess *startLexorn(const QString &serviceHost, const QString &userName,
                          const QString &password, const QProcessEnvironment &extra = {});
    // Against startService's service with the demo account; waits for the icon, splash gone.
    QProcess *startSignedIn(const QProcessEnvironment &extra = {});
    // Types into the login dialog once it shows and presses Return.
    bool signIn(const QString &password) const;

private:
    // Launches the program and waits until it is ready; false (and ended) when it is not.
    bool startUntil(const QString &program, const QStringList &arguments,
                    const std::function<bool()> &ready, int timeoutMs = 10000);
    QList<qulonglong> trayPanels() const;
    QList<qulonglong> search(const QStringList &arguments) const;

    QString displayName;
    QString failure;
    QTemporaryDir workDir;
    QList<QProcess *> processes; // ended in reverse
    std::unique_ptr<ServiceRunner> serviceRunner;
    int lexornStarts = 0;
};

// The test runner itself stays offscreen; the programs under test run on the session's display.
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
