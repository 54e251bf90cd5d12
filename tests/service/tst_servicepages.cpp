#include "support/httpcall.h"
#include "support/servicebackend.h"
#include "support/servicerunner.h"

#include <QTest>
#include <QUuid>

namespace {

QString unique(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

QByteArray form(std::initializer_list<std::pair<const char *, QString>> fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QByteArray(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

QHash<QByteArray, QByteArray> links(const ServiceRunner &service, const QString &user,
                                    const QString &password)
{
    const QByteArray answer =
        httpGet(service.url(QStringLiteral("/lexorn/settings.php?version=1.0.1"
                                           "&username=%1&password=%2")
                                .arg(user, password)))
            .body;
    QHash<QByteArray, QByteArray> found;
    for (const QByteArray &line : answer.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() >= 3 && (fields.first() == "link:" || fields.first() == "about:"))
            found.insert(fields.at(1), fields.at(2));
    }
    return found;
}

} // namespace

class TestServicePages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signedUpAccountSignsIn_data();
    void signedUpAccountSignsIn();
    void signupRefusals_data();
    void signupRefusals();
    void bannerReportIsStored_data();
    void bannerReportIsStored();
    void incompleteBannerReportIsRefused();
    void findTranslatorThroughTheTemplate_data();
    void findTranslatorThroughTheTemplate();
    void linkedPagesAreServed();
};

void TestServicePages::signedUpAccountSignsIn_data()
{
    addBackendColumn();
    for (const QString &name : backendNames())
        QTest::newRow(qPrintable(name)) << backendDatabase(name);
}

void TestServicePages::signedUpAccountSignsIn()
{
    QFETCH(QString, database);
    SKIP_WITHOUT_BACKEND(database);
    ServiceRunner service(ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
    START_SERVICE(service);
    const QString email = unique(QStringLiteral("New.Person.")) + QStringLiteral("@Example.org");
    const QString password = QStringLiteral("tea+biscuits 42");

    const HttpResult page = httpGet(service.url(QStringLiteral("/lexorn/signup.php")));
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("name=\"email\""));
    QVERIFY(page.body.contains("name=\"password\""));

    // A browser sends spaces as '+' in a form.
    const QByteArray body = form({{"email", email}}) +
                            "&password=" + QUrl::toPercentEncoding(password).replace("%20", "+");
    const HttpResult created = httpPost(service.url(QStringLiteral("/lexorn/signup.php")), body);
    QCOMPARE(created.status, 200);

    // The address is matched without regard to case; '+' in the password is itself.
    const auto answer = links(service, email.toLower(), password);
    QVERIFY(answer.contains("userid"));
    QVERIFY(answer.contains("banner"));
    QVERIFY(links(service, email, QStringLiteral("tea biscuits 42")).isEmpty());
}

void TestServicePages::signupRefusals_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("not an address")
        << QStringLiteral("someone.example.org") << QStringLiteral("long enough") << 400
        << QByteArray("valid e-mail address");
    QTest::newRow("no domain") << QStringLiteral("someone@") << QStringLiteral("long enough") << 400
                               << QByteArray("valid e-mail address");
    QTest::newRow("seven characters")
        << QStringLiteral("seven@example.org") << QStringLiteral("1234567") << 400
        << QByteArray("at least 8");
    QTest::newRow("unsendable ampersand")
        << QStringLiteral("amp@example.org") << QStringLiteral("salt&pepper") << 400
        << QByteArray("&amp;, #");
    QTest::newRow("unsendable percent")
        << QStringLiteral("pct@example.org") << QStringLiteral("100%sure!") << 400
        << QByteArray("&amp;, #");
    QTest::newRow("taken") << QStringLiteral("demo@lexorn.example") << QStringLiteral("long enough")
                           << 409 << QByteArray("already exists");
    QTest::newRow("taken in capitals")
        << QStringLiteral("DEMO@Lexorn.Example") << QStringLiteral("long enough") << 409
        << QByteArray("already exists");
}

void TestServicePages::signupRefusals()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(int, status);
    QFETCH(QByteArray, message);
    ServiceRunner service;
    START_SERVICE(service);
    const HttpResult result = httpPost(service.url(QStringLiteral("/lexorn/signup.php")),
                                       form({{"email", email}, {"password", password}}));
    QCOMPARE(result.status, status);
    QVERIFY2(result.body.contains(message), result.body.constData());
    // The form comes back with the address filled in, escaped.
    QVERIFY(result.body.contains("value=\"" + email.toHtmlEscaped().toUtf8() + '"'));
    QVERIFY(links(service, email, password).isEmpty());
}

void TestServicePages::bannerReportIsStored_data()
{
    signedUpAccountSignsIn_data();
}

void TestServicePages::bannerReportIsStored()
{
    QFETCH(QString, database);
    SKIP_WITHOUT_BACKEND(database);
    ServiceRunner service(ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
    START_SERVICE(service);
    const QString userId = unique(QStringLiteral("u"));
    // As the program posts it: fields unencoded but the text, which is UTF-8 and percent-encoded.
    const QByteArray body = "userid=" + userId.toUtf8() +
                            "&src_lang=en&dest_lang=es&text=Hello%2C%20World%21%20%C2%A1%C3%B1%2B";
    const QByteArray banner =
        links(service, QStringLiteral("demo@lexorn.example"), QStringLiteral("demo-password"))
            .value("banner");
    const HttpResult result = httpPost(QUrl(QString::fromLatin1(banner)), body);
    QCOMPARE(result.status, 200);
    QCOMPARE(result.contentType, QByteArray("text/html; charset=utf-8"));

    QByteArray reports;
    QCOMPARE(service.run({QStringLiteral("--list-reports")}, {}, &reports), 0);
    const QByteArray expected =
        '\t' + userId.toUtf8() + "\ten\tes\tHello, World! \xc2\xa1\xc3\xb1+\n";
    QVERIFY2(reports.contains(expected), reports.constData());
}

void TestServicePages::incompleteBannerReportIsRefused()
{
    ServiceRunner service;
    START_SERVICE(service);
    const HttpResult result = httpPost(service.url(QStringLiteral("/lexorn/banner.php")),
                                       "userid=7&src_lang=en&dest_lang=es");
    QCOMPARE(result.status, 400);
    QByteArray reports;
    QCOMPARE(service.run({QStringLiteral("--list-reports")}, {}, &reports), 0);
    QVERIFY(reports.isEmpty());
}

void TestServicePages::findTranslatorThroughTheTemplate_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("notListed");
    QTest::newRow("en to es") << QStringLiteral("en") << QStringLiteral("es")
                              << QStringList{QStringLiteral("Lucía Ferrer"),
                                             QStringLiteral("Tomás Ibarra")}
                              << QStringList{QStringLiteral("Hannah Brooks")};
    QTest::newRow("es to en") << QStringLiteral("es") << QStringLiteral("en")
                              << QStringList{QStringLiteral("Hannah Brooks")}
                              << QStringList{QStringLiteral("Lucía Ferrer")};
    QTest::newRow("nobody listed") << QStringLiteral("es") << QStringLiteral("es")
                                   << QStringList{QStringLiteral("No translators")}
                                   << QStringList{QStringLiteral("Hannah Brooks")};
}

void TestServicePages::findTranslatorThroughTheTemplate()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, notListed);
    ServiceRunner service;
    START_SERVICE(service);
    const auto answer =
        links(service, QStringLiteral("demo@lexorn.example"), QStringLiteral("demo-password"));
    // Filled in as Find a Translator fills it, with no escaping.
    QString address = QString::fromLatin1(answer.value("findtran"));
    address.replace(QStringLiteral("%userid%"), QString::fromLatin1(answer.value("userid")));
    address.replace(QStringLiteral("%src_lang%"), source);
    address.replace(QStringLiteral("%trg_lang%"), target);
    const HttpResult result = httpGet(QUrl(address));
    QCOMPARE(result.status, 200);
    const QString page = QString::fromUtf8(result.body);
    for (const QString &name : listed)
        QVERIFY2(page.contains(name), qPrintable(name));
    for (const QString &name : notListed)
        QVERIFY2(!page.contains(name), qPrintable(name));
}

void TestServicePages::linkedPagesAreServed()
{
    ServiceRunner service;
    START_SERVICE(service);
    const auto answer =
        links(service, QStringLiteral("demo@lexorn.example"), QStringLiteral("demo-password"));
    for (const QByteArray key : {"translating", "welcome", "banner"}) {
        const QUrl url(QString::fromLatin1(answer.value(key)));
        const HttpResult result = httpGet(url);
        QCOMPARE(result.status, 200);
        QCOMPARE(result.contentType, QByteArray("text/html; charset=utf-8"));
        QVERIFY(result.body.startsWith("<!DOCTYPE html>"));
        QVERIFY(!result.body.contains("<script"));
    }
    // The program's views may post to the pages they show; an empty post is no report.
    QCOMPARE(httpPost(QUrl(QString::fromLatin1(answer.value("welcome"))), QByteArray()).status,
             200);
    QCOMPARE(httpPost(QUrl(QString::fromLatin1(answer.value("translating"))), QByteArray()).status,
             200);
}

QTEST_GUILESS_MAIN(TestServicePages)
#include "tst_servicepages.moc"
