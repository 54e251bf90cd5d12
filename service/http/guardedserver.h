#pragma once

#include "http/requestlimits.h"

#include <QList>
#include <QPointer>
#include <QTcpServer>

#include <memory>

class QTcpSocket;
struct ConnectionCount;

// The listening socket of the service. Qt's HTTP server buffers whatever a client sends and gives
// a malformed request no answer at all, so every connection gets a ConnectionGuard that reads the
// same byte stream just ahead of the HTTP server and answers a request that breaks the rules
// itself. Beyond the connection caps, a connection is answered 503 and closed.
class GuardedServer : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY(GuardedServer)

public:
    explicit GuardedServer(const RequestLimits &limits, QObject *parent = nullptr);

    // Call right after QAbstractHttpServer::bind(this), with that HTTP server.
    void attach(QObject *httpServer);
    // Stops listening and closes each connection once no request on it is under way; drained()
    // follows when none is left.
    void drain();

Q_SIGNALS:
    void drained();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void attachFresh();

    RequestLimits m_limits;
    std::shared_ptr<ConnectionCount> m_count;
    QPointer<QObject> m_http;
    QList<QPointer<QTcpSocket>> m_fresh;
};
