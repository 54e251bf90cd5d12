#pragma once

#include <QByteArray>
#include <QUrl>

// HTTP for tests, outside the program's own transfer code.

// The body of the answer to a GET, empty when none came within 30 s.
QByteArray httpGet(const QUrl &url);

// Sends bytes as they are to 127.0.0.1:port and returns what comes back until the server closes,
// the answer is as long as it announced, or 10 s pass without a byte.
QByteArray rawHttp(quint16 port, const QByteArray &request);
