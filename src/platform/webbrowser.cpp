#include "platform/webbrowser.h"

#include "platform/network.h"
#include "platform/shell.h"

#include <QBuffer>
#include <QEvent>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTextDocument>

#include <memory>
#include <utility>

namespace platform {
namespace {

// What the decoded pictures of one page may hold together.
constexpr qint64 MaxImageMemory = 4 * MaxBodyBytes;

bool isWebAddress(const QUrl &address)
{
    return address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https");
}

QByteArray charsetOf(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts.at(i).trimmed();
        if (parameter.left(8).toLower() == "charset=") {
            QByteArray value = parameter.mid(8).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

QString decodePage(const QByteArray &body, const QByteArray &contentType, bool html)
{
    const QByteArray charset = charsetOf(contentType);
    QStringDecoder decoder = !charset.isEmpty() ? QStringDecoder(charset.constData())
                             : html             ? QStringDecoder::decoderForHtml(body)
                                                : QStringDecoder(QStringDecoder::Utf8);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(body);
}

void discard(QNetworkReply *reply, QObject *receiver)
{
    reply->disconnect(receiver);
    reply->abort();
    reply->deleteLater();
}

} // namespace

WebBrowser::WebBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &WebBrowser::followLink);
}

WebBrowser::~WebBrowser()
{
    cancelNavigation();
}

void WebBrowser::Navigate(const QString &address, int flags, const QString &targetFrame,
                          const QByteArray &postData, const QString &headers)
{
    cancelNavigation();
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    prepareRequest(request, false);
    if (flags & navNoReadFromCache) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        // Caches between here and the server as well.
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    if (flags & navNoWriteToCache)
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    const QStringList lines = headers.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0)
            request.setRawHeader(line.left(colon).trimmed().toUtf8(),
                                 line.mid(colon + 1).trimmed().toUtf8());
    }

    pageAddress = address;
    pageFrame = targetFrame;
    pageFlags = flags;
    QNetworkReply *reply =
        postData.isEmpty() ? network().get(request) : network().post(request, postData);
    page = reply;
    limitDuration(reply);
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply != page || pageTooLarge)
            return;
        pageBody += reply->readAll();
        if (pageBody.size() > MaxBodyBytes) {
            pageTooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply == page && announcedTooLarge(*reply)) {
            pageTooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { pageFinished(reply); });
}

void WebBrowser::Navigate2(const QString &address, int flags, const QString &targetFrame,
                           const QByteArray &postData, const QString &headers)
{
    Navigate(address, flags, targetFrame, postData, headers);
}

void WebBrowser::cancelNavigation()
{
    if (page)
        discard(page, this);
    page = nullptr;
    for (const QPointer<QNetworkReply> &reply : std::as_const(imageFetches)) {
        if (reply)
            discard(reply, this);
    }
    imageFetches.clear();
    images.clear();
    imageBytes = 0;
    imageMemory = 0;
    pageBody.clear();
    pageTooLarge = false;
}

void WebBrowser::pageFinished(QNetworkReply *reply)
{
    if (reply != page)
        return;
    page = nullptr;
    reply->deleteLater();
    // The handlers below may navigate again, so nothing of this navigation is read after them.
    const QString address = pageAddress;
    QByteArray body = std::exchange(pageBody, {});
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (pageTooLarge || !answeredWithPage(*reply)) {
        pageTooLarge = false;
        raiseError(address, status.isValid() ? status.toInt() : -reply->error());
        return;
    }
    body += reply->readAll();
    if (cutShort(*reply, body.size())) {
        raiseError(address, -int(QNetworkReply::RemoteHostClosedError));
        return;
    }
    showPage(body, reply->rawHeader("Content-Type"), reply->url());
    if (status.toInt() >= 400)
        raiseError(address, status.toInt());
    else
        Q_EMIT DocumentComplete(reply->url().toString());
}

void WebBrowser::showPage(const QByteArray &body, const QByteArray &contentType,
                          const QUrl &address)
{
    const QByteArray mimeType = contentType.split(';').first().trimmed().toLower();
    const bool plain = mimeType == "text/plain";
    const QString text = decodePage(body, contentType, !plain);
    document()->setBaseUrl(address);
    if (plain)
        setPlainText(text);
    else
        setHtml(text);
}

void WebBrowser::raiseError(const QString &address, int statusCode)
{
    bool cancel = false;
    Q_EMIT NavigateError(this, address, pageFrame, statusCode, cancel);
}

QVariant WebBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl address = document()->baseUrl().resolved(name);
    if (type == QTextDocument::ImageResource) {
        const auto found = images.constFind(address);
        if (found != images.cend())
            return *found;
        if (address.scheme() == QLatin1String("data"))
            return {}; // the document decodes it
        if (isWebAddress(address)) {
            fetchImage(address);
            return {};
        }
    }
    // Pages reach neither local files nor the program's own resources.
    return QVariant(QByteArray());
}

void WebBrowser::fetchImage(const QUrl &address)
{
    if (imageFetches.contains(address))
        return;
    QNetworkRequest request(address);
    prepareRequest(request, (pageFlags & navNoReadFromCache) != 0);
    QNetworkReply *reply = network().get(request);
    imageFetches.insert(address, reply);
    limitDuration(reply);
    // The images of a page share one size cap: however many it names, they hold no more.
    auto counted = std::make_shared<qint64>(0);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply, counted](qint64 received, qint64) {
                imageBytes += received - *counted;
                *counted = received;
                if (imageBytes > MaxBodyBytes)
                    reply->abort();
            });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, address] { imageFinished(reply, address); });
}

void WebBrowser::imageFinished(QNetworkReply *reply, const QUrl &address)
{
    reply->deleteLater();
    if (!answeredWithPage(*reply) ||
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400)
        return;
    QBuffer file;
    file.setData(reply->readAll());
    file.open(QIODevice::ReadOnly);
    QImageReader reader(&file);
    // A small file can unpack to a large picture: the pictures of a page share one budget, and
    // one that would exceed it is not decoded at all.
    const QSize size = reader.size();
    if (size.isValid() && imageMemory + 4 * qint64(size.width()) * size.height() > MaxImageMemory)
        return;
    QImage image;
    if (!reader.read(&image) || imageMemory + image.sizeInBytes() > MaxImageMemory)
        return;
    imageMemory += image.sizeInBytes();
    images.insert(address, image);
    document()->addResource(QTextDocument::ImageResource, address, image);
    // Lay the page out again now that the image has its size.
    document()->markContentsDirty(0, document()->characterCount());
    viewport()->update();
}

void WebBrowser::followLink(const QUrl &link)
{
    if (link.isRelative() && link.path().isEmpty() && link.query().isEmpty() &&
        link.hasFragment()) {
        scrollToAnchor(link.fragment());
        return;
    }
    // ShellExecute lets only the web and mail through.
    ShellExecute(document()->baseUrl().resolved(link).toString());
}

bool WebBrowser::event(QEvent *event)
{
    const bool handled = QTextBrowser::event(event);
    if (event->type() == QEvent::ShowToParent)
        Q_EMIT VisibleChanged(true);
    else if (event->type() == QEvent::HideToParent)
        Q_EMIT VisibleChanged(false);
    return handled;
}

} // namespace platform
