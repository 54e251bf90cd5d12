#include "support/httpcall.h"
#include "support/servicebackend.h"
#include "support/servicerunner.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QUuid>

namespace {

const QString DemoUser = QStringLiteral("demo@lexorn.example");
const QString DemoPassword = QStringLiteral("demo-password");

QString uniqueEmail(const QString &prefix)
{
    return prefix + QLatin1Char('.') + QUuid::createUuid().toString(QUuid::Id128).left(12) +
           QStringLiteral("@example.org");
}

QUrl settingsUrl(const ServiceRunner &service, const QString &user, const QString &password,
                 const QString &version = QStringLiteral("1.0.1"))
{
    // Built as the program builds it: the values go in unescaped.
    return service.url(QStringLiteral("/lexorn/settings.php?version=%1&username=%2&password=%3")
                           .arg(version, user, password));
}

QByteArray settingsAnswer(const ServiceRunner &service, const QString &user,
                          const QString &password, const QString &version = QStringLiteral("1.0.1"))
{
    return httpGet(settingsUrl(service, user, password, version)).body;
}

} // namespace

class TestServiceSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void demoAccountAnswer_data();
    void demoAccountAnswer();
    void otherFormatVersionGetsThisOne();
    void rejectedSignIns_data();
    void rejectedSignIns();
    void disabledAccountIsFatal_data();
    void disabledAccountIsFatal();
    void addUserReadsThePasswordFromInput();
    void passwordStaysOutOfLogAndDatabase();
};

void TestServiceSettings::demoAccountAnswer_data()
{
    addBackendColumn();
    for (const QString &name : backendNames())
        QTest::newRow(qPrintable(name)) << backendDatabase(name);
}

void TestServiceSettings::demoAccountAnswer()
{
    QFETCH(QString, database);
    SKIP_WITHOUT_BACKEND(database);
    ServiceRunner service(ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
    START_SERVICE(service);

    const HttpResult result = httpGet(settingsUrl(service, DemoUser, DemoPassword));
    QCOMPARE(result.status, 200);
    QVERIFY2(!result.body.contains('\r'), "lines end with LF alone");
    QVERIFY(result.body.endsWith('\n'));
    const QList<QByteArray> lines = result.body.chopped(1).split('\n');

    const QByteArray base = "http://" + service.hostAndPort();
    const QByteArray translate =
        base + "/lexorn/translate.php?src=%src_lang%&dest=%dest_lang%&text=%text_encode%";
    const QList<QByteArray> expected = {
        "valid:",
        "about:\tversion\t1.0.1",
        "about:\tuserid\t*",
        "about:\tlevel\t0",
        "about:\tcap\t500",
        "link:\ttranslating\t" + base + "/lexorn/translating.php",
        "link:\tbanner\t" + base + "/lexorn/banner.php",
        "link:\twelcome\t" + base + "/lexorn/welcome.php",
        "link:\tfindtran\t" + base +
            "/lexorn/findtran.php?userid=%userid%&src_lang=%src_lang%&trg_lang=%trg_lang%",
        "language:\t1\ten\tEnglish",
        // One byte per character: the program reads the answer that way.
        "language:\t2\tes\tEspa\xf1ol",
        "translation_url:\t1\t1\t2\t<div id=\"result\">\t</div>\t" + translate +
            "\tapertium\teng-spa\t",
        "translation_url:\t2\t2\t1\t<div id=\"result\">\t</div>\t" + translate +
            "\tapertium\tspa-eng\t",
    };
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        if (expected.at(i).endsWith('*')) {
            QVERIFY2(QRegularExpression(QStringLiteral("^about:\tuserid\t[1-9][0-9]*$"))
                         .match(QString::fromLatin1(lines.at(i)))
                         .hasMatch(),
                     lines.at(i).constData());
        } else {
            QCOMPARE(lines.at(i), expected.at(i));
        }
    }
}

void TestServiceSettings::otherFormatVersionGetsThisOne()
{
    ServiceRunner service;
    START_SERVICE(service);
    const QByteArray answer =
        settingsAnswer(service, DemoUser, DemoPassword, QStringLiteral("1.0.2"));
    QVERIFY(answer.startsWith("valid:\n"));
    QVERIFY(answer.contains("\nabout:\tversion\t1.0.1\n"));
}

void TestServiceSettings::rejectedSignIns_data()
{
    QTest::addColumn<QString>("query");
    QTest::newRow("wrong password")
        << QStringLiteral("version=1.0.1&username=demo@lexorn.example&password=demo-passwort");
    QTest::newRow("unknown address")
        << QStringLiteral("version=1.0.1&username=nobody@lexorn.example&password=demo-password");
    QTest::newRow("no password") << QStringLiteral("version=1.0.1&username=demo@lexorn.example");
    QTest::newRow("empty user name")
        << QStringLiteral("version=1.0.1&username=&password=demo-password");
    // The program does not escape the user name: "&" ends it early on our side.
    QTest::newRow("ampersand in the name")
        << QStringLiteral("version=1.0.1&username=demo&x@lexorn.example&password=demo-password");
    QTest::newRow("password of another case")
        << QStringLiteral("version=1.0.1&username=demo@lexorn.example&password=DEMO-PASSWORD");
}

void TestServiceSettings::rejectedSignIns()
{
    QFETCH(QString, query);
    ServiceRunner service;
    START_SERVICE(service);
    const HttpResult result = httpGet(service.url(QStringLiteral("/lexorn/settings.php?") + query));
    QCOMPARE(result.status, 200);
    const QList<QByteArray> fields = result.body.split('\t');
    QCOMPARE(fields.size(), 3);
    QCOMPARE(fields.at(0), QByteArray("error:"));
    QCOMPARE(fields.at(1), QByteArray("login"));
    QVERIFY(fields.at(2).size() > 1);
}

void TestServiceSettings::disabledAccountIsFatal_data()
{
    demoAccountAnswer_data();
}

void TestServiceSettings::disabledAccountIsFatal()
{
    QFETCH(QString, database);
    SKIP_WITHOUT_BACKEND(database);
    ServiceRunner service(ServiceRunner::withDatabase(ServiceRunner::demoConfig(), database));
    START_SERVICE(service);
    const QString user = uniqueEmail(QStringLiteral("soon.disabled"));
    QCOMPARE(service.run({QStringLiteral("--add-user"), user}, "first-pass-1\n"), 0);
    // Signed in once, so the service remembers these credentials: disabling must still win.
    QVERIFY(settingsAnswer(service, user, QStringLiteral("first-pass-1")).startsWith("valid:"));

    QCOMPARE(service.run({QStringLiteral("--disable-user"), user.toUpper()}), 0);
    const QByteArray answer = settingsAnswer(service, user, QStringLiteral("first-pass-1"));
    QVERIFY2(answer.startsWith("error:\tfatal\t"), answer.constData());
    QVERIFY(answer.trimmed().size() > int(strlen("error:\tfatal\t")));
    // A wrong password on a disabled account is a login error: the state is not given away.
    QVERIFY(
        settingsAnswer(service, user, QStringLiteral("guessing-1")).startsWith("error:\tlogin\t"));

    QCOMPARE(service.run({QStringLiteral("--enable-user"), user}), 0);
    QVERIFY(settingsAnswer(service, user, QStringLiteral("first-pass-1")).startsWith("valid:"));
    QCOMPARE(service.run({QStringLiteral("--disable-user"), uniqueEmail(QStringLiteral("nobody"))}),
             1);
}

void TestServiceSettings::addUserReadsThePasswordFromInput()
{
    ServiceRunner service;
    START_SERVICE(service);
    const QString user = uniqueEmail(QStringLiteral("Admin.Made"));
    QByteArray output;
    QCOMPARE(service.run({QStringLiteral("--add-user"), user, QStringLiteral("--level"),
                          QStringLiteral("2"), QStringLiteral("--cap"), QStringLiteral("40")},
                         "long enough+1\n", &output),
             0);
    const QByteArray answer =
        settingsAnswer(service, user.toLower(), QStringLiteral("long enough+1"));
    QVERIFY2(answer.startsWith("valid:"), answer.constData());
    QVERIFY(answer.contains("\nabout:\tlevel\t2\n"));
    QVERIFY(answer.contains("\nabout:\tcap\t40\n"));
    // The id printed is the id the answer gives.
    QVERIFY(answer.contains("\nabout:\tuserid\t" + output.split('\t').value(1).trimmed() + '\n'));

    QByteArray errors;
    QCOMPARE(service.run({QStringLiteral("--add-user"), user}, "another-one\n", nullptr, &errors),
             1);
    QCOMPARE(service.run({QStringLiteral("--add-user"), uniqueEmail(QStringLiteral("short"))},
                         "short\n", nullptr, &errors),
             1);
    QVERIFY(errors.contains("at least 8"));
}

void TestServiceSettings::passwordStaysOutOfLogAndDatabase()
{
    ServiceRunner service;
    START_SERVICE(service);
    const QString password = QStringLiteral("Zebra-Cactus-91");
    const QString user = uniqueEmail(QStringLiteral("private"));
    QCOMPARE(httpPost(service.url(QStringLiteral("/lexorn/signup.php")),
                      "email=" + QUrl::toPercentEncoding(user) + "&password=" + password.toUtf8())
                 .status,
             200);
    QVERIFY(settingsAnswer(service, user, password).startsWith("valid:"));
    QVERIFY(settingsAnswer(service, user, password + QLatin1Char('x')).startsWith("error:"));
    QVERIFY(settingsAnswer(service, user, password).startsWith("valid:"));
    service.stop();

    const QByteArray log = service.log();
    QVERIFY(!log.contains(password.toUtf8()));
    QVERIFY(!log.contains("password="));
    // One line per request: time, method, path without the query, status, milliseconds.
    const QRegularExpression line(
        QStringLiteral("(?m)^\\S+ GET /lexorn/settings\\.php 200 \\d+ms$"));
    int settingsLines = 0;
    for (auto it = line.globalMatch(QString::fromUtf8(log)); it.hasNext(); it.next())
        ++settingsLines;
    QCOMPARE(settingsLines, 3);
    QVERIFY(QString::fromUtf8(log).contains(
        QRegularExpression(QStringLiteral("(?m)^\\S+ POST /lexorn/signup\\.php 200 \\d+ms$"))));

    for (const QString &file : QDir(service.directory()).entryList(QDir::Files)) {
        QFile data(QDir(service.directory()).filePath(file));
        QVERIFY(data.open(QIODevice::ReadOnly));
        QVERIFY2(!data.readAll().contains(password.toUtf8()), qPrintable(file));
    }
}

QTEST_GUILESS_MAIN(TestServiceSettings)
#include "tst_servicesettings.moc"
