#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace platform {

// What OpenURL gives back: the body one unit per byte, never decoded, or a transport failure
// (refused, name not found, time-out, TLS error, body too large) that is not an empty body.
struct TransferResult
{
    bool ok = false;
    QByteArray body;
    QString error;
};

// The HTTP transfer component: one synchronous operation.
class Inet : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Inet)

public:
    enum DataType { icString = 0 };

    explicit Inet(QObject *parent = nullptr);

    // Waits until the whole body has arrived; windows repaint meanwhile, user input waits. For an
    // HTTP error status the body is the error page's.
    TransferResult OpenURL(const QString &address, DataType dataType = icString);
};

} // namespace platform
