#!/usr/bin/python3
# Lexorn for Windows under wine, on the X11 desktop, as a Windows user meets it: installed
# silently, signed in from the registry, its tray icon, the window on a double click (not on a
# single one) and on Win+T, one translation through Apertium, and Exit. Wine has no accessibility
# bridge: what the window shows comes back through the clipboard. The first argument is the
# installer.
import os
import subprocess
import sys
import time

from scenario import PASSWORD, USER, run

PROGRAM = r"C:\Program Files\Lexorn\lexorn.exe"
KEY = r"HKCU\Software\Korvath\Lexorn\Login"
# Unless told otherwise: the prefix next to the installer, quiet, without Mono and Gecko.
os.environ.setdefault("WINEPREFIX", os.path.join(os.path.dirname(os.path.abspath(sys.argv[1])),
                                                 "wine"))
os.environ.setdefault("WINEDEBUG", "-all")
os.environ.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")


def wine(desktop, *arguments):
    return subprocess.run(["wine", *arguments], env=desktop.environment(), capture_output=True,
                          timeout=120).stdout.decode("utf-8", "replace")


def tray_menu(desktop, icon, key):
    # Released 0.1 s after the press, as a person clicks. Wine's explorer takes the focus on the
    # press; an instant release reached Lexorn, which then opens its menu, before the news of the
    # focus change did, and on that news Qt closed the menu again.
    desktop.xdotool("mousemove", str(icon[1]), str(icon[2]), "mousedown", "3", "sleep", "0.1",
                    "mouseup", "3")
    desktop.wait("the tray menu", lambda: desktop.shown("Lexorn"))
    desktop.wait(f"the menu to take {key}", lambda: desktop.key(key) or not desktop.shown("Lexorn"))


def windows(desktop):
    # A wineserver still up from an earlier run keeps the display it started on.
    subprocess.run(["wineserver", "-w"], env=desktop.environment(), timeout=60)
    wine(desktop, desktop.lexorn, "/S")
    desktop.check("the silent installer puts the program in Program Files",
                  lambda: "lexorn.exe" in wine(desktop, "cmd", "/c", "dir", r"C:\Program Files\Lexorn"))
    for name, value in (("Username", USER), ("Password", PASSWORD)):
        wine(desktop, "reg", "add", KEY, "/v", name, "/d", value, "/f")
    program = desktop.launch(["wine", PROGRAM], LEXORN_SERVICE_HOST=desktop.host)
    icon = desktop.check("signed in from the registry: the tray icon docks",
                         lambda: desktop.tray_icon("explorer.exe"))

    desktop.click(*icon[1:])
    desktop.check("a single click leaves the window hidden",
                  lambda: time.sleep(1.5) or not desktop.shown(), timeout=0)
    desktop.xdotool("mousemove", str(icon[1]), str(icon[2]), "click", "--repeat", "2", "1")
    window = desktop.check("a double click on it shows the translation window",
                           lambda: (desktop.shown() or [None])[0])
    desktop.activate(window)
    desktop.key("alt+o")
    desktop.check("OK hides it", lambda: not desktop.shown())
    tray_menu(desktop, icon, "a")  # About, a Lexorn window to have the focus
    desktop.activate(desktop.window("About Lexorn"))
    desktop.key("super+t")
    window = desktop.check("Win+T while a Lexorn window has the focus",
                           lambda: (desktop.shown() or [None])[0])

    places = desktop.translation_window_places(window)
    desktop.click(*places["source"])
    desktop.type("The house is red.")
    desktop.click(*places["pairs"])
    desktop.type("English to E")
    desktop.key("Return")
    desktop.activate(window)
    desktop.key("alt+t")

    def translation():
        if desktop.shown("Translating...") or desktop.active() != window:
            return None
        desktop.click(*places["result"])
        desktop.xdotool("key", "ctrl+a", "ctrl+c")
        return desktop.clipboard().strip()

    desktop.check("the translation through Apertium", translation, "La casa es roja.", 60)
    desktop.screenshot("windows-translated")

    tray_menu(desktop, icon, "x")
    desktop.activate(desktop.window("Quit?"))
    desktop.key("alt+y")
    desktop.check("Exit from the tray menu ends it", lambda: program.poll() == 0)
    wine(desktop, r"C:\Program Files\Lexorn\uninstall.exe", "/S", "/REMOVESETTINGS")
    desktop.check("the uninstaller takes the program and the settings", lambda: not os.path.exists(
        desktop.environment()["WINEPREFIX"] + "/drive_c/Program Files/Lexorn/lexorn.exe")
        and "Korvath" not in wine(desktop, "reg", "query", r"HKCU\Software"))


run(windows)
