#include "support/httpcall.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <memory>

QByteArray httpGet(const QUrl &url)
{
    static QNetworkAccessManager manager;
    const std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
    const bool finished = QTest::qWaitFor([&reply] { return reply->isFinished(); }, 30000);
    return finished ? reply->readAll() : QByteArray();
}

QByteArray rawHttp(quint16 port, const QByteArray &request)
{
    static const QRegularExpression head(
        "(?i)^(?:[^\r]+\r\n)+?content-length: *(\\d+)\r\n(?:[^\r]+\r\n)*\r\n");
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", port);
    socket.write(request);
    QByteArray answer;
    while (socket.waitForReadyRead(10000)) {
        const auto match = head.match(QString::fromLatin1(answer += socket.readAll()));
        if (match.hasMatch() && answer.size() - match.capturedEnd() >= match.captured(1).toInt())
            break;
    }
    return answer;
}
