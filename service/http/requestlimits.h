#pragma once

#include <QHostAddress>
#include <QList>

#include <chrono>

// Named as QHttpServerConfiguration names the same limits. Once Qt 6.11 is the minimum, its
// sizes and keep-alive can be Qt's own (the connection caps need 6.12); the guard keeps the query
// size, the deadlines and the refusal of malformed requests, which Qt has no setting for.
struct RequestLimits
{
    qsizetype maximumUrlSize = 72 * 1024; // over the whole request line: path, query and the rest
    qsizetype maximumQuerySize = 64 * 1024;
    qsizetype maximumTotalHeaderSize = 16 * 1024;
    int maximumHeaderFieldCount = 100;
    qint64 maximumBodySize = 1024 * 1024;
    std::chrono::milliseconds keepAliveTimeout = std::chrono::seconds(60);
    // From the first byte of a request to the end of its head, and then of its body, however
    // slowly the bytes trickle in.
    std::chrono::milliseconds headTimeout = std::chrono::seconds(10);
    std::chrono::milliseconds bodyTimeout = std::chrono::seconds(60);
    int maximumConnections = 512;
    int maximumConnectionsPerHost = 16;
    QList<QHostAddress> trustedProxies; // many clients share their connections: no per-host cap
};
