#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

class QNetworkReply;
class QNetworkRequest;

namespace platform {

// The web browser view: loads pages asynchronously through the shared network access manager and
// shows them, with their images. It runs no scripts; a link the user follows opens in the user's
// own web browser.
class WebBrowser : public QTextBrowser
{
    Q_OBJECT
    Q_DISABLE_COPY(WebBrowser)

public:
    // Navigation flags the program uses.
    enum BrowserNavConstants { navNoReadFromCache = 4, navNoWriteToCache = 8 };

    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    // Returns at once and cancels the navigation under way. A GET, or a POST of postData when it
    // is not empty; headers are "Name: value" lines ending in CR LF. The target frame is not used:
    // a page has no frames here.
    void Navigate(const QString &address, int flags = 0, const QString &targetFrame = {},
                  const QByteArray &postData = QByteArray(), const QString &headers = {});
    void Navigate2(const QString &address, int flags = 0, const QString &targetFrame = {},
                   const QByteArray &postData = QByteArray(), const QString &headers = {});

    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }

    QVariant loadResource(int type, const QUrl &name) override;

Q_SIGNALS:
    // The page could not be loaded. StatusCode is the HTTP status when the server answered, else
    // a negative transfer error. Cancel is the handler's to set; nothing reads it.
    void NavigateError(QObject *pDisp, const QString &URL, const QString &Frame, int StatusCode,
                       bool &Cancel);
    // The page is shown (its images may still be arriving).
    void DocumentComplete(const QString &URL);
    // Shown or hidden: the owning window's minimum size may have changed.
    void VisibleChanged(bool visible);

protected:
    bool event(QEvent *event) override;

private:
    void cancelNavigation();
    void pageFinished(QNetworkReply *reply);
    void imageFinished(QNetworkReply *reply, const QUrl &address);
    void fetchImage(const QUrl &address);
    void showPage(const QByteArray &body, const QByteArray &contentType, const QUrl &address);
    void raiseError(const QString &address, int statusCode);
    void followLink(const QUrl &link);

    QPointer<QNetworkReply> page;
    QByteArray pageBody;
    bool pageTooLarge = false;
    QString pageAddress;
    QString pageFrame;
    int pageFlags = 0;
    QHash<QUrl, QPointer<QNetworkReply>> imageFetches;
    QHash<QUrl, QVariant> images;
    qint64 imageBytes = 0;  // received for this page's images so far
    qint64 imageMemory = 0; // held by this page's decoded images
};

} // namespace platform
