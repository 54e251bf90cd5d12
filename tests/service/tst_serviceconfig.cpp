#include "support/servicerunner.h"

#include <QTest>

// A configuration the service cannot honour stops it before it serves anything, with the reason.
class TestServiceConfig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refused_data();
    void refused();
    void demoConfigurationIsAccepted();
};

void TestServiceConfig::refused_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("name beyond Latin-1")
        << QStringLiteral("languages") << QStringLiteral("3 = ja, 日本語")
        << QByteArray("ISO-8859-1");
    QTest::newRow("index the program cannot place")
        << QStringLiteral("languages") << QStringLiteral("7 = de, Deutsch")
        << QByteArray("index 7");
    QTest::newRow("same code twice")
        << QStringLiteral("languages") << QStringLiteral("3 = en, Englisch") << QByteArray("twice");
    QTest::newRow("pair of an unlisted language")
        << QStringLiteral("apertium") << QStringLiteral("en -> fr = eng-fra")
        << QByteArray("fr is not listed");
    QTest::newRow("marker that escaped text may hold")
        << QStringLiteral("apertium") << QStringLiteral("result_end = &amp;")
        << QByteArray("result_end");
    QTest::newRow("cap beyond 16 bits")
        << QStringLiteral("accounts") << QStringLiteral("cap = 40000") << QByteArray("cap");
    QTest::newRow("misspelt key") << QStringLiteral("service") << QStringLiteral("prot = 80")
                                  << QByteArray("unknown key");
    QTest::newRow("unknown section")
        << QStringLiteral("extras") << QStringLiteral("a = b") << QByteArray("unknown section");
    QTest::newRow("relative link")
        << QStringLiteral("links") << QStringLiteral("welcome = welcome.php")
        << QByteArray("welcome");
}

void TestServiceConfig::refused()
{
    QFETCH(QString, section);
    QFETCH(QString, line);
    QFETCH(QByteArray, reason);
    ServiceRunner service(ServiceRunner::withLine(ServiceRunner::demoConfig(), section, line));
    QByteArray errors;
    QCOMPARE(service.run({}, {}, nullptr, &errors), 2);
    QVERIFY2(errors.contains(reason), errors.constData());
    QVERIFY2(!QFile::exists(service.directory() + QStringLiteral("/demo.sqlite")),
             "no database made");
}

void TestServiceConfig::demoConfigurationIsAccepted()
{
    ServiceRunner service;
    QByteArray errors;
    QCOMPARE(service.run({QStringLiteral("--list-reports")}, {}, nullptr, &errors), 0);
    QVERIFY2(errors.isEmpty(), errors.constData());
}

QTEST_GUILESS_MAIN(TestServiceConfig)
#include "tst_serviceconfig.moc"
