#include "window/frmtranslatesplash.h"

#include "platform/dhtmledit.h"
#include "platform/webbrowser.h"
#include "translation/modtranslate.h"
#include "window/frmtranslatetext.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <functional>

using namespace platform;

namespace {

// Calls back when the window it watches is exposed.
class ExposeWatch : public QObject
{
public:
    ExposeWatch(QWindow *window, std::function<void()> exposed)
        : window(window), exposed(std::move(exposed))
    {
        window->installEventFilter(this);
    }
    ~ExposeWatch() override { window->removeEventFilter(this); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && window->isExposed())
            exposed();
        return false;
    }

private:
    QWindow *window;
    std::function<void()> exposed;
};

} // namespace

frmTranslateSplash::frmTranslateSplash()
{
    setupUi(this);
    // A fixed tool window: narrow title bar, no buttons, not in the taskbar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(TwipsToPixels(4680), TwipsToPixels(3195));
    connect(webTranslating, &WebBrowser::NavigateError, this,
            &frmTranslateSplash::webTranslating_NavigateError);
}

void frmTranslateSplash::Translate(frmTranslateText &window, const Provider &provider)
{
    owner = &window;
    this->provider = provider;
    exec();
}

void frmTranslateSplash::showEvent(QShowEvent *event)
{
    if (!event->spontaneous() && owner) {
        move(owner->frameGeometry().center() - frameGeometry().center() + pos());
        // Not a child of the translation window, which may be closed and made anew while this
        // window keeps its page; the window manager still keeps it above its owner.
        if (windowHandle() && owner->windowHandle())
            windowHandle()->setTransientParent(owner->windowHandle());
    }
    Form::showEvent(event);
    // A window hidden from its own activation and shown again may get no second activation
    // event, so each show asks for one and starts its translation from the event loop itself.
    activateWindow();
    if (!activationDue) {
        activationDue = true;
        QTimer::singleShot(0, this, &frmTranslateSplash::Form_Activate);
    }
}

void frmTranslateSplash::Form_Activate()
{
    activationDue = false;
    // The request and the marker search let events through; a second activation waits its turn.
    if (translating || !isVisible())
        return;
    translating = true;

    const modTranslate::Translation translation =
        modTranslate::ProviderTranslate(provider, *owner->netHTML, SourceText);
    SourceText = translation.sent;

    QString document = ResultTemplate;
    document.replace(QStringLiteral("%text%"), translation.result);
    owner->dhtTo->setDocumentHTML(document);

    translating = false;
    waitUntilOnScreen();
    hide();
}

void frmTranslateSplash::waitUntilOnScreen()
{
    // A window hidden before the window manager has put it on the screen is activated by Qt once
    // it gets there, hidden as it is, and the keyboard stays with it: the translation window
    // would take no typing. A quick answer waits for the window to show, a moment at most.
    QWindow *handle = windowHandle();
    if (!handle || handle->isExposed())
        return;
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    limit.start(250);
    ExposeWatch watch(handle, [&wait] { wait.quit(); });
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void frmTranslateSplash::webTranslating_NavigateError(QObject *, const QString &, const QString &,
                                                      int, bool &)
{
    webTranslating->SetVisible(false);
}

void frmTranslateSplash::reject() {}

void frmTranslateSplash::closeEvent(QCloseEvent *event)
{
    // The window manager's close (Alt+F4) would end the modal show in mid-translation.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    Form::closeEvent(event);
}
