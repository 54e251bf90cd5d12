#include "platform/pump.h"

#include <QCoreApplication>
#include <QList>

#include <utility>

namespace platform {
namespace {

int transfers = 0;

QList<std::function<void()>> &held()
{
    static QList<std::function<void()>> calls;
    return calls;
}

} // namespace

void DoEvents()
{
    QCoreApplication::processEvents();
}

TransferInProgress::TransferInProgress()
{
    ++transfers;
}

TransferInProgress::~TransferInProgress()
{
    if (--transfers > 0 || held().isEmpty())
        return;
    // Posted: the transfer's caller takes its result first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            for (const auto &call : std::exchange(held(), {}))
                RunBetweenTransfers(call);
        },
        Qt::QueuedConnection);
}

void RunBetweenTransfers(std::function<void()> call)
{
    // Until the held calls have run, a later one waits behind them.
    if (transfers > 0 || !held().isEmpty())
        held().append(std::move(call));
    else
        call();
}

void PostBetweenTransfers(std::function<void()> call)
{
    // Posted first: the caller may be inside Qt's event delivery, and the call may run a modal
    // loop.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [call = std::move(call)] { RunBetweenTransfers(call); },
        Qt::QueuedConnection);
}

} // namespace platform
