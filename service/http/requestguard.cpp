#include "http/requestguard.h"

#include "http/exchange.h"
#include "http/requestlog.h"

#include <QTcpSocket>

#include <algorithm>
#include <cctype>

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

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// Only what the HTTP server can turn into a valid address: a host name or address and a port.
bool isHostValue(QByteArrayView host)
{
    qsizetype colon = host.lastIndexOf(':');
    if (colon >= 0 && host.indexOf(']') > colon)
        colon = -1; // inside an IPv6 literal
    const QByteArrayView name = colon < 0 ? host : host.first(colon);
    for (char c : name) {
        if (!isTokenChar(c) && c != '[' && c != ']' && c != ':')
            return false;
    }
    if (colon >= 0) {
        bool ok = false;
        const int port = host.sliced(colon + 1).toInt(&ok);
        return ok && port > 0 && port <= 65535;
    }
    return true;
}

bool isVisibleAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7F;
    });
}

} // namespace

GuardedServer::GuardedServer(const RequestLimits &limits, QObject *parent)
    : QTcpServer(parent), m_limits(limits)
{}

void GuardedServer::attach(QObject *httpServer)
{
    m_http = httpServer;
    // Connected after the HTTP server's own handler, so it runs once that has taken the sockets.
    connect(this, &QTcpServer::newConnection, this, &GuardedServer::attachFresh);
}

void GuardedServer::drain()
{
    close();
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        int open = 0;
        const auto sockets = findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
        for (QTcpSocket *socket : sockets) {
            const auto *guard =
                socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly);
            const auto *line =
                socket->findChild<AnswerLine *>(QString(), Qt::FindDirectChildrenOnly);
            if (guard && guard->isBetweenRequests() && (!line || line->isIdle()))
                socket->disconnectFromHost(); // once its last answer has gone out
            open += socket->state() != QAbstractSocket::UnconnectedState;
        }
        if (open == 0) {
            poll->stop();
            Q_EMIT drained();
        }
    });
    poll->start(50);
}

void GuardedServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const QHostAddress peer = socket->peerAddress();
    if (m_count->all >= m_limits.maximumConnections ||
        (!m_limits.trustedProxies.contains(peer) &&
         m_count->perClient.value(peer) >= m_limits.maximumConnectionsPerHost)) {
        logRequest(QByteArray(), QByteArray(), 503, 0);
        socket->write("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 1\r\nContent-Length: "
                      "0\r\nConnection: close\r\n\r\n");
        socket->flush();
        socket->abort();
        socket->deleteLater();
        return;
    }
    // The guard's first connection to readyRead precedes the HTTP server's.
    new ConnectionGuard(socket, m_limits, m_count);
    m_fresh.append(socket);
    addPendingConnection(socket);
}

void GuardedServer::attachFresh()
{
    for (const QPointer<QTcpSocket> &socket : std::as_const(m_fresh)) {
        if (!socket)
            continue;
        if (auto *guard =
                socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly))
            guard->follow(m_http);
    }
    m_fresh.clear();
}

ConnectionGuard::ConnectionGuard(QTcpSocket *socket, const RequestLimits &limits,
                                 std::shared_ptr<ConnectionCount> count)
    : QObject(socket), m_socket(socket), m_limits(limits), m_count(std::move(count)),
      m_peer(socket->peerAddress())
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
    if (m_phase == Phase::Body && m_bodyLeft >= fresh) {
        // Body bytes need no look, only counting.
        m_bodyLeft -= fresh;
        m_seenUnread = available;
        if (m_bodyLeft == 0)
            startNextRequest();
        return;
    }
    const QByteArray data = m_socket->peek(available);
    scan(data.constData() + m_seenUnread, data.size() - m_seenUnread);
    m_seenUnread = available;
}

void ConnectionGuard::afterServer()
{
    if (!m_rejected)
        m_seenUnread = m_socket->bytesAvailable();
}

void ConnectionGuard::scan(const char *data, qint64 size)
{
    qint64 i = 0;
    while (i < size && !m_rejected) {
        if (m_phase == Phase::Body) {
            const qint64 take = qMin(m_bodyLeft, size - i);
            m_bodyLeft -= take;
            i += take;
            if (m_bodyLeft == 0)
                startNextRequest();
            continue;
        }
        const char c = data[i++];
        if (m_phase == Phase::RequestLine) {
            if (m_line.isEmpty() && QByteArrayView("\v\n\r \t").contains(c))
                continue; // the HTTP server skips blank space between requests too
            if (m_line.isEmpty()) {
                m_started.start();
                m_deadline.start(m_limits.headTimeout);
            }
            if (c == '\n') {
                if (!requestLineDone())
                    return;
                continue;
            }
            m_line.append(c);
            if (m_line.size() > m_limits.maximumUrlSize) {
                m_target = m_line.mid(m_line.indexOf(' ') + 1);
                reject(414);
            }
        } else {
            if (c == '\n') {
                if (!headerLineDone())
                    return;
                continue;
            }
            m_line.append(c);
            if (++m_headerBytes > m_limits.maximumTotalHeaderSize)
                reject(431);
        }
    }
}

bool ConnectionGuard::requestLineDone()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    const QList<QByteArray> parts = m_line.split(' ');
    m_line.clear();
    if (parts.size() != 3) {
        reject(400);
        return false;
    }
    m_method = parts.at(0);
    m_target = parts.at(1);
    const QByteArray &version = parts.at(2);
    if (!std::all_of(m_method.cbegin(), m_method.cend(),
                     [](char c) { return c >= 'A' && c <= 'Z'; }) ||
        m_method.isEmpty() || !m_target.startsWith('/') || !isVisibleAscii(m_target)) {
        reject(400);
        return false;
    }
    const qsizetype question = m_target.indexOf('?');
    if (question >= 0 && m_target.size() - question - 1 > m_limits.maximumQuerySize) {
        reject(414);
        return false;
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        const bool looksLikeHttp = version.size() == 8 && version.startsWith("HTTP/") &&
                                   std::isdigit(static_cast<unsigned char>(version.at(5))) &&
                                   version.at(6) == '.' &&
                                   std::isdigit(static_cast<unsigned char>(version.at(7)));
        reject(looksLikeHttp ? 505 : 400);
        return false;
    }
    static const QList<QByteArray> known = {"GET",    "HEAD",    "POST", "PUT",
                                            "DELETE", "OPTIONS", "PATCH"};
    if (!known.contains(m_method)) {
        reject(501);
        return false;
    }
    m_http11 = version == "HTTP/1.1";
    m_phase = Phase::Headers;
    return true;
}

bool ConnectionGuard::headerLineDone()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    if (m_line.isEmpty())
        return headersDone();
    const QByteArray line = m_line;
    m_line.clear();
    if (++m_headerCount > m_limits.maximumHeaderFieldCount) {
        reject(431);
        return false;
    }
    const qsizetype colon = line.indexOf(':');
    // A line folded onto the previous one, or without a name, is not accepted.
    if (colon <= 0 || !isToken(QByteArrayView(line).first(colon))) {
        reject(400);
        return false;
    }
    const QByteArray name = line.left(colon).toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            reject(400);
            return false;
        }
    }
    if (name == "content-length") {
        bool ok =
            value.size() <= 18 && !value.isEmpty() &&
            std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 length = ok ? value.toLongLong(&ok) : -1;
        if (!ok || (m_contentLength >= 0 && m_contentLength != length)) {
            reject(400);
            return false;
        }
        m_contentLength = length;
    } else if (name == "transfer-encoding") {
        m_hasTransferEncoding = true;
    } else if (name == "host") {
        if (m_hasHost || !isHostValue(value)) {
            reject(400);
            return false;
        }
        m_hasHost = true;
    } else if (name == "upgrade" && value.toLower().contains("websocket")) {
        reject(400); // there are no WebSocket services here
        return false;
    }
    return true;
}

bool ConnectionGuard::headersDone()
{
    if (m_http11 && !m_hasHost) {
        reject(400);
        return false;
    }
    if (m_hasTransferEncoding) {
        reject(411);
        return false;
    }
    if (m_contentLength > m_limits.maximumBodySize) {
        reject(413);
        return false;
    }
    m_bodyLeft = qMax<qint64>(m_contentLength, 0);
    if (m_bodyLeft == 0) {
        startNextRequest();
    } else {
        m_phase = Phase::Body;
        m_deadline.start(m_limits.bodyTimeout);
    }
    return true;
}

void ConnectionGuard::startNextRequest()
{
    m_deadline.stop();
    m_phase = Phase::RequestLine;
    m_line.clear();
    m_method.clear();
    m_target.clear();
    m_http11 = false;
    m_headerBytes = 0;
    m_headerCount = 0;
    m_contentLength = -1;
    m_hasHost = false;
    m_hasTransferEncoding = false;
    m_bodyLeft = 0;
}

void ConnectionGuard::reject(int status)
{
    m_rejected = true;
    logRequest(m_method, m_target, status, m_started.isValid() ? m_started.elapsed() : 0);
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
    if (m_phase == Phase::RequestLine && m_line.isEmpty())
        m_socket->disconnectFromHost();
    else
        reject(408);
}
