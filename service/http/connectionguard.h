#pragma once

#include "http/requestframer.h"
#include "http/requestlimits.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QTcpSocket;

// Connections open, shared by the server and the guards that give theirs back when they go.
struct ConnectionCount
{
    int all = 0;
    QHash<QHostAddress, int> perClient;
};

// Reads one connection's bytes just ahead of the HTTP server, holds each request to its
// deadlines, and answers the first one that breaks the rules itself and closes, so that the HTTP
// server never sees it. A child of its socket.
class ConnectionGuard : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ConnectionGuard)

public:
    ConnectionGuard(QTcpSocket *socket, const RequestLimits &limits,
                    std::shared_ptr<ConnectionCount> count);
    ~ConnectionGuard() override;

    // Connects the second half of the watch; must come after the HTTP server's own connection.
    void follow(QObject *httpServer);
    bool isBetweenRequests() const { return !m_rejected && m_framer.isBetweenRequests(); }

private:
    void beforeServer();
    void afterServer();
    void scan(QByteArrayView data);
    void take(RequestFramer::Step step);
    void reject(int status);
    void sendRejection(const QByteArray &answer);
    void finishRejected();
    void idle();

    QTcpSocket *m_socket;
    RequestLimits m_limits;
    RequestFramer m_framer;
    QPointer<QObject> m_http;
    std::shared_ptr<ConnectionCount> m_count;
    QHostAddress m_peer;
    QTimer m_idle;
    QTimer m_deadline;
    QElapsedTimer m_started;

    qint64 m_seenUnread = 0; // bytes already scanned that the HTTP server has not read yet
    bool m_rejected = false;
    qint64 m_drained = 0;
};
