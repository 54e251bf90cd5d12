#pragma once

#include "http/requestlimits.h"

#include <QByteArray>
#include <QByteArrayView>

// Frames the HTTP/1.x requests in one connection's byte stream as the bytes arrive, and holds
// each head to the rules and the limits: the first request that breaks one ends the stream, with
// the status to answer (400, 411, 413, 414, 431, 501 or 505). Bodies are counted, not read.
class RequestFramer
{
public:
    enum class Step {
        None,        // nothing to tell; from next(): the input is used up
        HeadStarted, // a request's first byte is next
        BodyStarted, // a head is complete and a body follows
        RequestDone,
        Rejected, // see rejection(); the stream is not to be framed further
    };

    explicit RequestFramer(const RequestLimits &limits) : m_limits(limits) {}

    // Takes bytes from the front of input up to the next step, or all of them.
    Step next(QByteArrayView &input);
    // Takes count bytes, at most bodyLeft(), unseen.
    Step skipBody(qint64 count);

    qint64 bodyLeft() const { return m_bodyLeft; }
    bool isBetweenRequests() const { return m_phase == Phase::BetweenRequests; }
    int rejection() const { return m_rejection; }
    // Of the request under way, as far as they have come in.
    const QByteArray &method() const { return m_method; }
    const QByteArray &target() const { return m_target; }

private:
    enum class Phase { BetweenRequests, RequestLine, Headers, Body };

    Step requestLineDone();
    Step headerLineDone();
    Step headersDone();
    Step reject(int status);
    void startNextRequest();

    RequestLimits m_limits;
    Phase m_phase = Phase::BetweenRequests;
    QByteArray m_line;
    QByteArray m_method;
    QByteArray m_target;
    bool m_http11 = false;
    qsizetype m_headerBytes = 0;
    int m_headerCount = 0;
    qint64 m_contentLength = -1;
    bool m_hasHost = false;
    bool m_hasTransferEncoding = false;
    qint64 m_bodyLeft = 0;
    int m_rejection = 0;
};
