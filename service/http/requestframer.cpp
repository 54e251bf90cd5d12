#include "http/requestframer.h"

#include <QList>

#include <algorithm>
#include <cctype>

namespace {

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

RequestFramer::Step RequestFramer::next(QByteArrayView &input)
{
    while (!input.isEmpty()) {
        if (m_phase == Phase::Body) {
            const qint64 take = qMin<qint64>(m_bodyLeft, input.size());
            input = input.sliced(take);
            if (skipBody(take) == Step::RequestDone)
                return Step::RequestDone;
            continue;
        }
        const char c = input.front();
        if (m_phase == Phase::BetweenRequests) {
            if (!QByteArrayView("\v\n\r \t").contains(c)) {
                m_phase = Phase::RequestLine;
                return Step::HeadStarted;
            }
            input = input.sliced(1); // the HTTP server skips blank space between requests too
            continue;
        }
        input = input.sliced(1);
        if (c == '\n') {
            const Step step = m_phase == Phase::RequestLine ? requestLineDone() : headerLineDone();
            if (step != Step::None)
                return step;
            continue;
        }
        m_line.append(c);
        if (m_phase == Phase::RequestLine) {
            if (m_line.size() > m_limits.maximumUrlSize) {
                m_target = m_line.mid(m_line.indexOf(' ') + 1);
                return reject(414);
            }
        } else if (++m_headerBytes > m_limits.maximumTotalHeaderSize) {
            return reject(431);
        }
    }
    return Step::None;
}

RequestFramer::Step RequestFramer::skipBody(qint64 count)
{
    m_bodyLeft -= count;
    if (m_bodyLeft > 0)
        return Step::None;
    startNextRequest();
    return Step::RequestDone;
}

RequestFramer::Step RequestFramer::requestLineDone()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    const QList<QByteArray> parts = m_line.split(' ');
    m_line.clear();
    if (parts.size() != 3)
        return reject(400);
    m_method = parts.at(0);
    m_target = parts.at(1);
    const QByteArray &version = parts.at(2);
    if (!std::all_of(m_method.cbegin(), m_method.cend(),
                     [](char c) { return c >= 'A' && c <= 'Z'; }) ||
        m_method.isEmpty() || !m_target.startsWith('/') || !isVisibleAscii(m_target))
        return reject(400);
    const qsizetype question = m_target.indexOf('?');
    if (question >= 0 && m_target.size() - question - 1 > m_limits.maximumQuerySize)
        return reject(414);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        const bool looksLikeHttp = version.size() == 8 && version.startsWith("HTTP/") &&
                                   std::isdigit(static_cast<unsigned char>(version.at(5))) &&
                                   version.at(6) == '.' &&
                                   std::isdigit(static_cast<unsigned char>(version.at(7)));
        return reject(looksLikeHttp ? 505 : 400);
    }
    static const QList<QByteArray> known = {"GET",    "HEAD",    "POST", "PUT",
                                            "DELETE", "OPTIONS", "PATCH"};
    if (!known.contains(m_method))
        return reject(501);
    m_http11 = version == "HTTP/1.1";
    m_phase = Phase::Headers;
    return Step::None;
}

RequestFramer::Step RequestFramer::headerLineDone()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    if (m_line.isEmpty())
        return headersDone();
    const QByteArray line = m_line;
    m_line.clear();
    if (++m_headerCount > m_limits.maximumHeaderFieldCount)
        return reject(431);
    const qsizetype colon = line.indexOf(':');
    // A line folded onto the previous one, or without a name, is not accepted.
    if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)))
        return reject(400);
    const QByteArray name = line.left(colon).toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return reject(400);
    }
    if (name == "content-length") {
        bool ok =
            value.size() <= 18 && !value.isEmpty() &&
            std::all_of(value.cbegin(), value.cend(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 length = ok ? value.toLongLong(&ok) : -1;
        if (!ok || (m_contentLength >= 0 && m_contentLength != length))
            return reject(400);
        m_contentLength = length;
    } else if (name == "transfer-encoding") {
        m_hasTransferEncoding = true;
    } else if (name == "host") {
        if (m_hasHost || !isHostValue(value))
            return reject(400);
        m_hasHost = true;
    } else if (name == "upgrade" && value.toLower().contains("websocket")) {
        return reject(400); // there are no WebSocket services here
    }
    return Step::None;
}

RequestFramer::Step RequestFramer::headersDone()
{
    if (m_http11 && !m_hasHost)
        return reject(400);
    if (m_hasTransferEncoding)
        return reject(411);
    if (m_contentLength > m_limits.maximumBodySize)
        return reject(413);
    m_bodyLeft = qMax<qint64>(m_contentLength, 0);
    if (m_bodyLeft == 0) {
        startNextRequest();
        return Step::RequestDone;
    }
    m_phase = Phase::Body;
    return Step::BodyStarted;
}

RequestFramer::Step RequestFramer::reject(int status)
{
    m_rejection = status;
    return Step::Rejected;
}

void RequestFramer::startNextRequest()
{
    m_phase = Phase::BetweenRequests;
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
