#!/usr/bin/python3
# The tray icon, its menu, the hot key, the splash screen, About and Exit of the real program,
# signed in from the settings store.
import re
import time

from Xlib import X, XK, display

from scenario import run


def open_menu(desktop, key, meanwhile=lambda: None):
    # Once the menu shows, Lexorn has handled every input given before the click. A key given
    # before the menu grabbed the keyboard is lost: given again until the menu takes one.
    desktop.click(*desktop.tray_icon()[1:], 3)
    desktop.wait("the tray menu", desktop.popup_menu)
    meanwhile()
    desktop.wait(f"the menu to take {key}", lambda: desktop.key(key) or not desktop.popup_menu())


def shown(desktop, title="Translate Text"):
    return desktop.windows("--name", f"^{re.escape(title)}$")


def above(desktop, upper, lower):
    stacking = desktop.output("xprop", "-root", "_NET_CLIENT_LIST_STACKING")
    order = [int(window, 16) for window in re.findall(r"0x[0-9a-f]+", stacking)]
    return lower in order[:order.index(upper)]


def shell(desktop):
    desktop.start_service()
    lexorn = desktop.start_lexorn(True)
    splash = desktop.check("splash and tray icon", lambda: desktop.tray_icon() and desktop.splash())
    x, y, width, height = desktop.client_area(splash)
    desktop.click(x + width // 2, y + height // 2)
    open_menu(desktop, "Escape", lambda: desktop.check(
        "a click leaves the splash screen open", desktop.splash, splash, 0))
    desktop.key("space")
    open_menu(desktop, "Escape", lambda: desktop.check("a key closes it", desktop.splash, None, 0))

    desktop.xdotool("mousedown", "3")
    time.sleep(0.7)
    desktop.check("the right button pressed on the icon opens nothing", desktop.popup_menu, None, 0)
    desktop.xdotool("mouseup", "3")
    desktop.check("released, the tray menu", desktop.popup_menu)
    desktop.screenshot("tray-menu")
    desktop.wait("the menu to take a", lambda: desktop.key("a") or not desktop.popup_menu())
    about = desktop.window("About Lexorn")
    desktop.check("About in its place", lambda: desktop.client_area(about)[:2], (156, 129))
    desktop.screenshot("about")

    for away in ("alt+o", "its close box"):
        desktop.key("super+t")
        window = desktop.check("Super+T shows Translate Text", lambda: shown(desktop))[0]
        desktop.activate(window)
        x, y, w, _ = desktop.client_area(window)
        _, right, top, _ = map(int, re.findall(r"\d+", desktop.output(
            "xprop", "-id", str(window), "_NET_FRAME_EXTENTS")))  # the close box ends the title
        desktop.key(away) if away == "alt+o" else desktop.click(x + w + right - top // 2,
                                                                y - top // 2)
        desktop.check(f"{away} takes it away", lambda: shown(desktop), [])
    # Another program has the focus from here on, so that only the grab can bring Super+T.
    cover = desktop.launch(["xmessage", "-geometry", "1000x700+20+40", "in front"])
    xmessage = desktop.wait("xmessage", lambda: desktop.windows("--class", "^Xmessage$"))[0]
    desktop.activate(xmessage)
    desktop.xdotool("key", "Num_Lock", "super+t", "Num_Lock")
    window = desktop.check("Super+T with NumLock on", lambda: shown(desktop))[0]
    desktop.activate(xmessage)
    desktop.check("another program's window covers it", lambda: above(desktop, xmessage, window))
    desktop.key("super+t")
    desktop.check("Super+T brings it up", lambda: above(desktop, window, xmessage)
                  and desktop.output("xdotool", "getactivewindow") == f"{window}\n")
    cover.terminate()
    open_menu(desktop, "a")
    time.sleep(0.7)
    desktop.check("About again: that one, active", lambda: shown(desktop, "About Lexorn")
                  + [int(desktop.output("xdotool", "getactivewindow"))], [about, about])

    open_menu(desktop, "x")
    desktop.activate(desktop.window("Quit?"))
    desktop.key("Return")
    desktop.check("Exit, Yes: Lexorn ends with status 0, its icon gone",
                  lambda: (lexorn.poll(), desktop.tray_icon()), (0, None))

    # Another client holds Super+T: Lexorn goes without it, and its icon still works.
    rival = display.Display(desktop.display)
    t = rival.keysym_to_keycode(XK.string_to_keysym("t"))
    for locks in (0, X.Mod2Mask, X.LockMask, X.Mod2Mask | X.LockMask):
        rival.screen().root.grab_key(t, X.Mod4Mask | locks, True, X.GrabModeAsync, X.GrabModeAsync)
    rival.sync()
    desktop.start_lexorn(True)
    x, y, width, height = desktop.client_area(desktop.check("the splash screen", desktop.splash))
    desktop.check("492x283 in the middle of the screen", (width, height) == (492, 283) and abs(
        2 * x + width - 1280) <= 4 and abs(2 * y + height - 800) <= 4, True, 0)
    desktop.screenshot("splash")
    desktop.check("it closes on its own", desktop.splash, None)
    desktop.click(*desktop.check("the tray icon", desktop.tray_icon)[1:])
    desktop.key("super+t")
    time.sleep(1.5)
    desktop.check("a single click on the icon or Super+T shows nothing", shown(desktop), [], 0)
    desktop.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    desktop.check("a double click shows Translate Text", lambda: shown(desktop))


if __name__ == "__main__":
    run(shell)
