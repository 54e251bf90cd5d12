#include "accounts/throttle.h"

namespace {

// Keys are addresses and accounts anyone may make up: their number is bounded.
constexpr qsizetype EntryLimit = 100000;

} // namespace

Throttle::Throttle(int free, int maxDelaySeconds)
    : m_free(free), m_maxDelay(maxDelaySeconds * 1000LL)
{
    m_clock.start();
}

int Throttle::secondsToWait(const QString &key)
{
    const auto found = m_entries.constFind(key);
    if (found == m_entries.cend())
        return 0;
    const qint64 now = m_clock.elapsed();
    if (now - found->last >= m_maxDelay) {
        m_entries.erase(found);
        return 0;
    }
    return int((qMax<qint64>(found->until - now, 0) + 999) / 1000);
}

void Throttle::failed(const QString &key)
{
    const qint64 now = m_clock.elapsed();
    if (m_entries.size() >= EntryLimit && !m_entries.contains(key)) {
        m_entries.removeIf(
            [&](const auto &entry) { return now - entry.value().last >= m_maxDelay; });
        if (m_entries.size() >= EntryLimit)
            m_entries.clear();
    }
    Entry &entry = m_entries[key];
    if (now - entry.last >= m_maxDelay)
        entry.failures = 0;
    entry.last = now;
    const int over = ++entry.failures - m_free;
    if (over >= 0)
        entry.until = now + qMin(1000LL << qMin(over, 30), m_maxDelay);
}
