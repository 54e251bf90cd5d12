#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

// A scripted HTTP/1.1 server on 127.0.0.1 for tests: it records every request and answers with
// what the test's handler returns, or misbehaves in the way the answer names.
class LoopbackServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LoopbackServer)

public:
    enum class Fault {
        None,
        Hang,             // read, never answer
        CloseMidBody,     // half the announced body, then an orderly close
        OneBytePerSecond, // a small body, one byte each second
        EndlessBody,      // 200 MB without a length, as fast as the client reads
        AnnouncedBody,    // the same with its length announced
        RedirectLoop,     // every request sent back to itself
    };
    struct Request
    {
        QByteArray method;
        QByteArray target;                     // path and query as sent
        QHash<QByteArray, QByteArray> headers; // by lower-case name
        QByteArray body;
        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        Fault fault = Fault::None;
    };
    using Handler = std::function<Answer(const Request &)>;

    explicit LoopbackServer(QObject *parent = nullptr);
    ~LoopbackServer() override;

    void setHandler(Handler handler) { respond = std::move(handler); }
    // Every request gets this answer.
    void answerWith(const Answer &answer)
    {
        setHandler([answer](const Request &) { return answer; });
    }
    void answerWith(Fault fault) { answerWith(Answer{200, {}, "text/html; charset=utf-8", fault}); }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    // An address on loopback where nothing listens.
    static QString refusedUrl(const QString &path);

    QList<Request> requests;
    qint64 bodyBytesSent = 0;
    int openConnections = 0;
    int redirectsFollowed = 0;

private:
    void serve(QTcpSocket *socket);
    void send(QTcpSocket *socket, const Request &request, const Answer &answer);
    void stream(QTcpSocket *socket);

    QTcpServer server;
    Handler respond;
};
