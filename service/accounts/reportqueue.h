#pragma once

#include "accounts/storage.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

// Banner reports the database could not take when they came, kept in memory in their order and
// written once it takes them again: Lexorn sends a report once, whatever the answer.
class ReportQueue : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ReportQueue)

public:
    ReportQueue(Storage &storage, int limit, QObject *parent = nullptr);

    // False when the report could be neither written nor kept.
    bool add(const BannerReport &report);
    // Writes what is kept, oldest first; true when nothing is left.
    bool flush();
    // At exit: writes what it can, and says how many are lost.
    void close();

private:
    void failed(qint64 took);

    Storage &m_storage;
    int m_limit;
    std::deque<BannerReport> m_kept;
    QTimer m_retry;
    QElapsedTimer m_failedAt;
    qint64 m_pause = 0;
};
