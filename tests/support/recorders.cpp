#include "support/recorders.h"

#include "platform/process.h"
#include "platform/shell.h"

#include <QScopeGuard>

namespace {

struct ProcessEnded
{
    int status;
};

} // namespace

int endingOf(const std::function<void()> &call)
{
    // The code path that ends the program unwinds to here instead.
    platform::setProcessEnder([](int status) { throw ProcessEnded{status}; });
    const auto restore = qScopeGuard([] { platform::setProcessEnder({}); });
    try {
        call();
        return -1;
    } catch (const ProcessEnded &ended) {
        return ended.status;
    }
}

Recorder::Recorder()
{
    platform::setMessageBoxPresenter([this](const platform::MessageBoxRequest &request) {
        seen.append(
            QStringLiteral("%1 %2 %3").arg(request.title).arg(request.style).arg(request.prompt));
        if (onShow)
            onShow(request);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return (request.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes)
                                                           : int(platform::vbOK);
    });
    platform::setBrowserOpener([this](const QString &address) { opened.append(address); });
}

Recorder::~Recorder()
{
    platform::setMessageBoxPresenter({});
    platform::setBrowserOpener({});
}
