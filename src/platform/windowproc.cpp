#include "platform/windowproc.h"

#include "platform/form.h"
#include "platform/frame.h"

#include <QHash>
#include <QWidget>

namespace platform {
namespace {

QHash<HWND, WNDPROC> &procedures()
{
    static QHash<HWND, WNDPROC> table;
    return table;
}

} // namespace

LRESULT DefWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE) {
        if (auto *form = dynamic_cast<FormBase *>(window))
            form->deliverMouseMove(LoWord(lParam));
    }
    return 0;
}

WNDPROC SetWindowLong(HWND window, int index, WNDPROC procedure)
{
    Q_ASSERT(index == GWL_WNDPROC);
    Q_UNUSED(index);
    auto &table = procedures();
    if (!table.contains(window))
        QObject::connect(window, &QObject::destroyed, [window] { procedures().remove(window); });
    WNDPROC previous = table.value(window, WNDPROC(&DefWindowProc));
    table.insert(window, std::move(procedure));
    return previous;
}

LRESULT CallWindowProc(const WNDPROC &procedure, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam)
{
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto found = procedures().constFind(window);
    if (found == procedures().cend())
        return DefWindowProc(window, message, wParam, lParam);
    const WNDPROC current = *found; // the procedure may replace itself while it runs
    return current(window, message, wParam, lParam);
}

void RefreshMinimumSize(HWND window)
{
    MINMAXINFO info;
    info.ptMinTrackSize = {0, 0};
    SendMessage(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    // The tracking size is the outer one; Qt's minimum is the client's.
    const QSize outer(info.ptMinTrackSize.x, info.ptMinTrackSize.y);
    window->setMinimumSize(outer.shrunkBy(FrameExtents(window)).expandedTo(QSize(0, 0)));
}

} // namespace platform
