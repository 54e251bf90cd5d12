#include "http/exchange.h"
#include "support/testmain.h"

// Which client a request comes from, behind trusted proxies (10.0.0.1 and 10.0.0.2) or not.
class TestForwarded : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void client_data()
    {
        columns<QString, QByteArrayList, QString>({"peer", "forwarded", "client"});
        dataRow("untrusted peer", QString("192.0.2.9"), QByteArrayList{"203.0.113.5"},
                QString("192.0.2.9"));
        dataRow("through a proxy", QString("10.0.0.1"), QByteArrayList{"203.0.113.5"},
                QString("203.0.113.5"));
        dataRow("without a header", QString("10.0.0.1"), QByteArrayList{}, QString("10.0.0.1"));
        // What the client itself wrote before the proxy's entry is not believed.
        dataRow("made-up entries", QString("10.0.0.1"), QByteArrayList{"1.1.1.1, 203.0.113.5"},
                QString("203.0.113.5"));
        dataRow("two proxies", QString("10.0.0.1"),
                QByteArrayList{"1.1.1.1", "203.0.113.5 ,10.0.0.2"}, QString("203.0.113.5"));
        dataRow("not an address", QString("10.0.0.1"), QByteArrayList{"1.1.1.1, bogus"},
                QString("10.0.0.1"));
    }

    void client()
    {
        const auto [peer, forwarded, client] =
            fetch<QString, QByteArrayList, QString>("peer", "forwarded", "client");
        QList<std::pair<QByteArray, QByteArray>> headers = {{"Host", "a"}};
        for (const QByteArray &value : forwarded)
            headers.append({"X-Forwarded-For", value});
        QCOMPARE(clientAddress(QHostAddress(peer), headers,
                               {QHostAddress("10.0.0.1"), QHostAddress("10.0.0.2")}),
                 QHostAddress(client));
    }
};

LEXORN_TEST_MAIN(TestForwarded)
#include "tst_forwarded.moc"
