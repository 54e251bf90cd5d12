#include "http/exchange.h"

#include "http/requestlog.h"

#include <QHttpServerRequest>

Exchange::Exchange(const QHttpServerRequest &request, QHttpServerResponder &&responder)
    : m_responder(std::move(responder)), m_socket(m_responder.socket())
{
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
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_responder.writeStatusLine(status);
    m_responder.writeHeader(QByteArrayLiteral("Content-Type"), contentType);
    m_responder.writeHeader(QByteArrayLiteral("Content-Length"), QByteArray::number(body.size()));
    m_responder.writeHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    for (const auto &[name, value] : std::as_const(m_headers))
        m_responder.writeHeader(name, value);
    if (m_close)
        m_responder.writeHeader(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    m_responder.writeBody(m_head ? QByteArray() : body);
    if (m_close)
        m_socket->disconnectFromHost();
}

void Exchange::sendHtml(Status status, const QString &html)
{
    send(status, QByteArrayLiteral("text/html; charset=utf-8"), html.toUtf8());
}
