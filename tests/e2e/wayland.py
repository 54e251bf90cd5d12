#!/usr/bin/python3
# Lexorn on Wayland compositors. Super+T comes through the desktop's GlobalShortcuts portal, here a
# fake one on the scenario's bus: on weston it is bound and shows the window, on sway it is
# refused. On sway a StatusNotifier host that starts after Lexorn, waybar, gets Lexorn's item.
# What the windows show is read through the accessibility bus.
import time

from scenario import Scenario, desktops, run


class Wayland(Scenario, desktops.Wayland):
    pass


def wayland(desktop):
    portal, window = desktop.portal, lambda: desktop.find("filler", "Translate Text")
    weston = desktop.weston()
    lexorn = desktop.start_lexorn(True)
    desktop.check("weston: the shortcut bound through the portal", lambda: portal.bound,
                  [("translate-text", "Translate Text", "LOGO+t")])
    portal.activate("another")
    time.sleep(1)
    desktop.check("another shortcut's Activated shows nothing", window(), None, 0)
    portal.activate()
    desktop.check("Activated for Translate Text shows it", window)
    desktop.check("the splash screen gone", lambda: desktop.find("label", "Lexorn"), None)
    desktop.screenshot("wayland-weston")
    for process in (lexorn, weston):
        process.terminate()
        process.wait(10)

    portal.answer = 1  # the user said no
    desktop.sway()
    lexorn = desktop.start_lexorn(True)
    desktop.check("sway: a refused shortcut said once", lambda: desktop.said(
        "lexorn.hotkey: The desktop did not bind LOGO+t: declined"), 1)
    desktop.check("Lexorn runs on, no message box, no item without a tray",
                  lambda: (lexorn.poll(), desktop.find("alert"), desktop.items()),
                  (None, None, []), 0)
    waybar = desktop.waybar()
    item = desktop.check("waybar, started after Lexorn, gets its item", desktop.items)[0]
    name, path = item.split("/", 1)
    portal.call(name, "/" + path, "org.kde.StatusNotifierItem", "Activate", "(ii)", 0, 0)
    desktop.check("the item's Activate shows Translate Text", window)
    waybar.terminate()
    desktop.check("waybar gone, its watcher gone", desktop.items, [])
    desktop.launch(waybar.args)
    desktop.check("waybar again: the item again", desktop.items)


if __name__ == "__main__":
    run(wayland, Wayland)
