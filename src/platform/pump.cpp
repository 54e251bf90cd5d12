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
        [calls = std::exchange(held(), {})] {
            for (const auto &call : calls)
                RunBetweenTransfers(call);
        },
        Qt::QueuedConnection);
}

void RunBetweenTransfers(std::function<void()> call)
{
    if (transfers > 0)
        held().append(std::move(call));
    else
        call();
}

} // namespace platform
