#!/usr/bin/python3
# Lexorn for Windows under wine, on the X11 desktop, as a Windows user meets it: installed
# silently, signed in from the registry, its tray icon, the window on a double click and on
# Win+T, one translation through Apertium, and Exit. Wine has no accessibility bridge: what the
# window shows comes back through the clipboard. The first argument is the installer.
import os
import subprocess

from scenario import PASSWORD, USER, run

PROGRAM = r"C:\Program Files\Lexorn\lexorn.exe"
KEY = r"HKCU\Software\Korvath\Lexorn\Login"


def wine(desktop, *arguments):
    return subprocess.run(["wine", *arguments], env=desktop.environment(), capture_output=True,
                          timeout=120).stdout.decode("utf-8", "replace")


def windows(desktop):
    wine(desktop, desktop.lexorn, "/S")
    desktop.check("the silent installer puts the program in Program Files",
                  lambda: "lexorn.exe" in wine(desktop, "cmd", "/c", "dir", r"C:\Program Files\Lexorn"))
    for name, value in (("Username", USER), ("Password", PASSWORD)):
        wine(desktop, "reg", "add", KEY, "/v", name, "/d", value, "/f")
    program = desktop.launch(["wine", PROGRAM], LEXORN_SERVICE_HOST=desktop.host)
    icon = desktop.check("signed in from the registry: the tray icon docks", desktop.tray_icon)

    desktop.xdotool("mousemove", str(icon[1]), str(icon[2]), "click", "--repeat", "2", "1")
    window = desktop.check("a double click on it shows the translation window",
                           lambda: (desktop.shown() or [None])[0])
    desktop.activate(window)
    desktop.key("alt+o")
    desktop.check("OK hides it", lambda: not desktop.shown())
    desktop.xdotool("mousemove", str(icon[1]), str(icon[2]), "click", "3")
    desktop.key("a")  # About, a Lexorn window to have the focus
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
        desktop.key("ctrl+a ctrl+c")
        return desktop.clipboard().strip()

    desktop.check("the translation through Apertium", translation, "La casa es roja.", 60)
    desktop.screenshot("windows-translated")

    desktop.xdotool("mousemove", str(icon[1]), str(icon[2]), "click", "3")
    desktop.key("x")
    desktop.activate(desktop.window("Quit?"))
    desktop.key("alt+y")
    desktop.check("Exit from the tray menu ends it", lambda: program.poll() == 0)
    wine(desktop, r"C:\Program Files\Lexorn\uninstall.exe", "/S", "/REMOVESETTINGS")
    desktop.check("the uninstaller takes the program and the settings", lambda: not os.path.exists(
        desktop.environment()["WINEPREFIX"] + "/drive_c/Program Files/Lexorn/lexorn.exe")
        and "Korvath" not in wine(desktop, "reg", "query", r"HKCU\Software"))


run(windows)
