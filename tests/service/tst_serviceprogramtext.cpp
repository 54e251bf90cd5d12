// The program encodes each UTF-16 unit on its own, so a character beyond U+FFFF reaches the
// service as two three-byte sequences. Qt's URL decoding turned them, and noncharacters such as
// U+FFFF, into replacement characters: an emoji in a text to translate arrived as six U+FFFD.
// The service echoes a language code it does not know, from the query and from a form.
#include "support/httpcall.h"
#include "support/servicebackend.h"

namespace {

QByteArray get(const QByteArray &target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: lexorn\r\nConnection: close\r\n\r\n";
}

QByteArray post(const QByteArray &path, const QByteArray &form)
{
    return "POST " + path +
           " HTTP/1.1\r\nHost: lexorn\r\nConnection: close\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           QByteArray::number(form.size()) + "\r\n\r\n" + form;
}

} // namespace

class TestServiceProgramText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textBeyondTheBasicPlaneArrivesWhole_data();
    void textBeyondTheBasicPlaneArrivesWhole();

private:
    ServiceRunner service;
};

void TestServiceProgramText::initTestCase()
{
    START_SERVICE(service);
}

void TestServiceProgramText::textBeyondTheBasicPlaneArrivesWhole_data()
{
    QTest::addColumn<QByteArray>("sent");  // percent-encoded, as in the request
    QTest::addColumn<QByteArray>("shown"); // UTF-8, as in the page

    QTest::newRow("emoji as the program writes it")
        << QByteArray("%ED%A0%BD%ED%B8%80") << QByteArray("\xF0\x9F\x98\x80");
    QTest::newRow("emoji in standard UTF-8")
        << QByteArray("%F0%9F%98%80") << QByteArray("\xF0\x9F\x98\x80");
    QTest::newRow("noncharacter U+FFFF") << QByteArray("%EF%BF%BF") << QByteArray("\xEF\xBF\xBF");
    QTest::newRow("accent") << QByteArray("%C3%A9") << QByteArray("\xC3\xA9");
    QTest::newRow("half without its partner")
        << QByteArray("x%ED%A0%BDy") << QByteArray("x\xEF\xBF\xBDy");
    QTest::newRow("byte that is no UTF-8") << QByteArray("x%FFy") << QByteArray("x\xEF\xBF\xBDy");
}

void TestServiceProgramText::textBeyondTheBasicPlaneArrivesWhole()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, shown);
    const QByteArray code = "zz" + sent;
    const QByteArray expected = "zz" + shown;

    const QByteArray fromQuery =
        rawHttp(service.port(), get("/lexorn/translate.php?src=" + code + "&dest=es&text=a"));
    QCOMPARE(rawStatus(fromQuery), 404);
    QVERIFY2(fromQuery.contains("from " + expected + " to es"), fromQuery.constData());

    const QByteArray fromForm =
        rawHttp(service.port(),
                post("/lexorn/banner.php", "userid=1&src_lang=" + code + "&dest_lang=es&text=a"));
    QCOMPARE(rawStatus(fromForm), 200);
    QVERIFY2(fromForm.contains(expected + " to "), fromForm.constData());
}

QTEST_GUILESS_MAIN(TestServiceProgramText)
#include "tst_serviceprogramtext.moc"
