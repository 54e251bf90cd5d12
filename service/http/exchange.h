#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHttpServerResponder>
#include <QList>
#include <QPointer>
#include <QTcpSocket>

#include <deque>
#include <memory>
#include <optional>

class QHttpServerRequest;
class AnswerLine;

// One request's way back: the responder, what the log line needs, and whether the answer went out.
// Handlers that answer later keep it in a shared pointer; an exchange dropped unanswered sends 500,
// and one whose client has gone away sends nothing. Answers on one connection leave in the order
// their requests came, whenever each is ready.
class Exchange
{
    Q_DISABLE_COPY(Exchange)

public:
    using Status = QHttpServerResponder::StatusCode;

    Exchange(const QHttpServerRequest &request, QHttpServerResponder &&responder,
             const QList<QHostAddress> &trustedProxies);
    ~Exchange();

    bool isHead() const { return m_head; }
    bool isPost() const { return m_post; }
    const QByteArray &method() const { return m_method; }
    const QHostAddress &client() const { return m_client; }

    void addHeader(const QByteArray &name, const QByteArray &value);
    void closeAfter() { m_close = true; }
    void send(Status status, const QByteArray &contentType, const QByteArray &body);
    void sendHtml(Status status, const QString &html);
    // 429 to a client that is to wait that many seconds (at least one).
    void sendRetryLater(int seconds, const QString &html);
    // 503 when the service is busy, which a second's wait may end.
    void sendBusy(const QString &html);

private:
    QHttpServerResponder m_responder;
    QPointer<AnswerLine> m_line;
    quint64 m_place = 0;
    QElapsedTimer m_timer;
    QHostAddress m_client;
    QByteArray m_method;
    QByteArray m_path;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    bool m_head = false;
    bool m_post = false;
    bool m_close = false;
    bool m_sent = false;
};

using SharedExchange = std::shared_ptr<Exchange>;

// The peer, or the client a trusted proxy says it forwards for (X-Forwarded-For).
QHostAddress clientAddress(const QHostAddress &peer,
                           const QList<std::pair<QByteArray, QByteArray>> &headers,
                           const QList<QHostAddress> &trustedProxies);

// An answer ready to go out, waiting for those before it.
struct ReadyAnswer
{
    QHttpServerResponder responder;
    Exchange::Status status;
    QByteArray contentType;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    bool head = false;
    bool close = false;
};

// The answers of one connection in request order; a child of its socket.
class AnswerLine : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(AnswerLine)

public:
    static AnswerLine *of(QTcpSocket *socket);

    quint64 join();
    void ready(quint64 place, ReadyAnswer answer);
    bool isIdle() const { return m_waiting.empty(); }

Q_SIGNALS:
    void drained(); // every answer so far has been written

private:
    explicit AnswerLine(QTcpSocket *socket);

    QTcpSocket *m_socket;
    std::deque<std::optional<ReadyAnswer>> m_waiting; // from place m_front on
    quint64 m_front = 0;
    bool m_closing = false;
};
