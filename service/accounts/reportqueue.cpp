#include "accounts/reportqueue.h"

ReportQueue::ReportQueue(Storage &storage, int limit, QObject *parent)
    : QObject(parent), m_storage(storage), m_limit(limit)
{
    m_retry.setInterval(1000);
    connect(&m_retry, &QTimer::timeout, this, &ReportQueue::flush);
}

bool ReportQueue::add(const BannerReport &report)
{
    if (flush()) {
        QElapsedTimer took;
        took.start();
        if (m_storage.addReport(report))
            return true;
        failed(took.elapsed());
        qWarning("banner: %s; reports wait in memory until it is back (at most %d)",
                 qPrintable(m_storage.lastError()), m_limit);
    }
    if (qsizetype(m_kept.size()) >= m_limit) {
        qWarning("banner: a report is refused: %d wait for the database", m_limit);
        return false;
    }
    m_kept.push_back(report);
    if (!m_retry.isActive())
        m_retry.start();
    return true;
}

bool ReportQueue::flush()
{
    if (m_kept.empty())
        return true;
    if (m_failedAt.isValid() && !m_failedAt.hasExpired(m_pause))
        return false;
    const qsizetype kept = qsizetype(m_kept.size());
    QElapsedTimer took;
    took.start();
    while (!m_kept.empty() && m_storage.addReport(m_kept.front()))
        m_kept.pop_front();
    if (!m_kept.empty()) {
        failed(took.elapsed());
        return false;
    }
    m_retry.stop();
    m_failedAt.invalidate();
    qInfo("banner: the %lld reports kept in memory are written", qlonglong(kept));
    return true;
}

void ReportQueue::failed(qint64 took)
{
    // A locked SQLite file holds each try for its busy time-out: then try less often.
    m_pause = qMax<qint64>(1000, 4 * took);
    m_failedAt.start();
}

void ReportQueue::close()
{
    m_failedAt.invalidate();
    if (!flush())
        qWarning("banner: %lld reports kept in memory are lost: %s", qlonglong(m_kept.size()),
                 qPrintable(m_storage.lastError()));
}
