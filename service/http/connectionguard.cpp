#include "http/connectionguard.h"

#include "http/exchange.h"
#include "http/requestlog.h"

#include <QTcpSocket>

#include <malloc.h>
#include <sys/socket.h>

namespace {

constexpr qint64 DrainLimit = 4 * 1024 * 1024;
constexpr int LingerMilliseconds = 3000;

const char *reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

} // namespace

ConnectionGuard::ConnectionGuard(QTcpSocket *socket, const RequestLimits &limits,
                                 std::shared_ptr<ConnectionCount> count)
    : QObject(socket), m_socket(socket), m_limits(limits), m_framer(limits),
      m_count(std::move(count)), m_peer(socket->peerAddress())
{
    ++m_count->all;
    ++m_count->perClient[m_peer];
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (!m_rejected)
            reject(408);
    });
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::beforeServer);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { m_idle.start(); });
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_limits.keepAliveTimeout);
    connect(&m_idle, &QTimer::timeout, this, &ConnectionGuard::idle);
    m_idle.start();
}

ConnectionGuard::~ConnectionGuard()
{
    if (--m_count->perClient[m_peer] == 0)
        m_count->perClient.remove(m_peer);
    // What held connections buffered goes back to the system once they are all gone.
    if (--m_count->all == 0)
        malloc_trim(0);
}

void ConnectionGuard::follow(QObject *httpServer)
{
    m_http = httpServer;
    connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionGuard::afterServer);
}

void ConnectionGuard::beforeServer()
{
    m_idle.start();
    if (m_rejected) {
        const qint64 available = m_socket->bytesAvailable();
        m_drained += m_socket->skip(available);
        if (m_drained > DrainLimit)
            m_socket->abort();
        return;
    }
    const qint64 available = m_socket->bytesAvailable();
    const qint64 fresh = available - m_seenUnread;
    if (fresh <= 0)
        return;
    if (fresh <= m_framer.bodyLeft()) {
        // Body bytes need no look, only counting.
        m_seenUnread = available;
        take(m_framer.skipBody(fresh));
        return;
    }
    const QByteArray data = m_socket->peek(available);
    scan(QByteArrayView(data).sliced(m_seenUnread));
    m_seenUnread = available;
}

void ConnectionGuard::afterServer()
{
    if (!m_rejected)
        m_seenUnread = m_socket->bytesAvailable();
}

void ConnectionGuard::scan(QByteArrayView data)
{
    while (!data.isEmpty() && !m_rejected)
        take(m_framer.next(data));
}

void ConnectionGuard::take(RequestFramer::Step step)
{
    switch (step) {
    case RequestFramer::Step::None:
        break;
    case RequestFramer::Step::HeadStarted:
        m_started.start();
        m_deadline.start(m_limits.headTimeout);
        break;
    case RequestFramer::Step::BodyStarted:
        m_deadline.start(m_limits.bodyTimeout);
        break;
    case RequestFramer::Step::RequestDone:
        m_deadline.stop();
        break;
    case RequestFramer::Step::Rejected:
        reject(m_framer.rejection());
        break;
    }
}

void ConnectionGuard::reject(int status)
{
    m_rejected = true;
    logRequest(m_framer.method(), m_framer.target(), status,
               m_started.isValid() ? m_started.elapsed() : 0);
    // From here on the HTTP server must not read this connection.
    if (m_http)
        disconnect(m_socket, &QTcpSocket::readyRead, m_http, nullptr);
    if (m_socket->isTransactionStarted())
        m_socket->commitTransaction();

    const QByteArray reason = reasonPhrase(status);
    const QByteArray body = "<!DOCTYPE html>\n<html><head><title>" + QByteArray::number(status) +
                            ' ' + reason + "</title></head><body><h1>" +
                            QByteArray::number(status) + ' ' + reason + "</h1></body></html>\n";
    const QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                              "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body;
    // Earlier requests on this connection still being worked on are answered first.
    auto *line = m_socket->findChild<AnswerLine *>(QString(), Qt::FindDirectChildrenOnly);
    if (line && !line->isIdle())
        connect(
            line, &AnswerLine::drained, this, [this, answer] { sendRejection(answer); },
            Qt::SingleShotConnection);
    else
        sendRejection(answer);
    m_drained += m_socket->skip(m_socket->bytesAvailable());
}

void ConnectionGuard::sendRejection(const QByteArray &answer)
{
    m_socket->write(answer);
    m_socket->flush();
    // Half-close and keep reading for a moment: closing with unread input would reset the
    // connection and could destroy the answer before the client reads it.
    if (m_socket->bytesToWrite() == 0)
        finishRejected();
    else
        connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
            if (m_socket->bytesToWrite() == 0)
                finishRejected();
        });
    QTimer::singleShot(LingerMilliseconds, m_socket, &QTcpSocket::abort);
}

void ConnectionGuard::finishRejected()
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
}

void ConnectionGuard::idle()
{
    if (m_rejected)
        return;
    if (m_framer.isBetweenRequests())
        m_socket->disconnectFromHost();
    else
        reject(408);
}
