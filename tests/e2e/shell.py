#!/usr/bin/python3
# The tray icon, its menu, the hot key, the splash screen, About and Exit of the real program,
# signed in from the settings store.
import time

from Xlib import X, XK, display

from scenario import run


def shell(desktop):
    lexorn = desktop.start_lexorn(True)
    desktop.check("splash and tray icon", lambda: desktop.tray_icon() and desktop.splash())
    desktop.tray_menu("a", meanwhile=lambda: desktop.screenshot("tray-menu"))
    about = desktop.window("About Lexorn")
    desktop.check("About in its place", lambda: desktop.client_area(about)[:2], (156, 129))
    desktop.screenshot("about")

    # Another program has the focus from here on, so that only the grab can bring Super+T.
    cover = desktop.launch(["xmessage", "-geometry", "1000x700+20+40", "in front"])
    desktop.activate(xmessage := desktop.window("xmessage"))
    desktop.xdotool("key", "Num_Lock", "super+t", "Num_Lock")
    window = desktop.check("Super+T with NumLock on", desktop.shown)[0]
    desktop.activate(xmessage)
    desktop.check("another program's window covers it", lambda: desktop.above(xmessage, window))
    desktop.key("super+t")
    desktop.check("Super+T brings it up",
                  lambda: desktop.above(window, xmessage) and desktop.active() == window)
    cover.terminate()
    desktop.tray_menu("a")  # once it shows, Lexorn has handled every input given before
    time.sleep(0.7)
    desktop.check("About again: that one, active",
                  lambda: desktop.shown("About Lexorn") + [desktop.active()], [about, about])

    desktop.tray_menu("x")
    desktop.answer("Quit?")
    desktop.check("Exit, Yes: Lexorn ends with status 0, its icon gone",
                  lambda: (lexorn.poll(), desktop.tray_icon()), (0, None))

    # Another client holds Super+T in every lock state: Lexorn goes without it, its icon works.
    rival = display.Display(desktop.display)
    rival.screen().root.grab_key(rival.keysym_to_keycode(XK.string_to_keysym("t")), X.AnyModifier,
                                 True, X.GrabModeAsync, X.GrabModeAsync)
    rival.sync()
    lexorn = desktop.start_lexorn(True)
    x, y, width, height = desktop.client_area(desktop.check("the splash screen", desktop.splash))
    desktop.check("492x283 in the middle of the screen", (width, height) == (492, 283) and abs(
        2 * x + width - 1280) <= 4 and abs(2 * y + height - 800) <= 4, True, 0)
    desktop.screenshot("splash")
    desktop.check("it closes on its own", desktop.splash, None)
    desktop.click(*desktop.check("the tray icon", desktop.tray_icon)[1:])
    desktop.key("super+t")
    time.sleep(1.5)
    desktop.check("a single click on the icon or Super+T shows nothing", desktop.shown(), [], 0)
    desktop.check("the refusal said once",
                  lambda: desktop.said("lexorn.hotkey: Super+T is held by another client"), 1)
    desktop.xdotool("click", "--repeat", "2", "--delay", "80", "1")
    desktop.check("a double click shows Translate Text", desktop.shown)

    # Killed, Lexorn leaves its lock and socket behind: they keep no one from starting. The tray
    # comes after it, as at a login where the panel starts late.
    signins = lambda: desktop.served.said().count("/settings.php")
    before = signins()
    lexorn.kill()
    (trayer := next(p for p in desktop.processes if p.args[0] == "trayer")).terminate()
    desktop.start_lexorn(True, "--show")  # with none running, a start as any other
    desktop.check("after SIGKILL a new start signs in", signins, before + 1)
    desktop.launch(trayer.args)
    desktop.check("a tray started later gets its icon", desktop.tray_icon)
    # Later starts, signed in too, ask that one for what Super+T does, which the rival holds; a
    # session manager's restore asks for nothing.
    for arguments in (["-session", "10d2c3e4"], [], ["--show"]):
        later = desktop.start_lexorn(True, *arguments)
        desktop.check(f"lexorn {arguments}: status 0 within a second", lambda: later.wait(1), 0, 0)
        if arguments[0:1] == ["-session"]:
            time.sleep(1.5)
            desktop.check("the restore shows nothing", desktop.shown(), [], 0)
            continue
        desktop.activate(desktop.check("the running one shows Translate Text", desktop.shown)[0])
        desktop.key("alt+F4")  # openbox closes it as its close box does
        desktop.check("alt+F4 takes it away", desktop.shown, [])
    desktop.check("no later start signed in", signins(), before + 1, 0)


run(shell)
