#include "platform/inet.h"

#include "platform/network.h"
#include "platform/pump.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>
#include <QUrl>

namespace platform {

Inet::Inet(QObject *parent) : QObject(parent) {}

TransferResult Inet::OpenURL(const QString &address, DataType)
{
    const TransferInProgress transferring;
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    prepareRequest(request, false);
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(network().get(request));
    limitDuration(reply.data());

    TransferResult result;
    bool tooLarge = false;
    QEventLoop loop;
    connect(reply.data(), &QNetworkReply::readyRead, &loop, [&] {
        result.body += reply->readAll();
        if (result.body.size() > MaxBodyBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    connect(reply.data(), &QNetworkReply::metaDataChanged, &loop, [&] {
        if (announcedTooLarge(*reply)) {
            tooLarge = true;
            reply->abort();
        }
    });
    connect(reply.data(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (tooLarge) {
        result.body.clear();
        result.error = tr("The answer is larger than %1 MiB.").arg(MaxBodyBytes / (1024 * 1024));
        return result;
    }
    if (timedOut(*reply)) {
        result.body.clear();
        result.error =
            tr("The transfer did not finish within %1 s.").arg(transferTimeout() / 1000.0);
        return result;
    }
    if (!answeredWithPage(*reply)) {
        result.body.clear();
        result.error = reply->errorString();
        return result;
    }
    result.body += reply->readAll();
    if (cutShort(*reply, result.body.size())) {
        result.error = tr("The connection broke off after %1 of %2 bytes.")
                           .arg(result.body.size())
                           .arg(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        result.body.clear();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace platform
