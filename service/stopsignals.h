#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT as a Qt signal. The handler only writes the signal's number to a socket
// pair, the one thing it may safely do; the event loop reads it.
class StopSignals : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(StopSignals)

public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void received(int signal);

private:
    QSocketNotifier *m_notifier = nullptr;
};
