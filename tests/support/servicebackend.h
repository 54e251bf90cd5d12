#pragma once

#include "support/servicerunner.h"

#include <QTest>
#include <QUuid>

// Global data of the tests that run once on SQLite and once on the PostgreSQL server that
// LEXORN_TEST_PG names (scripts/pg-cluster start DIR PORT makes one).
inline void addBackendRows()
{
    QTest::addColumn<QString>("database");
    QTest::newRow("sqlite") << QStringLiteral("service.sqlite");
    QTest::newRow("postgresql") << ServiceRunner::testPostgres();
}

// A PostgreSQL database outlives the test, so every run signs up addresses of its own.
inline QString uniqueEmail(const QString &prefix)
{
    return prefix + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128).left(12) +
           QStringLiteral("@example.org");
}

#define START_SERVICE(runner)                                                                      \
    do {                                                                                           \
        QString startError;                                                                        \
        QVERIFY2((runner).start(&startError), qPrintable(startError));                             \
    } while (false)
