#pragma once

#include <QtGlobal>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace platform {

// No answer is read past this many bytes: memory stays bounded whatever a server sends.
inline constexpr qint64 MaxBodyBytes = 16 * 1024 * 1024;

// The one network access manager every transfer and web view shares.
QNetworkAccessManager &network();

// Redirects (at most 5, never from https to http) and the cache policy every request of the
// program uses.
void prepareRequest(QNetworkRequest &request, bool bypassCache);

// The transfer time-out in milliseconds; tests shorten it.
int transferTimeout();
void setTransferTimeout(int milliseconds);

// Ends the reply once the transfer time-out has passed since it began. Qt's own time-out only
// counts silence, so a server sending a byte now and then would hold a transfer for ever.
void limitDuration(QNetworkReply *reply);
// True when limitDuration ended the reply.
bool timedOut(const QNetworkReply &reply);

// True when the answer announces a body over the size cap: it is not worth reading.
bool announcedTooLarge(const QNetworkReply &reply);

// True when the body holds fewer bytes than the answer announced. Qt reports some connections
// reset in the middle of a body as finished without error; the length tells them apart.
bool cutShort(const QNetworkReply &reply, qint64 bodyBytes);

// True when a finished reply brought a whole HTTP answer, whatever its status: its body is a page,
// not a transport failure.
bool answeredWithPage(const QNetworkReply &reply);

} // namespace platform
