#include "support/faultserver.h"

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include <sys/socket.h>

namespace {

constexpr qint64 EndlessBytes = 200LL * 1024 * 1024;
constexpr qint64 StreamChunk = 64 * 1024;

QByteArray head(const QByteArray &statusLine, const QByteArray &headers)
{
    return "HTTP/1.1 " + statusLine + "\r\n" + headers + "\r\n";
}

// Closing with a zero linger time sends a reset instead of an orderly end.
void reset(QTcpSocket *socket)
{
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

} // namespace

FaultServer::FaultServer(Fault fault, QObject *parent) : QObject(parent), fault(fault) {}

FaultServer::~FaultServer()
{
    // The sockets' handlers use this object: silence them while it is still whole.
    const QList<QTcpSocket *> sockets = findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        socket->disconnect();
        socket->abort();
    }
}

bool FaultServer::useTls(const QByteArray &certificatePem, const QByteArray &keyPem)
{
    const QSslCertificate certificate(certificatePem, QSsl::Pem);
    const QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
    if (certificate.isNull() || key.isNull())
        return false;
    auto *sslServer = new QSslServer(this);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    sslServer->setSslConfiguration(configuration);
    delete server;
    server = sslServer;
    tls = true;
    return true;
}

bool FaultServer::listen()
{
    if (!server)
        server = new QTcpServer(this);
    connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = server->nextPendingConnection())
            serve(socket);
    });
    return server->listen(QHostAddress::LocalHost, 0);
}

QString FaultServer::url(const QString &path) const
{
    return (tls ? QStringLiteral("https://") : QStringLiteral("http://")) +
           QString::fromLatin1(hostAndPort()) + path;
}

QByteArray FaultServer::hostAndPort() const
{
    return "127.0.0.1:" +
           QByteArray::number(server && server->isListening() ? server->serverPort() : 1);
}

void FaultServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    ++connections;
    connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
        --connections;
        socket->deleteLater();
    });
    auto received = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        // A request that reaches a connection this server is closing is never answered; the
        // client sends it again on a fresh one, where it is counted.
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        *received += socket->readAll();
        // Requests here have no body: each head is a request.
        qsizetype end;
        while ((end = received->indexOf("\r\n\r\n")) >= 0) {
            const QByteArray requestLine = received->left(received->indexOf("\r\n"));
            received->remove(0, end + 4);
            ++requestCount;
            misbehave(socket, requestLine.split(' ').value(1));
        }
    });
}

void FaultServer::misbehave(QTcpSocket *socket, const QByteArray &target)
{
    switch (fault) {
    case Fault::ResetMidBody:
        socket->write(head("200 OK", "Content-Type: text/plain\r\nContent-Length: 20000\r\n"));
        socket->write(QByteArray(10000, 'x'));
        bodyBytes += 10000;
        // Long enough for the half body to be on its way, then the reset.
        QTimer::singleShot(200, socket, [socket] { reset(socket); });
        return;
    case Fault::CloseMidBody:
        socket->write(head("200 OK", "Content-Type: text/plain\r\nContent-Length: 20000\r\n"));
        socket->write(QByteArray(10000, 'x'));
        bodyBytes += 10000;
        socket->disconnectFromHost();
        return;
    case Fault::OneBytePerSecond: {
        socket->write(head("200 OK", "Content-Type: text/plain\r\nContent-Length: 120\r\n"));
        auto *drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [this, socket, drip] {
            socket->write("x");
            if (++bodyBytes % 120 == 0)
                drip->stop();
        });
        drip->start(1000);
        return;
    }
    case Fault::EndlessBody:
    case Fault::AnnouncedBody:
        // A small send buffer keeps what is in flight, and so what is counted as sent, close to
        // what the client has taken.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, int(StreamChunk));
        socket->write(head("200 OK", fault == Fault::AnnouncedBody
                                         ? "Content-Type: text/plain\r\nContent-Length: " +
                                               QByteArray::number(EndlessBytes) + "\r\n"
                                         : "Content-Type: text/plain\r\nConnection: close\r\n"));
        connect(socket, &QTcpSocket::bytesWritten, socket,
                [this, socket] { streamEndless(socket); });
        streamEndless(socket);
        return;
    case Fault::BrokenChunkSize:
        socket->write(head("200 OK", "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n") +
                      "5\r\nvalid\r\nnot-a-size\r\nwhatever follows\r\n0\r\n\r\n");
        socket->disconnectFromHost();
        return;
    case Fault::ChunkCutOff:
        socket->write(head("200 OK", "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n") +
                      "100\r\nonly ten b");
        socket->disconnectFromHost();
        return;
    case Fault::RedirectLoop: {
        // Back to the same page, with the number of the hop, so that a request Qt sends again
        // on a fresh connection is not taken for one more hop.
        const qsizetype mark = target.lastIndexOf("hop=");
        const int hop = mark < 0 ? 0 : target.mid(mark + 4).toInt();
        deepestHop = qMax(deepestHop, hop);
        const QByteArray path = target.left(target.indexOf('?'));
        socket->write(head("302 Found", "Location: " + path +
                                            "?hop=" + QByteArray::number(hop + 1) +
                                            "\r\nContent-Length: 0\r\nConnection: close\r\n"));
        socket->disconnectFromHost();
        return;
    }
    case Fault::Redirect:
        socket->write(
            head("302 Found", "Location: " + redirectTarget + "\r\nContent-Length: 0\r\n"));
        return;
    case Fault::Refused:
        return;
    case Fault::Page:
        socket->write(head("200 OK", "Content-Type: text/html\r\nContent-Length: 12\r\n") +
                      "<p>page</p>\n");
        return;
    }
}

void FaultServer::streamEndless(QTcpSocket *socket)
{
    // Only a little is queued at a time, so neither side holds the 200 MB.
    static const QByteArray chunk(StreamChunk, 'z');
    while (socket->bytesToWrite() < StreamChunk && bodyBytes < EndlessBytes &&
           socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(chunk);
        bodyBytes += StreamChunk;
    }
}

bool FaultServer::makeSelfSignedCertificate(QByteArray &certificatePem, QByteArray &keyPem,
                                            QString &error)
{
    QTemporaryDir dir;
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                   dir.filePath("key.pem"), "-out", dir.filePath("certificate.pem")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        error = QStringLiteral("openssl req failed: ") + QString::fromLocal8Bit(openssl.readAll()) +
                openssl.errorString();
        return false;
    }
    QFile certificate(dir.filePath("certificate.pem"));
    QFile key(dir.filePath("key.pem"));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("openssl wrote no certificate");
        return false;
    }
    certificatePem = certificate.readAll();
    keyPem = key.readAll();
    return true;
}
