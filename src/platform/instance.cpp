#include "platform/instance.h"

#include "platform/pump.h"
#include "platform/win/win.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace platform {
namespace {

// Empty where Qt finds no private runtime folder: Lexorn then starts without the check.
QString runtimeFile(const char *name)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? folder : folder + QLatin1Char('/') + QLatin1String(name);
}

QString serverName()
{
    return win::Built ? win::InstanceServerName() : runtimeFile("lexorn.socket");
}

} // namespace

bool ClaimInstance()
{
    // Windows has no runtime folder (Qt gives the home folder), and a lock file would outlive a
    // killed run there: a kernel object goes with the process.
    if (win::Built)
        return win::ClaimInstance();
    static const QString lockName = runtimeFile("lexorn.lock");
    if (lockName.isEmpty())
        return true;
    static QLockFile lock(lockName);
    // Held for the whole run, so its age says nothing; a lock whose process is gone is stale.
    lock.setStaleLockTime(0);
    // A run that ended leaves its lock behind (EndProcess skips destructors). Where process ids
    // come back at once, this process may have the ended one's id, which Qt then takes for a live
    // holder.
    qint64 holder = 0;
    if (lock.getLockInfo(&holder, nullptr, nullptr) && holder == QCoreApplication::applicationPid())
        lock.removeStaleLockFile();
    // A folder Lexorn cannot write to must not keep it from starting.
    return lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
}

bool AskRunningInstance(const QByteArray &request)
{
    // The running one may have taken the lock and not be listening yet.
    const QDeadlineTimer deadline(3000);
    QLocalSocket socket;
    while (!deadline.hasExpired()) {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(request);
            return socket.waitForBytesWritten(int(deadline.remainingTime()));
        }
        QThread::msleep(50);
    }
    return false;
}

void ListenForLaterStarts(std::function<void(const QByteArray &)> requested)
{
    const QString name = serverName();
    if (name.isEmpty())
        return;
    auto *server = new QLocalServer(qApp);
    // The runtime folder is the user's alone. Only the lock's holder listens, so a socket left
    // there is a crashed holder's.
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        qWarning("Lexorn cannot listen for later starts: %s", qPrintable(server->errorString()));
        return;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, requested] {
        while (QLocalSocket *later = server->nextPendingConnection()) {
            // The request is whole once the later start has gone.
            QObject::connect(later, &QLocalSocket::disconnected, later, [later, requested] {
                const QByteArray request = later->readAll();
                later->deleteLater();
                // As the hot key: showing the window pumps messages, and a transfer under way
                // keeps the user's input waiting meanwhile.
                PostBetweenTransfers([requested, request] { requested(request); });
            });
        }
    });
}

} // namespace platform
