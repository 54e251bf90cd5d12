#include "startup/modmain.h"

#include "info/frmsplash.h"
#include "platform/identity.h"
#include "platform/messagebox.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/pump.h"
#include "platform/settingsstore.h"
#include "platform/webbrowser.h"
#include "shell/frmtrayicon.h"
#include "shell/modhotkey.h"
#include "shell/modtrayicon.h"
#include "startup/frmlogin.h"
#include "startup/settingsanswer.h"
#include "window/frmmain.h"
#include "window/frmtranslatesplash.h"
#include "window/frmtranslatetext.h"

#include <QApplication>
#include <QList>
#include <QNetworkAccessManager>
#include <QUrl>

#include <utility>

using namespace platform;

namespace {

// What is asked for before Main is done waits here.
bool signedIn = false;
QList<std::function<void()>> waitingForSignIn;

QString storedLogin(const QString &key)
{
    return GetSetting(AppTitle(), QStringLiteral("Login"), key, QString());
}

[[noreturn]] void failStartup(const QString &message)
{
    MsgBox(message, vbCritical, QStringLiteral("Error"));
    Shutdown(1);
}

} // namespace

void Main()
{
    const QString password = storedLogin(QStringLiteral("Password"));
    const QString userName = storedLogin(QStringLiteral("Username"));
    if (password.isEmpty() || userName.isEmpty())
        frmLogin::instance().ShowModal();

    // The network thread opens the connection to the service while the splash screen is built;
    // the settings request then finds it ready.
    const QUrl service(QStringLiteral("http://") + ServiceHost());
    network().connectToHost(service.host(), quint16(service.port(80)));

    frmSplash::instance().show();

    while (!LoadSettings())
        DoEvents();

    AddTrayIcon(QApplication::windowIcon(), &frmTrayIcon::instance());
    RegisterHotKeys();

    // The progress window is created hidden so that its page is loaded before the first use.
    if (!SessionSettings.TranslatingLink.isEmpty())
        frmTranslateSplash::instance().webTranslating->Navigate(SessionSettings.TranslatingLink);

    // Created hidden either way: level 0 users see the welcome page, everyone else no banner.
    WebBrowser *banner = frmTranslateText::instance().webBanner;
    if (!SessionSettings.WelcomeLink.isEmpty() && SessionSettings.Level == 0)
        banner->Navigate2(SessionSettings.WelcomeLink, 0, QString(), QByteArray(),
                          QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n"));
    else
        banner->SetVisible(false);

    signedIn = true;
    for (std::function<void()> &call : std::exchange(waitingForSignIn, {}))
        PostBetweenTransfers(std::move(call));
}

void AfterSignIn(std::function<void()> call)
{
    if (signedIn)
        call();
    else
        waitingForSignIn.append(std::move(call));
}

bool LoadSettings()
{
    const QString address = QStringLiteral("http://") + ServiceHost() +
                            QStringLiteral("/lexorn/settings.php?version=") + DataVersion +
                            QStringLiteral("&username=") + storedLogin(QStringLiteral("Username")) +
                            QStringLiteral("&password=") + storedLogin(QStringLiteral("Password"));
    const TransferResult fetched = frmMain::instance().netSettings->OpenURL(address);
    if (!fetched.ok)
        failStartup(QStringLiteral("Cannot get settings!\n\n") + fetched.error);

    const SettingsVerdict verdict =
        ApplySettingsAnswer(QString::fromLatin1(fetched.body), SessionSettings);
    switch (verdict.kind) {
    case SettingsVerdict::Valid:
        return true;
    case SettingsVerdict::NotFound:
        failStartup(QStringLiteral("Cannot get settings!"));
    case SettingsVerdict::LoginError:
        MsgBox(verdict.message, vbInformation, QStringLiteral("Error"));
        frmLogin::instance().ShowModal();
        return false;
    case SettingsVerdict::FatalError:
        failStartup(verdict.message);
    case SettingsVerdict::Invalid:
        failStartup(QStringLiteral("Invalid settings!"));
    case SettingsVerdict::VersionMismatch:
        // No tray icon exists yet, so the process ends without the orderly shutdown.
        MsgBox(QStringLiteral("Data Version mismatch [") + verdict.message + QStringLiteral("]"),
               vbCritical, QStringLiteral("Error"));
        EndProcess(1);
    }
    Q_UNREACHABLE();
    return false;
}

void Shutdown(int exitStatus)
{
    if (frmTrayIcon::exists())
        RemoveTrayIcon(&frmTrayIcon::instance());
    frmTrayIcon::Unload();
    frmTranslateText::Unload();
    frmMain::Unload();
    EndProcess(exitStatus);
}
