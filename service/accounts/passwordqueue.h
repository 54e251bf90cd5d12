#pragma once

#include <QHash>
#include <QHostAddress>
#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <memory>
#include <utility>

// Runs work on the global thread pool and then on context's thread with its result. Nothing the
// continuation captures is touched, copied or released on the pool's thread: the pool only moves
// its one reference on, and a continuation that never runs (the service stopping meanwhile) is
// released with its discarded call.
template <typename Work, typename Then> void runInPool(QObject *context, Work work, Then then)
{
    auto pending = std::make_shared<Then>(std::move(then));
    QThreadPool::globalInstance()->start(
        [context, work = std::move(work), pending = std::move(pending)]() mutable {
            auto result = work();
            QMetaObject::invokeMethod(
                context,
                [pending = std::move(pending), result = std::move(result)]() mutable {
                    (*pending)(std::move(result));
                },
                Qt::QueuedConnection);
        });
}

// Password derivations under way, bounded in all and per client: beyond that a request is turned
// away at once instead of waiting behind work that may all be one guesser's.
class PasswordQueue
{
    Q_DISABLE_COPY(PasswordQueue)

public:
    PasswordQueue(int limit, int perClient) : m_limit(limit), m_perClient(perClient) {}

    // False when full; then neither runs.
    template <typename Work, typename Then>
    bool run(QObject *context, const QHostAddress &client, Work work, Then then)
    {
        int &mine = m_pending[client];
        if (m_all >= m_limit || mine >= m_perClient) {
            if (mine == 0)
                m_pending.remove(client);
            return false;
        }
        ++mine;
        ++m_all;
        runInPool(context, std::move(work),
                  [this, client, then = std::move(then)](auto result) mutable {
                      --m_all;
                      if (--m_pending[client] == 0)
                          m_pending.remove(client);
                      then(std::move(result));
                  });
        return true;
    }

private:
    int m_limit;
    int m_perClient;
    int m_all = 0;
    QHash<QHostAddress, int> m_pending;
};
