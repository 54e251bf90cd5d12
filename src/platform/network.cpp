#include "platform/network.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace platform {
namespace {

int timeoutMs = 30'000;

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
    request.setTransferTimeout(timeoutMs);
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

bool answeredWithPage(const QNetworkReply &reply)
{
    const auto error = reply.error();
    // Qt reports 4xx and 5xx statuses as content and server errors; a body that broke off or
    // timed out after the status line is a transport failure all the same.
    const bool statusError =
        (error >= QNetworkReply::ContentAccessDenied &&
         error <= QNetworkReply::UnknownContentError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return (error == QNetworkReply::NoError || statusError) &&
           reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

} // namespace platform
