#pragma once

#include "support/servicerunner.h"

#include <QTest>

// The service tests run once on SQLite and once on PostgreSQL when LEXORN_TEST_PG names a server.
inline void addBackendColumn()
{
    QTest::addColumn<QString>("database");
}

inline QStringList backendNames()
{
    return {QStringLiteral("sqlite"), QStringLiteral("postgresql")};
}

// The "database =" value of a backend: SQLite in the runner's own folder, or the shared server.
inline QString backendDatabase(const QString &name)
{
    return name == QLatin1String("postgresql") ? ServiceRunner::testPostgres()
                                               : QStringLiteral("service.sqlite");
}

#define SKIP_WITHOUT_BACKEND(database)                                                             \
    do {                                                                                           \
        if ((database).isEmpty())                                                                  \
            QSKIP("LEXORN_TEST_PG is not set, so there is no PostgreSQL server to run on "         \
                  "(scripts/pg-cluster start DIR PORT makes one)");                                \
    } while (false)

#define START_SERVICE(runner)                                                                      \
    do {                                                                                           \
        QString startError;                                                                        \
        QVERIFY2((runner).start(&startError), qPrintable(startError));                             \
    } while (false)
