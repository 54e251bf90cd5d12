"""The desktops Lexorn's tooling runs it on.

- Desktop: an X11 one (Xvfb, openbox, trayer), with a session bus of its own on demand, where
  pyatspi reads what the windows show;
- Wayland: weston or sway (headless, as nobody when run as root), waybar, and a fake
  GlobalShortcuts portal on the desktop's bus.
"""

import os
import re
import select
import shutil
import subprocess
import tempfile
import threading
import time
from pathlib import Path

from .process import Failure, end, wait

try:
    from gi.repository import Gio, GLib
except ImportError:  # only the portal needs it
    Gio = GLib = None

SCREEN = (1280, 800)
TWIPS = 15  # per pixel
# sway refuses root, which CI is: the compositors run as nobody then.
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []


class Desktop:
    """The X11 desktop. Every program started on it writes a log in the work folder, which goes
    when the desktop stops."""

    def __init__(self, shots=None):
        self.work = tempfile.mkdtemp(prefix="lexorn-run-")
        self.shots = shots or self.work
        os.makedirs(self.shots, exist_ok=True)
        self.step = 0
        self.processes = []
        self.display = self.bus = None

    wait = staticmethod(wait)

    # Processes and commands

    def environment(self, **extra):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY",
                     "XDG_SESSION_TYPE", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY"):
            env.pop(name, None)
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env.update(DISPLAY=self.display or "", XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
        env.update(extra)
        return env

    def launch(self, arguments, log_name=None, **extra):
        name = log_name or os.path.basename(arguments[0])
        with open(os.path.join(self.work, f"{name}.log"), "ab") as log:
            process = subprocess.Popen(arguments, env=self.environment(**extra), stdout=log,
                                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def run(self, *arguments, timeout=15):
        try:
            done = subprocess.run(arguments, env=self.environment(), capture_output=True,
                                  timeout=timeout, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            return 1, b""
        return done.returncode, done.stdout

    def output(self, *arguments):
        return self.run(*arguments)[1].decode("utf-8", "replace")

    def logs(self):
        """The last lines of what each program said, for a failure report."""
        text = []
        for name in sorted(os.listdir(self.work)):
            if name.endswith(".log"):
                with open(os.path.join(self.work, name), errors="replace") as log:
                    lines = log.read().splitlines()[-5:]
                text += [f"  {name}: {line}" for line in lines]
        return "\n".join(text)

    def stop(self):
        for process in reversed(self.processes):
            end(process)
        shutil.rmtree(self.work, ignore_errors=True)

    def start_bus(self, accessibility=False):
        """A session bus of our own. With accessibility, this process's too, where find() reads
        what the windows show."""
        bus = os.path.join(self.work, "bus")
        self.bus = f"unix:path={bus}"
        self.launch(["dbus-daemon", "--session", "--nofork", f"--address={self.bus}"])
        self.wait("the session bus", lambda: os.path.exists(bus))
        if accessibility:
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus
            import pyatspi  # joins the bus named in the environment
            self.atspi = pyatspi

    # Reading the windows through the accessibility bus, once started

    def find(self, role, name=None, *within):
        """The first showing node of that role and name (None: any) in within, or in any
        program."""
        atspi = self.atspi
        return atspi.findDescendant(
            within[0] if within else atspi.Registry.getDesktop(0),
            lambda node: node.getRoleName() == role and name in (None, node.name)
            and node.getState().contains(atspi.STATE_SHOWING))

    def text(self, *node):
        return self.find(*node).queryText().getText(0, -1)

    def click_node(self, *node):
        """Clicks the middle of the node; its extents."""
        box = self.find(*node).queryComponent().getExtents(self.atspi.DESKTOP_COORDS)
        self.click(box.x + box.width // 2, box.y + box.height // 2)
        return box

    # The virtual desktop

    def start(self):
        # Xvfb picks a free display itself and tells its number: no race with other X servers.
        reading, writing = os.pipe()
        with open(os.path.join(self.work, "Xvfb.log"), "ab") as log:
            server = subprocess.Popen(["Xvfb", "-displayfd", str(writing), "-screen", "0",
                                       f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
                                      pass_fds=(writing,), stdout=log, stderr=subprocess.STDOUT,
                                      stdin=subprocess.DEVNULL)
        self.processes.append(server)
        os.close(writing)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            if not select.select([reading], [], [], 0.5)[0]:
                continue
            chunk = os.read(reading, 16)
            if not chunk:
                break
            number += chunk
        os.close(reading)
        if not number.strip().isdigit():
            raise Failure("Xvfb did not start")
        self.display = f":{number.strip().decode()}"
        for attempt in (1, 2):  # now and then openbox does not come up: one more try
            manager = self.launch(["openbox", "--sm-disable"])
            try:
                self.wait("openbox", lambda: "window id" in self.output(
                    "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
                break
            except Failure:
                if attempt == 2:
                    raise
                manager.kill()
        # A desktop colour rather than black, for the screenshots; openbox clears it when it starts.
        self.run("display", "-window", "root", "-size", f"{SCREEN[0]}x{SCREEN[1]}", "xc:#4a6b8a")
        self.launch(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                     "--width", "120", "--height", "24", "--transparent", "false",
                     "--tint", "0xcccccc"])
        self.wait("the tray", lambda: self.windows("--class", "^trayer$"))

    # Looking

    def windows(self, *criteria):
        return [int(line) for line in self.output(
            "xdotool", "search", "--onlyvisible", *criteria).split() if line.isdigit()]

    def shown(self, title="Translate Text"):
        return self.windows("--name", f"^{re.escape(title)}$")

    def window(self, title, timeout=15.0):
        return self.wait(f'the window "{title}"', lambda: (self.shown(title) or [None])[-1], timeout)

    def active(self):
        return int(self.output("xdotool", "getactivewindow") or 0)

    def client_area(self, window):
        info = self.output("xwininfo", "-id", str(window))
        value = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
                value("Width"), value("Height"))

    def above(self, upper, lower):
        """Whether upper is above lower in the window manager's stacking order."""
        order = self.output("xprop", "-root", "_NET_CLIENT_LIST_STACKING").strip() + ","
        return order.index(f"{upper:#x},") > order.index(f"{lower:#x},")  # bottom first

    def skips_taskbar(self, window):
        # As wine marks the windows that Windows keeps out of its taskbar: owned and tool windows.
        return "_NET_WM_STATE_SKIP_TASKBAR" in self.output("xprop", "-id", str(window),
                                                          "_NET_WM_STATE")

    def outer_size(self, window):
        """The window's size with the frame the window manager gave it."""
        left, right, top, bottom = self.frame_extents(window)
        _, _, width, height = self.client_area(window)
        return width + left + right, height + top + bottom

    def frame_extents(self, window):
        """Left, right, top and bottom of the frame openbox gave the window, or None."""
        found = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                          self.output("xprop", "-id", str(window), "_NET_FRAME_EXTENTS"))
        return found and tuple(int(n) for n in found.groups())

    def translation_window_places(self, window):
        """Where a person clicks in the translation window, from its designed layout (twips)."""
        x, y, _, height = self.client_area(window)
        h = height * TWIPS
        frame_from_height = h - 375 - 1815 - 375 - 600
        combo_top = 120 + frame_from_height - 315 - 120
        frame_to_top = h - 120 - 375 - 120 - 1815
        px = lambda twips: twips // TWIPS
        return {
            "source": (x + px(120 + 120 + 600), y + px(120 + 600 + 300)),
            "pairs": (x + px(120 + 1560 + 1000), y + px(combo_top + 150)),
            "result": (x + px(120 + 120 + 600), y + px(frame_to_top + 360 + 300)),
            "find": (x + px(120 + 700), y + px(120 + frame_from_height + 120 + 180)),
        }

    def tray_icon(self, kind="lexorn"):
        """The icon of that class (wine docks its icons as explorer.exe) in trayer's panel as
        (window, x, y) of its centre, or None."""
        tree = self.output("xwininfo", "-root", "-tree")
        panel_depth = None
        for line in tree.splitlines():
            match = re.match(r'^(\s*)0x[0-9a-f]+ (?:"(.*)"|\(has no name\)): \((?:"([^"]*)" "([^"]*)")?\)'
                             r'\s+(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)', line)
            if not match:
                continue
            depth = len(match.group(1))
            if panel_depth is not None and depth <= panel_depth:
                panel_depth = None
            if match.group(2) == "panel" and match.group(4) == "trayer":
                panel_depth = depth
            elif panel_depth is not None and match.group(3) == kind:
                width, height, x, y = (int(match.group(n)) for n in (5, 6, 7, 8))
                return int(line.split()[0], 16), x + width // 2, y + height // 2
        return None

    def splash(self):
        """The program's splash screen while it is shown, or None."""
        for window in self.windows("--class", "^lexorn$"):
            if "_NET_WM_WINDOW_TYPE_SPLASH" in self.output(
                    "xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE"):
                return window
        return None

    def popup_menu(self):
        """The program's unmanaged window other than its tray icon, or None."""
        icon = self.tray_icon()
        for window in self.windows("--class", "^lexorn$"):
            if icon and window == icon[0]:
                continue
            if "Override Redirect State: yes" in self.output("xwininfo", "-id", str(window)):
                return window
        return None

    def tray_menu(self, key, kind="lexorn", menu=None, meanwhile=None, timeout=15.0):
        """Opens the menu of the tray icon of that kind and gives it the key, again until the menu
        takes it: a key given before the menu grabbed the keyboard is lost. menu() tells whether
        the menu shows (by default popup_menu()); meanwhile() runs once it does."""
        menu = menu or self.popup_menu

        def opened():
            # The right button released 0.1 s after the press, as a person clicks, and again if no
            # menu comes. Wine's explorer takes the focus on the press; an instant release reached
            # Lexorn, which then opens its menu, before the news of the focus change did, and on
            # that news Qt closed the menu again.
            _, x, y = self.wait("the tray icon", lambda: self.tray_icon(kind), 5)
            self.xdotool("mousemove", str(x), str(y), "mousedown", "3", "sleep", "0.1",
                         "mouseup", "3")
            try:
                return self.wait("the tray menu", menu, 3)
            except Failure:
                return None

        self.wait("the tray menu", opened, timeout)
        if meanwhile:
            meanwhile()
        self.wait(f"the menu to take {key}", lambda: self.key(key) or not menu(), timeout)

    def screenshot(self, name):
        self.step += 1
        path = os.path.join(self.shots, f"{self.step:02d}-{name}.png")
        self.run("import", "-window", "root", path)
        return path

    # Acting

    def xdotool(self, *arguments):
        self.run("xdotool", *arguments)

    def click(self, x, y, button=1, repeat=1):
        self.xdotool("mousemove", str(x), str(y), "click", "--repeat", str(repeat), "--delay", "80",
                     str(button))

    def key(self, keys):
        self.xdotool("key", keys)

    def type(self, text):
        self.xdotool("type", "--delay", "30", text)

    def activate(self, window):
        self.xdotool("windowactivate", "--sync", str(window))

    def clipboard(self):
        return self.output("xclip", "-o", "-selection", "clipboard")

    def translate(self, window, text, pair):
        """Types the text into the translation window, picks the pair by the start of its name
        and presses Translate, as a person does; screenshots of the list and of what it chose."""
        places = self.translation_window_places(window)
        self.click(*places["source"])
        self.type(text)
        self.click(*places["pairs"])
        time.sleep(0.5)  # the list drops down
        self.screenshot("pair-list")
        self.type(pair)
        self.key("Return")
        self.screenshot("text-and-pair")
        self.activate(window)
        self.key("alt+t")

    def copied_translation(self, window):
        """The translation window's result, copied out through the clipboard; None while the
        progress window is up, as the click and the keys would copy its page instead."""
        def alone():
            return not self.shown("Translating...") and self.active() == window
        if not alone():
            return None
        self.click(*self.translation_window_places(window)["result"])
        self.key("ctrl+a")
        self.key("ctrl+c")
        return alone() and self.clipboard().strip()


class Wayland(Desktop):
    """A session bus with the portal on it, then the compositors, one at a time: what is launched
    runs on the last one started."""

    socket = runtime = ""

    def start(self):
        os.chmod(self.work, 0o711)  # for the compositors' runtime folders in it
        self.start_bus()
        self.portal = Portal(self.bus)

    def environment(self, **extra):
        return super().environment(**{
            "QT_QPA_PLATFORM": "wayland", "XDG_SESSION_TYPE": "wayland", "WAYLAND_DISPLAY":
            self.socket, "DBUS_SESSION_BUS_ADDRESS": self.bus, **extra})

    def compositor(self, *command, **extra):
        self.runtime = os.path.join(self.work, command[0])
        os.mkdir(self.runtime, 0o700)
        if NOBODY:
            os.chown(self.runtime, 65534, 65534)
        process = self.launch([*NOBODY, *command], XDG_RUNTIME_DIR=self.runtime,
                              HOME=self.runtime, **extra)
        self.socket = self.wait(command[0], lambda: next((os.path.join(self.runtime, name) for name
            in os.listdir(self.runtime) if re.fullmatch(r"wayland-\d+", name)), None))
        return process

    def weston(self):
        return self.compositor("weston", "--backend=headless-backend.so", f"--width={SCREEN[0]}",
                               f"--height={SCREEN[1]}", "--use-pixman", "--debug", "--idle-time=0")

    def sway(self):
        return self.compositor("sway", "-c", "/dev/null", WLR_BACKENDS="headless",
                               WLR_HEADLESS_OUTPUTS="1", WLR_RENDERER="pixman",
                               WLR_LIBINPUT_NO_DEVICES="1")

    def waybar(self):
        """A StatusNotifier host with a tray and nothing else."""
        (config := Path(self.work, "waybar.json")).write_text('{"modules-right": ["tray"]}')
        return self.launch(["waybar", "-c", str(config)])

    def items(self):
        """The StatusNotifier items the watcher lists; none without a watcher."""
        try:
            return self.portal.call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                    "org.freedesktop.DBus.Properties", "Get", "(ss)",
                                    "org.kde.StatusNotifierWatcher",
                                    "RegisteredStatusNotifierItems")[0]
        except GLib.Error:
            return []

    def screenshot(self, name):  # weston's own, which --debug allows
        self.step += 1
        subprocess.run(["weston-screenshooter"], cwd=self.work, env=self.environment(), timeout=15)
        for shot in os.listdir(self.work):
            if shot.startswith("wayland-screenshot-"):
                shutil.move(os.path.join(self.work, shot),
                            os.path.join(self.shots, f"{self.step:02d}-{name}.png"))


PORTAL, PATH = "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop"
SHORTCUTS, SESSION = "org.freedesktop.portal.GlobalShortcuts", PATH + "/session/1/lexorn"


class Portal:
    """The desktop's GlobalShortcuts portal, faked: answers each call through its Request, as the
    portal does, keeps the shortcuts it was asked to bind and sends Activated when told. Answers
    BindShortcuts with `answer` (1: the user said no). Served by a thread of its own."""

    def __init__(self, address):
        if Gio is None:
            raise ImportError("the portal needs python3-gi")
        self.interface = Gio.DBusNodeInfo.new_for_xml(f"""<node><interface name="{SHORTCUTS}">
            <method name="CreateSession"><arg type="a{{sv}}"/><arg type="o" direction="out"/></method>
            <method name="BindShortcuts"><arg type="o"/><arg type="a(sa{{sv}})"/><arg type="s"/>
            <arg type="a{{sv}}"/><arg type="o" direction="out"/></method></interface></node>""")
        self.bound, self.answer, ready = [], 0, threading.Event()
        threading.Thread(target=self.serve, args=(address, ready), daemon=True).start()
        ready.wait(10)

    def serve(self, address, ready):
        context = GLib.MainContext()
        context.push_thread_default()
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        self.bus.register_object(PATH, self.interface.interfaces[0], self.called)
        self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "RequestName", GLib.Variant("(su)", (PORTAL, 0)), None, 0, -1, None)
        ready.set()
        GLib.MainLoop(context).run()

    def called(self, bus, sender, path, interface, method, arguments, invocation):
        *arguments, options = arguments.unpack()
        request = f"{PATH}/request/{sender[1:].replace('.', '_')}/{options['handle_token']}"
        invocation.return_value(GLib.Variant("(o)", (request,)))
        if method == "BindShortcuts":
            self.bound += [(id, said["description"], said["preferred_trigger"])
                           for id, said in arguments[1]]
        bus.emit_signal(None, request, "org.freedesktop.portal.Request", "Response", GLib.Variant(
            "(ua{sv})", (self.answer if method == "BindShortcuts" else 0,
                         {"session_handle": GLib.Variant("o", SESSION)})))

    def activate(self, shortcut="translate-text"):
        self.bus.emit_signal(None, PATH, SHORTCUTS, "Activated", GLib.Variant(
            "(osta{sv})", (SESSION, shortcut, 0, {})))

    def call(self, name, path, interface, method, signature, *arguments):
        """A method of another client on the bus, its answer unpacked."""
        return self.bus.call_sync(name, path, interface, method, GLib.Variant(
            signature, arguments), None, 0, 5000, None).unpack()
