#include "support/loopbackserver.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

constexpr qint64 EndlessBytes = 200LL * 1024 * 1024;
constexpr qint64 StreamChunk = 64 * 1024;

QByteArray head(int status, const QByteArray &headers)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n" + headers + "\r\n";
}

} // namespace

LoopbackServer::LoopbackServer(QObject *parent) : QObject(parent)
{
    server.listen(QHostAddress::LocalHost, 0);
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            serve(socket);
    });
}

LoopbackServer::~LoopbackServer()
{
    // The sockets' handlers use this object: silence them while it is still whole.
    for (QTcpSocket *socket : findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
        socket->abort();
    }
}

QString LoopbackServer::refusedUrl(const QString &path)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1%2").arg(closed.serverPort()).arg(path);
}

void LoopbackServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    ++openConnections;
    connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
        --openConnections;
        socket->deleteLater();
    });
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
        *buffer += socket->readAll();
        const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
        if (headerEnd < 0 || socket->state() != QAbstractSocket::ConnectedState)
            return;
        Request request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (const QByteArray &line : lines.mid(1))
            if (const qsizetype colon = line.indexOf(':'); colon > 0)
                request.headers.insert(line.left(colon).trimmed().toLower(),
                                       line.mid(colon + 1).trimmed());
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer->size() < headerEnd + 4 + length)
            return;
        request.body = buffer->mid(headerEnd + 4, length);
        buffer->remove(0, headerEnd + 4 + length);
        requests.append(request);
        send(socket, request, respond ? respond(request) : Answer{404, "Not Found"});
    });
}

void LoopbackServer::send(QTcpSocket *socket, const Request &request, const Answer &answer)
{
    const QByteArray type = "Content-Type: " + answer.contentType + "\r\n";
    switch (answer.fault) {
    case Fault::None:
        socket->write(
            head(answer.status, type + "Content-Length: " + QByteArray::number(answer.body.size()) +
                                    "\r\nConnection: close\r\n") +
            answer.body);
        break;
    case Fault::Hang:
        return;
    case Fault::CloseMidBody:
        socket->write(head(200, type + "Content-Length: 20000\r\n") + QByteArray(10000, 'x'));
        bodyBytesSent += 10000;
        break;
    case Fault::OneBytePerSecond: {
        socket->write(head(200, type + "Content-Length: 120\r\n"));
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [this, socket] {
            socket->write("x");
            ++bodyBytesSent;
        });
        drip->start(1000);
        return;
    }
    case Fault::EndlessBody:
    case Fault::AnnouncedBody:
        // A small send buffer keeps what is counted as sent close to what the client took.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, int(StreamChunk));
        socket->write(head(200, type +
                                    (answer.fault == Fault::AnnouncedBody
                                         ? "Content-Length: " + QByteArray::number(EndlessBytes)
                                         : QByteArray("Connection: close")) +
                                    "\r\n"));
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] { stream(socket); });
        stream(socket);
        return;
    case Fault::RedirectLoop: {
        // The hop's number in the address: a request Qt sends again is not one more hop.
        const qsizetype mark = request.target.lastIndexOf("hop=");
        const int hop = mark < 0 ? 0 : request.target.mid(mark + 4).toInt();
        redirectsFollowed = qMax(redirectsFollowed, hop);
        socket->write(head(302, "Location: " + request.target.left(request.target.indexOf('?')) +
                                    "?hop=" + QByteArray::number(hop + 1) +
                                    "\r\nContent-Length: 0\r\nConnection: close\r\n"));
        break;
    }
    }
    socket->disconnectFromHost();
}

void LoopbackServer::stream(QTcpSocket *socket)
{
    static const QByteArray chunk(StreamChunk, 'z');
    while (socket->bytesToWrite() < StreamChunk && bodyBytesSent < EndlessBytes &&
           socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(chunk);
        bodyBytesSent += StreamChunk;
    }
}
