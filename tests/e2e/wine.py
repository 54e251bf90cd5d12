#!/usr/bin/python3
# Lexorn for Windows under wine, on the X11 desktop, as a Windows user meets it: installed
# silently for the user alone, signed in through the login dialog, its tray icon, the window on a
# double click (not on a single one) and on Win+T, taken by a keyboard hook while the shell holds
# it, one translation through Apertium, a server that names a program to open, an upgrade over
# the running program, Exit, a killed run, a monitor at twice the DPI, and the uninstaller. Wine
# has no accessibility bridge: what the window shows comes back through the clipboard. The first
# argument is the installer, in the build folder that has the probe of Windows (tests/winprobe.exe).
import http.server
import os
import re
import signal
import subprocess
import sys
import threading
import time
import urllib.request

from scenario import run

BUILD = os.path.dirname(os.path.abspath(sys.argv[1]))
# Unless told otherwise: the prefix next to the installer, quiet, without Mono and Gecko.
os.environ.setdefault("WINEPREFIX", os.path.join(BUILD, "wine"))
os.environ.setdefault("WINEDEBUG", "-all")
os.environ.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
PROBE = os.path.join(BUILD, "tests", "winprobe.exe")
NOTEPAD = r"C:\windows\system32\notepad.exe"
DPI_KEY = r"HKCU\Control Panel\Desktop"


def wine(desktop, *arguments):
    return subprocess.run(["wine", *arguments], env=desktop.environment(), capture_output=True,
                          timeout=120).stdout.decode("utf-8", "replace").strip()


def hostile(host):
    """A server that answers the settings request with the service's answer, but names a Windows
    program as Find a Translator's address: the settings travel over plain HTTP, so anyone on the
    way can. Every other address in the answer is the service's own."""

    class Settings(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            with urllib.request.urlopen(f"http://{host}{self.path}", timeout=30) as answer:
                data = re.sub(rb"(?m)^link:\tfindtran\t.*$",
                              lambda _: b"link:\tfindtran\t" + NOTEPAD.encode(), answer.read())
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *_):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Settings)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"127.0.0.1:{server.server_address[1]}"


def windows(desktop):
    # A wineserver still up from an earlier run keeps the display it started on.
    subprocess.run(["wineserver", "-w"], env=desktop.environment(), timeout=60)
    # The offscreen tests ran in this prefix too, and may have left credentials.
    wine(desktop, "reg", "delete", r"HKCU\Software\Korvath", "/f")
    wine(desktop, "reg", "delete", DPI_KEY, "/v", "LogPixels", "/f")
    folder = wine(desktop, "cmd", "/c", r"echo %LOCALAPPDATA%\Programs\Lexorn")
    program = folder + r"\lexorn.exe"
    profile = wine(desktop, "winepath", "-u", wine(desktop, "cmd", "/c", "echo %USERPROFILE%"))

    def lexorns_files():
        return sorted(os.path.join(place, name) for place, _, names in os.walk(profile)
                      for name in names if "lexorn" in os.path.join(place, name).lower())

    def start():  # its log where desktop.said() reads
        return desktop.launch(["wine", program], "lexorn", LEXORN_SERVICE_HOST=host,
                              WINEQT_FORCE_STDERR_LOGGING="1")

    def icon():
        return desktop.tray_icon("explorer.exe")

    def tray_menu(key):  # wine shows it as a window of its own
        desktop.tray_menu(key, "explorer.exe", lambda: desktop.shown("Lexorn"))

    def win_t():
        # Keys reach wine while one of its windows has the focus: the About box, here.
        tray_menu("a")
        desktop.activate(desktop.window("About Lexorn"))
        desktop.key("super+t")
        return desktop.check("Win+T shows the translation window",
                             lambda: (desktop.shown() or [None])[0])

    # A prefix made by an older Lexorn may hold what it left behind.
    before = lexorns_files()
    wine(desktop, desktop.lexorn, "/S")
    desktop.check("the silent installer puts the program in the user's own programs folder",
                  lambda: "lexorn.exe" in wine(desktop, "cmd", "/c", "dir", folder))
    installed = lexorns_files()
    host = hostile(desktop.host)

    # The taskbar's hold on Win+T, as Windows 7 and later have it.
    held = os.path.join(desktop.work, "winprobe.log")
    with open(held, "wb") as output:
        holder = subprocess.Popen(["wine", PROBE, "hold"],
                                  stdout=output, env=desktop.environment())
    desktop.processes.append(holder)
    desktop.wait("the probe to hold Win+T", lambda: open(held).read().startswith("held"), 60)

    lexorn = start()
    login = desktop.window("Login", 60)
    desktop.check("the login dialog stays out of the taskbar", lambda: desktop.skips_taskbar(login))
    desktop.sign_in()
    docked = desktop.check("signed in: the tray icon docks", icon)
    desktop.check("Win+T held by the shell is taken by a keyboard hook",
                  lambda: desktop.said("Win+T is held by Windows; a keyboard hook takes it"))

    desktop.click(*docked[1:])
    desktop.check("a single click leaves the window hidden",
                  lambda: time.sleep(1.5) or not desktop.shown(), timeout=0)
    desktop.click(*docked[1:], repeat=2)
    window = desktop.check("a double click on it shows the translation window",
                           lambda: (desktop.shown() or [None])[0])
    desktop.activate(window)
    desktop.key("alt+o")
    desktop.check("OK hides it", lambda: not desktop.shown())
    window = win_t()
    desktop.check("the About box stays out of the taskbar",
                  lambda: desktop.skips_taskbar(desktop.window("About Lexorn")), timeout=0)
    desktop.check("the shell's holder of Win+T got none of it",
                  lambda: "hotkey" not in open(held).read(), timeout=0)

    desktop.translate(window, "The house is red.", "English to E")
    desktop.check("the translation through Apertium", lambda: desktop.copied_translation(window),
                  "La casa es roja.", 60)
    desktop.screenshot("windows-translated")

    desktop.click(*desktop.translation_window_places(window)["find"])
    desktop.check("Find a Translator refuses the program a server names",
                  lambda: desktop.said("opens only web and mail addresses"))
    desktop.check("and starts no process", lambda: time.sleep(1) or not desktop.output(
        "pgrep", "-f", "notepad"), timeout=0)

    holder.terminate()
    wine(desktop, desktop.lexorn, "/S")
    desktop.check("a second install over the running Lexorn ends it as Exit does",
                  lambda: lexorn.poll() == 0)

    lexorn = start()
    desktop.check("the new program starts", icon)
    desktop.check("with Win+T free, RegisterHotKey holds it",
                  lambda: desktop.said("Win+T is registered"))
    win_t()
    tray_menu("x")
    desktop.answer("Quit?", keys="alt+y")
    desktop.check("Exit from the tray menu ends it", lambda: lexorn.poll() == 0)
    desktop.check("and leaves nothing in the user's profile", lexorns_files, installed, timeout=0)

    lexorn = start()
    desktop.check("started again", icon)
    os.kill(lexorn.pid, signal.SIGKILL)
    lexorn.wait(30)
    desktop.check("a killed run leaves nothing in the profile", lexorns_files, installed, timeout=0)

    # Twice the pixels: Qt scales Lexorn by 2, and its outer size, 6300 x 6120 twips by default,
    # with it. The next run of this check sets the prefix back first.
    wine(desktop, "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "192", "/f")
    lexorn = start()
    desktop.click(*desktop.check("nor anything that keeps the next from starting", icon)[1:],
                  repeat=2)
    desktop.window("Translate Text")
    size = lambda: [int(n) for n in wine(desktop, PROBE, "rect", "Translate Text").split()]
    desktop.check("at 192 dpi the window's outer size is twice 420 x 408 pixels",
                  lambda: abs(size()[0] - 840) <= 2 and abs(size()[1] - 816) <= 2)

    wine(desktop, folder + r"\uninstall.exe", "/S", "/REMOVESETTINGS")
    desktop.check("the uninstaller ends the running Lexorn", lambda: lexorn.poll() == 0)
    desktop.check("and takes the program and the settings", lambda: lexorns_files() == before
                  and "Korvath" not in wine(desktop, "reg", "query", r"HKCU\Software"))


run(windows)
