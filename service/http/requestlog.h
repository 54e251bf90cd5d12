#pragma once

#include <QByteArray>

// One line per request on standard error: method, path (never the query: it may hold a password),
// status and milliseconds.
void logRequest(const QByteArray &method, const QByteArray &path, int status, qint64 milliseconds);

// The path of a request target, without its query, safe to print on one line.
QByteArray pathForLog(const QByteArray &target);
