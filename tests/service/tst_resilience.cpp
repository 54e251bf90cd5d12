#include "support/service.h"
#include "support/testmain.h"

#include <QSqlQuery>

// Banner reports while the database cannot take them, here an SQLite file that another writer
// holds. tests/service/faults.py stops a PostgreSQL server under the service instead.
class TestResilience : public QObject
{
    Q_OBJECT

    QTemporaryDir engine;
    std::unique_ptr<Service> service;
    QSqlDatabase writer = QSqlDatabase::addDatabase("QSQLITE");

    // The texts of the reports stored, a line each, in their order.
    QString reports()
    {
        service->run({"--list-reports"});
        return QString(service->output).remove(QRegularExpression("(?m)^.*\t"));
    }

private Q_SLOTS:
    void init()
    {
        service = std::make_unique<Service>(withEcho(engine) + "[accounts]\nreport_queue = 3\n");
        writer.setDatabaseName(service->dir.filePath("demo.sqlite"));
        QVERIFY(service->start() && writer.open() && QSqlQuery(writer).exec("BEGIN EXCLUSIVE"));
    }
    void cleanup() { QSqlQuery(writer).exec("COMMIT"), writer.close(), service.reset(); }

    void queue_data()
    {
        columns<QString>({"then"});
        dataRow("written once free", QString("free"));
        dataRow("written on SIGTERM", QString("stop"));
        dataRow("counted on SIGTERM", QString("lost"));
    }
    // Reports wait in order, as many as report_queue, until the database takes them again, at the
    // latest on SIGTERM; then those it still cannot take are counted in the log.
    void queue()
    {
        auto [then] = fetch<QString>("then");
        QByteArray got, form = "userid=1&src_lang=en&dest_lang=es&text=r";
        for (const char n : {'1', '2', '3', '4'})
            got += rawHttp(service->port, post(form + n)).left(13);
        QCOMPARE(got, "HTTP/1.1 200 HTTP/1.1 200 HTTP/1.1 200 HTTP/1.1 503 ");
        QSqlQuery(writer).exec(then == "lost" ? "SELECT 1" : "COMMIT"); // let go, or hold on
        if (then == "free")
            QTRY_COMPARE_WITH_TIMEOUT(reports(), "r1\nr2\nr3\n", 10000);
        QTcpSocket held; // under way when SIGTERM comes, and answered all the same
        held.connectToHost("127.0.0.1", service->port);
        held.write(translate("slow")), QTest::qWait(500), service->process.terminate();
        QVERIFY(held.waitForReadyRead(10000) && held.readAll().startsWith("HTTP/1.1 200 ") &&
                service->process.waitForFinished(10000) && service->process.exitCode() == 0);
        QSqlQuery(writer).exec("COMMIT");
        QCOMPARE(reports(), then == "lost" ? "" : "r1\nr2\nr3\n");
        QVERIFY(service->log().contains("database is locked") && // the first line says why
                service->written.contains(then == "lost"
                                              ? "3 reports kept in memory are lost"
                                              : "the 3 reports kept in memory are written"));
    }
};

LEXORN_TEST_MAIN(TestResilience)
#include "tst_resilience.moc"
