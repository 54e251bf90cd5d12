#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

// Back-off for whoever keeps getting something wrong: after `free` failures a key waits 1 s, and
// twice as long after each further one, up to maxDelaySeconds. A key that has not failed for
// that long is forgotten.
class Throttle
{
public:
    Throttle(int free, int maxDelaySeconds);

    // 0: it may go ahead.
    int secondsToWait(const QString &key);
    void failed(const QString &key);
    void forget(const QString &key) { m_entries.remove(key); }

private:
    struct Entry
    {
        int failures = 0;
        qint64 until = 0; // milliseconds on m_clock
        qint64 last = 0;
    };

    QElapsedTimer m_clock;
    int m_free;
    qint64 m_maxDelay;
    QHash<QString, Entry> m_entries;
};
