#!/usr/bin/python3
# From the login dialog to the translation and the service's report page, as a person goes: what
# the windows show is read through the accessibility bus.
import time

from scenario import PASSWORD, USER, find, run


def text(*node):
    return find(*node).queryText().getText(0, -1)


def click(desktop, *node):
    import pyatspi  # by now on the scenario's bus
    box = find(*node).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return desktop.click(box.x + box.width // 2, box.y + box.height // 2) or box


def select(desktop, selection, words):  # as another program holds a selection
    desktop.launch(["sh", "-c", f"printf '{words}' | xclip -selection {selection}"])
    desktop.check(f"xclip holds the {selection} selection", lambda: desktop.output(
        "xclip", "-o", "-selection", selection), words)


def outer_size(desktop, window):  # the client's size with the frame the window manager set
    left, right, top, bottom = desktop.frame_extents(window)
    return desktop.client_area(window)[2] + left + right, desktop.client_area(window)[3] + top + bottom


def road(desktop):
    desktop.start_bus()
    desktop.start_lexorn(False, DBUS_SESSION_BUS_ADDRESS=desktop.bus,
                         QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")

    # Translate Selection while the Login dialog waits: carried out once signed in.
    desktop.window("Login")
    select(desktop, "primary", "The house is green.")
    later = desktop.start_lexorn(False, "--selection")
    desktop.check("lexorn --selection during the sign-in: status 0", lambda: later.wait(5), 0)
    desktop.answer("Login", f"{USER}\tnot-the-password")
    desktop.check("a wrong password: an Error alert that says so",
                  lambda: find("label", None, find("alert", "Error")).name,
                  "The e-mail address or the password is not correct.")
    desktop.answer("Error")
    desktop.check("then the Login dialog again, with the user name, and no tray icon", lambda: (
        text("text", None, find("dialog", "Login")), desktop.tray_icon()), (USER, None))
    desktop.answer("Login", keys="alt+p ctrl+a")
    desktop.answer("Login", PASSWORD)
    desktop.check("signed in: the tray icon, the splash screen gone",
                  lambda: desktop.tray_icon() and not desktop.splash())
    # By the first pair, whichever the installed ones make it.
    desktop.check("the selection asked for meanwhile, translated", lambda: "unavailable" not in (
        result := text("text", "Translated Text")) and result.strip(), True, 60)

    desktop.key("super+t")
    desktop.check("Super+T", lambda: click(desktop, "text", "Translation Options"))
    desktop.key("ctrl+a")
    desktop.type("The house is red.")

    def pick():  # again while a search a busy machine cut in two picks another entry
        click(desktop, "combo box")
        time.sleep(0.3)
        desktop.type("English to C")  # an entry's start
        desktop.key("Return")
        return find("combo box").name

    desktop.check("the pair picked", pick, "English to Català")
    click(desktop, "push button", "Translate")
    desktop.check("the translation, and the service's answer in the banner", lambda: (text(
        "text", "Translated Text").strip(), "English to Català by Apertium." in text(
            "label", "", find("filler", "Translate Text"))), ("La casa és vermell.", True), 60)
    desktop.screenshot("road-translated")

    desktop.activate(desktop.shown()[0])
    desktop.key("alt+o")
    desktop.check("OK takes it away", desktop.shown, [])
    desktop.key("super+t")
    desktop.check("Super+T brings it back as it was left", lambda: (text(
        "text", "Translated Text").strip(), find("combo box").name), ("La casa és vermell.",
        "English to Català"))

    size = lambda: outer_size(desktop, desktop.shown()[0])
    desktop.check("its outer size, frame included, the default", size, (420, 408))
    desktop.xdotool("windowsize", str(desktop.shown()[0]), "1", "1")
    desktop.check("and no smaller than the minimum", size, (420, 355))
    desktop.screenshot("window-minimum")

    # Text selected in another program, and the key bound to the desktop action pressed; then
    # spaces selected, which stand for nothing, and a text copied.
    select(desktop, "primary", "The house is green.")
    desktop.start_lexorn(True, "--selection")
    desktop.check("lexorn --selection: the selection translated", lambda: text(
        "text", "Translated Text").strip(), "La casa és verda.", 60)
    select(desktop, "primary", "   ")
    select(desktop, "clipboard", "The house is blue.")
    desktop.start_lexorn(True, "--selection")
    desktop.check("spaces selected: the clipboard's text translated", lambda: text(
        "text", "Translated Text").strip(), "La casa és blava.", 60)


run(road)
