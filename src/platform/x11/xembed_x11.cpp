#include "platform/x11/x11.h"

#include <QApplication>
#include <QHash>
#include <QMouseEvent>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>

namespace platform::x11 {
namespace {

// Qt's XEmbed tray icon is an internal widget of this class; a StatusNotifier icon has none.
bool isXEmbedIconWidget(const QObject *object)
{
    return object->inherits("QSystemTrayIconSys") ||
           object->objectName() == QLatin1String("QSystemTrayIconSys");
}

// On an XEmbed tray Qt reports the right button when it is pressed, and a quick second press
// only as a double click; the release, which opens a tray menu, is seen only as a mouse event on
// Qt's icon widget. The widget is matched to its icon when Qt reports a press on it.
class XEmbedMouseWatcher : public QObject
{
public:
    explicit XEmbedMouseWatcher(std::function<void(const QSystemTrayIcon *, bool)> rightButton)
        : rightButton(std::move(rightButton))
    {}

    QPointer<QObject> delivering; // the icon widget whose press Qt is delivering right now
    QHash<QObject *, QPointer<QSystemTrayIcon>> iconOf;

    void learn(QSystemTrayIcon *icon)
    {
        if (!delivering || iconOf.contains(delivering))
            return;
        QObject *widget = delivering;
        iconOf.insert(widget, icon);
        connect(widget, &QObject::destroyed, this, [this, widget] { iconOf.remove(widget); });
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
             type == QEvent::MouseButtonRelease) &&
            isXEmbedIconWidget(watched)) {
            const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
            if (type == QEvent::MouseButtonPress)
                delivering = watched;
            else if (button == Qt::RightButton)
                rightButton(iconOf.value(watched), type == QEvent::MouseButtonRelease);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const std::function<void(const QSystemTrayIcon *, bool)> rightButton;
};

XEmbedMouseWatcher *watcher = nullptr;

} // namespace

bool XEmbedTrayInUse()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), isXEmbedIconWidget);
}

void WatchXEmbedIcons(std::function<void(const QSystemTrayIcon *, bool)> rightButton)
{
    if (watcher)
        return;
    watcher = new XEmbedMouseWatcher(std::move(rightButton));
    watcher->setParent(qApp);
    qApp->installEventFilter(watcher);
}

void LearnXEmbedIcon(QSystemTrayIcon *icon)
{
    if (watcher)
        watcher->learn(icon);
}

} // namespace platform::x11
