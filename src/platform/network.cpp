#include "platform/network.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {
namespace {

int timeoutMs = 30'000;
constexpr char TimedOutProperty[] = "lexornTimedOut";

} // namespace

QNetworkAccessManager &network()
{
    static QNetworkAccessManager *manager = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return new QNetworkAccessManager(QCoreApplication::instance());
    }();
    return *manager;
}

void prepareRequest(QNetworkRequest &request, bool bypassCache)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    if (bypassCache) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }
}

int transferTimeout()
{
    return timeoutMs;
}

void setTransferTimeout(int milliseconds)
{
    timeoutMs = milliseconds;
}

void limitDuration(QNetworkReply *reply)
{
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty(TimedOutProperty, true);
        reply->abort();
    });
    deadline->start(timeoutMs);
}

bool timedOut(const QNetworkReply &reply)
{
    return reply.property(TimedOutProperty).toBool();
}

bool announcedTooLarge(const QNetworkReply &reply)
{
    const QVariant announced = reply.header(QNetworkRequest::ContentLengthHeader);
    return announced.isValid() && announced.toLongLong() > MaxBodyBytes;
}

bool cutShort(const QNetworkReply &reply, qint64 bodyBytes)
{
    // A compressed answer announces the length before Qt unpacks it.
    const QByteArray coding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    if (!coding.isEmpty() && coding != "identity")
        return false;
    const QVariant announced = reply.header(QNetworkRequest::ContentLengthHeader);
    return announced.isValid() && bodyBytes < announced.toLongLong();
}

bool answeredWithPage(const QNetworkReply &reply)
{
    const auto error = reply.error();
    // Qt reports 4xx and 5xx statuses as content and server errors (400 as an invalid
    // operation); a body that broke off or timed out after the status line is a transport
    // failure all the same.
    const bool statusError =
        (error >= QNetworkReply::ContentAccessDenied &&
         error <= QNetworkReply::UnknownContentError) ||
        error == QNetworkReply::ProtocolInvalidOperationError ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return (error == QNetworkReply::NoError || statusError) &&
           reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

} // namespace platform
