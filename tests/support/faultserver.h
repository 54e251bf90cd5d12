#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A raw HTTP server on 127.0.0.1 that misbehaves in one chosen way: once a request's head has
// arrived, the connection gets the scripted fault instead of a proper answer.
class FaultServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(FaultServer)

public:
    enum class Fault {
        Refused,          // never listens: its address is a port where nothing does
        ResetMidBody,     // half the announced body, then a TCP reset
        CloseMidBody,     // half the announced body, then an orderly close
        OneBytePerSecond, // a small body, one byte each second
        EndlessBody,      // 200 MB without a length, streamed as fast as the client reads
        AnnouncedBody,    // the same with its length announced
        BrokenChunkSize,  // chunked encoding with a chunk size that is no number
        ChunkCutOff,      // chunked encoding, the connection closed inside a chunk
        RedirectLoop,     // every request is sent back to itself
        Redirect,         // every request is sent to the redirect target
        Page,             // a proper page: the TLS handshake is what is under test
    };

    explicit FaultServer(Fault fault, QObject *parent = nullptr);
    ~FaultServer() override;

    // Serves over TLS with this PEM certificate and key; call before listen().
    bool useTls(const QByteArray &certificatePem, const QByteArray &keyPem);
    bool listen();
    void setRedirectTarget(const QByteArray &location) { redirectTarget = location; }

    QString url(const QString &path) const; // http:// or https://
    QByteArray hostAndPort() const;
    int requests() const { return requestCount; }
    qint64 bodyBytesSent() const { return bodyBytes; }
    int openConnections() const { return connections; }
    int redirectsFollowed() const { return deepestHop; } // by the redirect loop's client

    // A certificate for 127.0.0.1 signed by itself, made with openssl; false with the reason.
    static bool makeSelfSignedCertificate(QByteArray &certificatePem, QByteArray &keyPem,
                                          QString &error);

private:
    void serve(QTcpSocket *socket);
    void misbehave(QTcpSocket *socket, const QByteArray &target);
    void streamEndless(QTcpSocket *socket);

    Fault fault;
    QTcpServer *server = nullptr;
    bool tls = false;
    QByteArray redirectTarget;
    int requestCount = 0;
    int connections = 0;
    int deepestHop = 0;
    qint64 bodyBytes = 0;
};
