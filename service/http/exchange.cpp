#include "http/exchange.h"

#include "http/requestlog.h"

#include <QHttpServerRequest>

Exchange::Exchange(const QHttpServerRequest &request, QHttpServerResponder &&responder,
                   const QList<QHostAddress> &trustedProxies)
    : m_responder(std::move(responder)),
      m_client(clientAddress(request.remoteAddress(), request.headers(), trustedProxies))
{
    if (QTcpSocket *socket = m_responder.socket()) {
        m_line = AnswerLine::of(socket);
        m_place = m_line->join();
    }
    m_timer.start();
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        m_method = QByteArrayLiteral("GET");
        break;
    case QHttpServerRequest::Method::Head:
        m_method = QByteArrayLiteral("HEAD");
        m_head = true;
        break;
    case QHttpServerRequest::Method::Post:
        m_method = QByteArrayLiteral("POST");
        m_post = true;
        break;
    case QHttpServerRequest::Method::Put:
        m_method = QByteArrayLiteral("PUT");
        break;
    case QHttpServerRequest::Method::Delete:
        m_method = QByteArrayLiteral("DELETE");
        break;
    case QHttpServerRequest::Method::Options:
        m_method = QByteArrayLiteral("OPTIONS");
        break;
    case QHttpServerRequest::Method::Patch:
        m_method = QByteArrayLiteral("PATCH");
        break;
    default:
        m_method = QByteArrayLiteral("OTHER");
        break;
    }
    m_path = request.url().path(QUrl::FullyEncoded).toUtf8();
    m_close = request.value(QByteArrayLiteral("connection")).toLower().contains("close");
}

Exchange::~Exchange()
{
    if (!m_sent)
        send(Status::InternalServerError, QByteArrayLiteral("text/plain; charset=utf-8"),
             QByteArrayLiteral("Internal error\n"));
}

void Exchange::addHeader(const QByteArray &name, const QByteArray &value)
{
    m_headers.append({name, value});
}

void Exchange::send(Status status, const QByteArray &contentType, const QByteArray &body)
{
    if (m_sent)
        return;
    m_sent = true;
    logRequest(m_method, m_path, int(status), m_timer.elapsed());
    if (m_line) {
        m_line->ready(m_place, {std::move(m_responder), status, contentType, body,
                                std::move(m_headers), m_head, m_close});
    }
}

void Exchange::sendHtml(Status status, const QString &html)
{
    send(status, QByteArrayLiteral("text/html; charset=utf-8"), html.toUtf8());
}

void Exchange::sendRetryLater(int seconds, const QString &html)
{
    addHeader(QByteArrayLiteral("Retry-After"), QByteArray::number(qMax(seconds, 1)));
    sendHtml(Status::TooManyRequests, html);
}

void Exchange::sendBusy(const QString &html)
{
    addHeader(QByteArrayLiteral("Retry-After"), QByteArrayLiteral("1"));
    sendHtml(Status::ServiceUnavailable, html);
}

QHostAddress clientAddress(const QHostAddress &peer,
                           const QList<std::pair<QByteArray, QByteArray>> &headers,
                           const QList<QHostAddress> &trustedProxies)
{
    QHostAddress client = peer;
    if (!trustedProxies.contains(client))
        return client;
    QByteArray forwarded;
    for (const auto &[name, value] : headers) {
        if (name.compare("x-forwarded-for", Qt::CaseInsensitive) == 0)
            forwarded += ',' + value;
    }
    // Each proxy appends whom it heard from: the nearest address that is no proxy of ours is the
    // client, and what lies beyond it anyone may have written.
    const QList<QByteArray> hops = forwarded.split(',');
    for (auto hop = hops.crbegin(); hop != hops.crend(); ++hop) {
        const QByteArray text = hop->trimmed();
        QHostAddress address;
        if (text.isEmpty())
            continue;
        if (!address.setAddress(QString::fromLatin1(text)))
            break;
        client = address;
        if (!trustedProxies.contains(address))
            break;
    }
    return client;
}

AnswerLine *AnswerLine::of(QTcpSocket *socket)
{
    if (auto *line = socket->findChild<AnswerLine *>(QString(), Qt::FindDirectChildrenOnly))
        return line;
    return new AnswerLine(socket);
}

AnswerLine::AnswerLine(QTcpSocket *socket) : QObject(socket), m_socket(socket) {}

quint64 AnswerLine::join()
{
    m_waiting.emplace_back();
    return m_front + m_waiting.size() - 1;
}

void AnswerLine::ready(quint64 place, ReadyAnswer answer)
{
    if (m_closing || place < m_front)
        return; // after an answer that closed the connection
    m_waiting[place - m_front].emplace(std::move(answer));
    while (!m_waiting.empty() && m_waiting.front()) {
        ReadyAnswer &out = *m_waiting.front();
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            out.responder.writeStatusLine(out.status);
            out.responder.writeHeader(QByteArrayLiteral("Content-Type"), out.contentType);
            out.responder.writeHeader(QByteArrayLiteral("Content-Length"),
                                      QByteArray::number(out.body.size()));
            out.responder.writeHeader(QByteArrayLiteral("Cache-Control"),
                                      QByteArrayLiteral("no-store"));
            for (const auto &[name, value] : std::as_const(out.headers))
                out.responder.writeHeader(name, value);
            if (out.close)
                out.responder.writeHeader(QByteArrayLiteral("Connection"),
                                          QByteArrayLiteral("close"));
            out.responder.writeBody(out.head ? QByteArray() : out.body);
        }
        const bool close = out.close;
        m_waiting.pop_front();
        ++m_front;
        if (close) {
            m_closing = true;
            m_waiting.clear();
            m_socket->disconnectFromHost(); // once everything written has gone out
            return;
        }
    }
    if (m_waiting.empty())
        Q_EMIT drained();
}
