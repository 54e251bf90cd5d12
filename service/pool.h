#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThreadPool>

#include <utility>

// Runs work on the global thread pool and then on context's thread with its result. Nothing the
// continuation captures is touched, copied or released on the pool's thread.
template <typename Work, typename Then> void runInPool(QObject *context, Work work, Then then)
{
    auto pending = new Then(std::move(then));
    QThreadPool::globalInstance()->start([context, work = std::move(work), pending]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            context,
            [pending, result = std::move(result)]() mutable {
                Then continuation = std::move(*pending);
                delete pending;
                continuation(std::move(result));
            },
            Qt::QueuedConnection);
    });
}
