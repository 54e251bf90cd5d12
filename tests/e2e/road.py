#!/usr/bin/python3
# From the login dialog to the translation and the service's report page, as a person goes: what
# the windows show is read through the accessibility bus.
import time

from scenario import PASSWORD, USER, run


def select(desktop, selection, words):  # as another program holds a selection
    desktop.launch(["sh", "-c", f"printf '{words}' | xclip -selection {selection}"])
    desktop.check(f"xclip holds the {selection} selection", lambda: desktop.output(
        "xclip", "-o", "-selection", selection), words)


def road(desktop):
    def translated():
        return desktop.text("text", "Translated Text").strip()

    desktop.start_bus()
    desktop.start_lexorn(False)

    # Translate Selection while the Login dialog waits: carried out once signed in.
    desktop.window("Login")
    select(desktop, "primary", "The house is green.")
    later = desktop.start_lexorn(False, "--selection")
    desktop.check("lexorn --selection during the sign-in: status 0", lambda: later.wait(5), 0)
    desktop.sign_in("not-the-password")
    desktop.check("a wrong password: an Error alert that says so",
                  lambda: desktop.find("label", None, desktop.find("alert", "Error")).name,
                  "The e-mail address or the password is not correct.")
    desktop.answer("Error")
    desktop.check("then the Login dialog again, with the user name, and no tray icon", lambda: (
        desktop.text("text", None, desktop.find("dialog", "Login")), desktop.tray_icon()),
        (USER, None))
    desktop.answer("Login", keys="alt+p ctrl+a")
    desktop.answer("Login", PASSWORD)
    desktop.check("signed in: the tray icon, the splash screen gone",
                  lambda: desktop.tray_icon() and not desktop.splash())
    # By the first pair, whichever the installed ones make it.
    desktop.check("the selection asked for meanwhile, translated",
                  lambda: "unavailable" not in (result := translated()) and result, True, 60)

    desktop.key("super+t")
    desktop.check("Super+T", lambda: desktop.click_node("text", "Translation Options"))
    desktop.key("ctrl+a")
    desktop.type("The house is red.")

    def pick():  # again while a search a busy machine cut in two picks another entry
        desktop.click_node("combo box")
        time.sleep(0.3)
        desktop.type("English to C")  # an entry's start
        desktop.key("Return")
        return desktop.find("combo box").name

    desktop.check("the pair picked", pick, "English to Català")
    desktop.click_node("push button", "Translate")
    banner = lambda: desktop.text("label", "", desktop.find("filler", "Translate Text"))
    desktop.check("the translation, and the service's answer in the banner", lambda: (
        translated(), "English to Català by Apertium." in banner()), ("La casa és vermell.", True),
        60)
    desktop.screenshot("road-translated")

    desktop.activate(desktop.shown()[0])
    desktop.key("alt+o")
    desktop.check("OK takes it away", desktop.shown, [])
    desktop.key("super+t")
    desktop.check("Super+T brings it back as it was left", lambda: (translated(), desktop.find(
        "combo box").name), ("La casa és vermell.", "English to Català"))

    size = lambda: desktop.outer_size(desktop.shown()[0])
    desktop.check("its outer size, frame included, the default", size, (420, 408))
    desktop.xdotool("windowsize", str(desktop.shown()[0]), "1", "1")
    desktop.check("and no smaller than the minimum", size, (420, 355))
    desktop.screenshot("window-minimum")

    # Text selected in another program, and the key bound to the desktop action pressed; then
    # spaces selected, which stand for nothing, and a text copied.
    select(desktop, "primary", "The house is green.")
    desktop.start_lexorn(True, "--selection")
    desktop.check("lexorn --selection: the selection translated", translated, "La casa és verda.",
                  60)
    select(desktop, "primary", "   ")
    select(desktop, "clipboard", "The house is blue.")
    desktop.start_lexorn(True, "--selection")
    desktop.check("spaces selected: the clipboard's text translated", translated,
                  "La casa és blava.", 60)


run(road)
