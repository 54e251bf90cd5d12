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
    static const QRegularExpression length("(?i)\r\ncontent-length: *(\\d+)\r\n");
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", port);
    socket.write(request);
    QByteArray answer;
    while (socket.waitForReadyRead(10000)) {
        answer += socket.readAll();
        const qsizetype headEnd = answer.indexOf("\r\n\r\n");
        const auto match = length.match(QString::fromLatin1(answer.first(headEnd + 2)));
        if (headEnd > 0 && match.hasMatch() &&
            answer.size() - headEnd - 4 >= match.captured(1).toLongLong())
            break;
    }
    return answer;
}
