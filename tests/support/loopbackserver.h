#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

// A scripted HTTP/1.1 server on 127.0.0.1 for tests: it records every request and answers with
// what the test's handler returns. A handler that returns no answer leaves the client hanging.
class LoopbackServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LoopbackServer)

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QByteArray header(const QByteArray &name) const;
    };
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        bool hang = false; // accept, read, never answer
    };
    using Handler = std::function<Answer(const Request &)>;

    explicit LoopbackServer(QObject *parent = nullptr);

    void setHandler(Handler handler) { respond = std::move(handler); }
    // Every request gets this answer.
    void answerWith(int status, const QByteArray &body);

    quint16 port() const { return server.serverPort(); }
    QByteArray hostAndPort() const; // "127.0.0.1:PORT", the form LEXORN_SERVICE_HOST takes
    QString url(const QString &path) const;

    QList<Request> requests;

private:
    void serve(QTcpSocket *socket);

    QTcpServer server;
    Handler respond;
};
