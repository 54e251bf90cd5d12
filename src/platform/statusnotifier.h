#pragma once

#include <functional>

class QObject;

namespace platform {

// Qt picks the kind of tray once, with its first icon: a StatusNotifier host if one is registered
// by then, XEmbed otherwise. Off X11 only a StatusNotifier host shows icons, so an icon made
// before the panel is up would never appear. Runs make now when an icon made now can show, or
// else once a StatusNotifier host registers, unless context is gone by then.
void WhenTrayCanShow(QObject *context, std::function<void()> make);

} // namespace platform
