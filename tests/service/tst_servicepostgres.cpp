#include "support/httpcall.h"
#include "support/servicebackend.h"
#include "support/servicerunner.h"

#include <QTest>
#include <QUuid>

class TestServicePostgres : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void instancesShareAccountsAndReports();
};

void TestServicePostgres::instancesShareAccountsAndReports()
{
    const QString database = ServiceRunner::testPostgres();
    SKIP_WITHOUT_BACKEND(database);
    const QString config = ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database);
    ServiceRunner first(config);
    ServiceRunner second(config);
    // Both at once: creating the schema and the demo account must not trip over each other.
    QString error;
    QVERIFY2(first.start(&error) && second.start(&error), qPrintable(error));
    QVERIFY(first.port() != second.port());

    const QString email =
        QStringLiteral("shared.%1@example.org").arg(QUuid::createUuid().toString(QUuid::Id128));
    const QString password = QStringLiteral("one-for-both");
    const HttpResult created =
        httpPost(first.url(QStringLiteral("/lexorn/signup.php")),
                 "email=" + QUrl::toPercentEncoding(email) + "&password=" + password.toUtf8());
    QCOMPARE(created.status, 200);

    const QString signIn =
        QStringLiteral("/lexorn/settings.php?version=1.0.1&username=%1&password=%2");
    const QByteArray throughSecond = httpGet(second.url(signIn.arg(email, password))).body;
    QVERIFY2(throughSecond.startsWith("valid:"), throughSecond.constData());
    QCOMPARE(throughSecond.split('\n').at(2),
             httpGet(first.url(signIn.arg(email, password))).body.split('\n').at(2));

    // The address is taken for the other instance too.
    QCOMPARE(httpPost(second.url(QStringLiteral("/lexorn/signup.php")),
                      "email=" + QUrl::toPercentEncoding(email) + "&password=another-one")
                 .status,
             409);

    const QByteArray marker = QUuid::createUuid().toString(QUuid::Id128).toLatin1();
    QCOMPARE(httpPost(first.url(QStringLiteral("/lexorn/banner.php")),
                      "userid=" + marker + "&src_lang=en&dest_lang=es&text=shared")
                 .status,
             200);
    QByteArray reports;
    QCOMPARE(second.run({QStringLiteral("--list-reports")}, {}, &reports), 0);
    QVERIFY(reports.contains('\t' + marker + "\ten\tes\tshared\n"));
}

QTEST_GUILESS_MAIN(TestServicePostgres)
#include "tst_servicepostgres.moc"
