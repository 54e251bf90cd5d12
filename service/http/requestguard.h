#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <chrono>
#include <memory>

class QTcpSocket;

// Named as QHttpServerConfiguration names the same limits. Once Qt 6.11 is the minimum, its
// sizes and keep-alive can be Qt's own (the connection caps need 6.12); the guard keeps the query
// size, the deadlines and the refusal of malformed requests, which Qt has no setting for.
struct RequestLimits
{
    qsizetype maximumUrlSize = 72 * 1024; // over the whole request line: path, query and the rest
    qsizetype maximumQuerySize = 64 * 1024;
    qsizetype maximumTotalHeaderSize = 16 * 1024;
    int maximumHeaderFieldCount = 100;
    qint64 maximumBodySize = 1024 * 1024;
    std::chrono::milliseconds keepAliveTimeout = std::chrono::seconds(60);
    // From the first byte of a request to the end of its head, and then of its body, however
    // slowly the bytes trickle in.
    std::chrono::milliseconds headTimeout = std::chrono::seconds(10);
    std::chrono::milliseconds bodyTimeout = std::chrono::seconds(60);
    int maximumConnections = 512;
    int maximumConnectionsPerHost = 16;
    QList<QHostAddress> trustedProxies; // many clients share their connections: no per-host cap
};

// Connections open, shared by the server and the guards that give theirs back when they go.
struct ConnectionCount
{
    int all = 0;
    QHash<QHostAddress, int> perClient;
};

// The listening socket of the service. Qt's HTTP server buffers whatever a client sends and gives
// a malformed request no answer at all, so every connection gets a guard that reads the same byte
// stream just ahead of the HTTP server, frames the requests itself, and answers 400, 411, 413, 414,
// 431, 501 or 505 (and closes) before the HTTP server sees a request that breaks the rules.
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
    std::shared_ptr<ConnectionCount> m_count = std::make_shared<ConnectionCount>();
    QPointer<QObject> m_http;
    QList<QPointer<QTcpSocket>> m_fresh;
};

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
    bool isBetweenRequests() const
    {
        return !m_rejected && m_phase == Phase::RequestLine && m_line.isEmpty();
    }

private:
    enum class Phase { RequestLine, Headers, Body };

    void beforeServer();
    void afterServer();
    void scan(const char *data, qint64 size);
    bool requestLineDone();
    bool headerLineDone();
    bool headersDone();
    void startNextRequest();
    void reject(int status);
    void sendRejection(const QByteArray &answer);
    void finishRejected();
    void idle();

    QTcpSocket *m_socket;
    RequestLimits m_limits;
    QPointer<QObject> m_http;
    std::shared_ptr<ConnectionCount> m_count;
    QHostAddress m_peer;
    QTimer m_idle;
    QTimer m_deadline;
    QElapsedTimer m_started;

    Phase m_phase = Phase::RequestLine;
    QByteArray m_line;
    QByteArray m_method;
    QByteArray m_target;
    bool m_http11 = false;
    qsizetype m_headerBytes = 0;
    int m_headerCount = 0;
    qint64 m_contentLength = -1;
    bool m_hasHost = false;
    bool m_hasTransferEncoding = false;
    qint64 m_bodyLeft = 0;

    qint64 m_seenUnread = 0; // bytes already scanned that the HTTP server has not read yet
    bool m_rejected = false;
    qint64 m_drained = 0;
};
