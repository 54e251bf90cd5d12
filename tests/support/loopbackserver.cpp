#include "support/loopbackserver.h"

#include <QTcpSocket>

QByteArray LoopbackServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LoopbackServer::LoopbackServer(QObject *parent) : QObject(parent)
{
    server.listen(QHostAddress::LocalHost, 0);
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            serve(socket);
    });
}

void LoopbackServer::answerWith(int status, const QByteArray &body)
{
    setHandler([status, body](const Request &) { return Answer{status, body}; });
}

QByteArray LoopbackServer::hostAndPort() const
{
    return "127.0.0.1:" + QByteArray::number(port());
}

QString LoopbackServer::url(const QString &path) const
{
    return QStringLiteral("http://") + QString::fromLatin1(hostAndPort()) + path;
}

void LoopbackServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        *buffer += socket->readAll();
        const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines.at(i).left(colon).trimmed();
            const QByteArray value = lines.at(i).mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        if (buffer->size() < headerEnd + 4 + contentLength)
            return;
        request.body = buffer->mid(headerEnd + 4, contentLength);
        buffer->remove(0, headerEnd + 4 + contentLength);
        requests.append(request);

        const Answer answer = respond ? respond(request) : Answer{404, "Not Found"};
        if (answer.hang)
            return;
        QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
        response += "Content-Type: " + answer.contentType + "\r\n";
        response += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        response += "Connection: close\r\n\r\n" + answer.body;
        socket->write(response);
        socket->disconnectFromHost();
    });
}
