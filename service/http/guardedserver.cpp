#include "http/guardedserver.h"

#include "http/connectionguard.h"
#include "http/exchange.h"
#include "http/requestlog.h"

#include <QTcpSocket>
#include <QTimer>

GuardedServer::GuardedServer(const RequestLimits &limits, QObject *parent)
    : QTcpServer(parent), m_limits(limits), m_count(std::make_shared<ConnectionCount>())
{}

void GuardedServer::attach(QObject *httpServer)
{
    m_http = httpServer;
    // Connected after the HTTP server's own handler, so it runs once that has taken the sockets.
    connect(this, &QTcpServer::newConnection, this, &GuardedServer::attachFresh);
}

void GuardedServer::drain()
{
    close();
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        int open = 0;
        const auto sockets = findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
        for (QTcpSocket *socket : sockets) {
            const auto *guard =
                socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly);
            const auto *line =
                socket->findChild<AnswerLine *>(QString(), Qt::FindDirectChildrenOnly);
            if (guard && guard->isBetweenRequests() && (!line || line->isIdle()))
                socket->disconnectFromHost(); // once its last answer has gone out
            open += socket->state() != QAbstractSocket::UnconnectedState;
        }
        if (open == 0) {
            poll->stop();
            Q_EMIT drained();
        }
    });
    poll->start(50);
}

void GuardedServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const QHostAddress peer = socket->peerAddress();
    if (m_count->all >= m_limits.maximumConnections ||
        (!m_limits.trustedProxies.contains(peer) &&
         m_count->perClient.value(peer) >= m_limits.maximumConnectionsPerHost)) {
        logRequest(QByteArray(), QByteArray(), 503, 0);
        socket->write("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\nContent-Length: "
                      "0\r\nConnection: close\r\n\r\n");
        socket->flush();
        socket->abort();
        socket->deleteLater();
        return;
    }
    // The guard's first connection to readyRead precedes the HTTP server's.
    new ConnectionGuard(socket, m_limits, m_count);
    m_fresh.append(socket);
    addPendingConnection(socket);
}

void GuardedServer::attachFresh()
{
    for (const QPointer<QTcpSocket> &socket : std::as_const(m_fresh)) {
        if (!socket)
            continue;
        if (auto *guard =
                socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly))
            guard->follow(m_http);
    }
    m_fresh.clear();
}
