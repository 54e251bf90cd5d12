#include "support/recorders.h"

#include "platform/process.h"
#include "platform/shell.h"

ProcessEndTrap::ProcessEndTrap()
{
    platform::setProcessEnder([](int status) { throw ProcessEnded{status}; });
}

ProcessEndTrap::~ProcessEndTrap()
{
    platform::setProcessEnder({});
}

int endingOf(const std::function<void()> &call)
{
    ProcessEndTrap trap;
    try {
        call();
        return -1;
    } catch (const ProcessEnded &ended) {
        return ended.status;
    }
}

MessageBoxRecorder::MessageBoxRecorder()
{
    platform::setMessageBoxPresenter([this](const platform::MessageBoxRequest &request) {
        shown.append(request);
        if (onShow)
            onShow(request);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return (request.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes)
                                                           : int(platform::vbOK);
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    platform::setMessageBoxPresenter({});
}

QStringList MessageBoxRecorder::prompts() const
{
    QStringList texts;
    for (const platform::MessageBoxRequest &box : shown)
        texts.append(box.prompt);
    return texts;
}

QStringList MessageBoxRecorder::seen() const
{
    QStringList boxes;
    for (const platform::MessageBoxRequest &box : shown)
        boxes.append(QStringLiteral("%1 %2 %3").arg(box.title).arg(box.style).arg(box.prompt));
    return boxes;
}

BrowserRecorder::BrowserRecorder()
{
    platform::setBrowserOpener([this](const QString &address) { opened.append(address); });
}

BrowserRecorder::~BrowserRecorder()
{
    platform::setBrowserOpener({});
}
