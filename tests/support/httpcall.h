#pragma once

#include <QByteArray>
#include <QUrl>

// Synchronous HTTP for tests, outside the program's own transfer code.
struct HttpResult
{
    int status = 0; // 0: no answer (transport failure or time-out)
    QByteArray body;
    QByteArray contentType;
};

HttpResult httpGet(const QUrl &url, int timeoutMilliseconds = 30000);
HttpResult httpPost(const QUrl &url, const QByteArray &formBody, int timeoutMilliseconds = 30000);

// Sends bytes as they are on a fresh connection to 127.0.0.1:port and returns what comes back
// until the server closes, an answer with its announced length is complete, or the time is up.
QByteArray rawHttp(quint16 port, const QByteArray &request, int timeoutMilliseconds = 10000);

// The status of a raw answer ("HTTP/1.1 414 ..." gives 414), 0 when there is none.
int rawStatus(const QByteArray &answer);
