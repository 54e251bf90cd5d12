#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHttpServerResponder>
#include <QList>
#include <QPointer>
#include <QTcpSocket>

#include <memory>

class QHttpServerRequest;

// One request's way back: the responder, what the log line needs, and whether the answer went out.
// Handlers that answer later keep it in a shared pointer; an exchange dropped unanswered sends 500,
// and one whose client has gone away sends nothing.
class Exchange
{
    Q_DISABLE_COPY(Exchange)

public:
    using Status = QHttpServerResponder::StatusCode;

    Exchange(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    ~Exchange();

    bool isHead() const { return m_head; }
    bool isPost() const { return m_post; }
    const QByteArray &method() const { return m_method; }

    void addHeader(const QByteArray &name, const QByteArray &value);
    void send(Status status, const QByteArray &contentType, const QByteArray &body);
    void sendHtml(Status status, const QString &html);

private:
    QHttpServerResponder m_responder;
    QPointer<QTcpSocket> m_socket;
    QElapsedTimer m_timer;
    QByteArray m_method;
    QByteArray m_path;
    QList<std::pair<QByteArray, QByteArray>> m_headers;
    bool m_head = false;
    bool m_post = false;
    bool m_close = false;
    bool m_sent = false;
};

using SharedExchange = std::shared_ptr<Exchange>;
