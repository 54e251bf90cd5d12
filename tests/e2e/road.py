#!/usr/bin/python3
# From the login dialog to the service's reports, as a person goes: what the windows show is read
# through the accessibility bus, what the service kept through its command line.
import os
import re
import time
import urllib.request
from pathlib import Path

from scenario import PASSWORD, USER, run

TEXT, PAIR = "The house is red.", "English to Español"


def find(role, name=None, *within):
    # The first showing node of that role and name (None: any) in within, or in any program.
    def walk(node):
        if node is None or not node.getState().contains(pyatspi.STATE_SHOWING):
            return None
        if node.getRoleName() == role and name in (None, node.name):
            return node
        return next(filter(None, map(walk, node)), None)

    return next(filter(None, map(walk, within or pyatspi.Registry.getDesktop(0))), None)


def text(node):
    return node.queryText().getText(0, -1)


def centre(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def road(desktop):
    desktop.start_service()
    # A session bus of our own with the accessibility bus on it, for Lexorn and for pyatspi.
    bus = os.path.join(desktop.work, "bus")
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address = f"unix:path={bus}"
    desktop.launch(["dbus-daemon", "--session", "--nofork", f"--address={address}"])
    desktop.wait("the session bus", lambda: os.path.exists(bus))
    desktop.launch(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                   DBUS_SESSION_BUS_ADDRESS=address)
    global pyatspi
    import pyatspi  # joins the bus named in the environment
    # Qt hands addresses to the first xdg-open on the PATH; this one notes them.
    opener, opened = Path(desktop.work, "xdg-open"), Path(desktop.work, "opened")
    opener.write_text(f'#!/bin/sh\necho "$*" >> {opened}\n')
    opener.chmod(0o755)
    desktop.start_lexorn(False, PATH=f"{desktop.work}:{os.environ['PATH']}",
                         DBUS_SESSION_BUS_ADDRESS=address, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")

    desktop.activate(desktop.window("Login"))
    desktop.type(f"{USER}\tnot-the-password")
    desktop.key("Return")
    desktop.check("a wrong password: an Error alert that says so",
                  lambda: find("label", None, find("alert", "Error")).name,
                  "The e-mail address or the password is not correct.")
    desktop.activate(desktop.window("Error"))
    desktop.key("Return")
    desktop.check("then the Login dialog again, with the user name",
                  lambda: text(find("text", None, find("dialog", "Login"))), USER)
    desktop.check("no tray icon before the sign-in", desktop.tray_icon, None, 0)
    desktop.activate(desktop.window("Login"))
    desktop.key("alt+p ctrl+a")
    desktop.type(PASSWORD)
    desktop.key("Return")
    desktop.check("signed in: the tray icon, the splash screen gone",
                  lambda: desktop.tray_icon() and not desktop.splash())

    desktop.key("super+t")
    window = desktop.window("Translate Text")
    desktop.click(*centre(desktop.check("Super+T", lambda: find("text", "Translation Options"))))
    desktop.type(TEXT)

    def pick():  # again while a search a busy machine cut in two picks another entry
        desktop.click(*centre(find("combo box")))
        time.sleep(0.3)
        desktop.type(PAIR[:12])  # an entry's start
        desktop.key("Return")
        return find("combo box").name

    desktop.check("the pair picked", pick, PAIR)
    desktop.click(*centre(find("push button", "Translate")))
    desktop.check("the translation", lambda: text(find("text", "Translated Text")).strip(),
                  "La casa es roja.", 60)
    desktop.check("the banner shows the service's answer", lambda: "English to Español by "
                  "Apertium." in text(find("label", "", find("filler", "Translate Text"))))
    desktop.screenshot("road-translated")

    with urllib.request.urlopen(f"http://{desktop.host}/lexorn/settings.php?version=1.0.1&"
                                f"username={USER}&password={PASSWORD}", timeout=15) as answer:
        user = re.search(r"(?m)^about:\tuserid\t(\d+)", answer.read().decode("latin-1"))[1]
    reports = (desktop.options.service, "--config", desktop.config, "--list-reports")
    desktop.check("the service kept the report", lambda: [line.split("\t")[1:] for line in
                  desktop.output(*reports).splitlines()], [[user, "en", "es", TEXT]])

    desktop.click(*centre(find("push button", "Find a Translator")))
    desktop.check("Find a Translator opens the service's list in the browser",
                  lambda: opened.read_text().strip(), f"http://{desktop.host}/lexorn/"
                  f"findtran.php?userid={user}&src_lang=en&trg_lang=es")

    desktop.xdotool("windowsize", str(window), "100", "100")
    desktop.check("the minimum size holds", lambda: desktop.client_area(window)[2:], (420, 355))


if __name__ == "__main__":
    run(road)
