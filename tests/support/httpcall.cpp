#include "support/httpcall.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace {

HttpResult wait(QNetworkReply *reply, int timeoutMilliseconds)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    HttpResult result;
    if (reply->isFinished()) {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    }
    reply->abort();
    reply->deleteLater();
    return result;
}

QNetworkAccessManager &manager()
{
    static QNetworkAccessManager instance;
    return instance;
}

} // namespace

HttpResult httpGet(const QUrl &url, int timeoutMilliseconds)
{
    return wait(manager().get(QNetworkRequest(url)), timeoutMilliseconds);
}

HttpResult httpPost(const QUrl &url, const QByteArray &formBody, int timeoutMilliseconds)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    return wait(manager().post(request, formBody), timeoutMilliseconds);
}

QByteArray rawHttp(quint16 port, const QByteArray &request, int timeoutMilliseconds)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(timeoutMilliseconds))
        return {};
    socket.write(request);
    QByteArray answer;
    const QDeadlineTimer deadline(timeoutMilliseconds);
    static const QRegularExpression length(QStringLiteral("(?i)\r\ncontent-length: *(\\d+)"));
    while (!deadline.hasExpired()) {
        if (socket.bytesToWrite() > 0)
            socket.waitForBytesWritten(50);
        if (socket.waitForReadyRead(50))
            answer += socket.readAll();
        const qsizetype headEnd = answer.indexOf("\r\n\r\n");
        if (headEnd >= 0) {
            const auto match = length.match(QString::fromLatin1(answer.left(headEnd)));
            if (match.hasMatch() && answer.size() - headEnd - 4 >= match.captured(1).toLongLong())
                break;
        }
        if (socket.state() != QAbstractSocket::ConnectedState) {
            answer += socket.readAll();
            break;
        }
    }
    return answer;
}

int rawStatus(const QByteArray &answer)
{
    if (!answer.startsWith("HTTP/1."))
        return 0;
    return answer.mid(9, 3).toInt();
}
