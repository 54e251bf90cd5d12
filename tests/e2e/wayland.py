#!/usr/bin/python3
# Lexorn on Wayland compositors. Super+T comes through the desktop's GlobalShortcuts portal, here a
# fake one on the scenario's bus: on weston it is bound and shows the window, on sway it is
# refused. On sway a StatusNotifier host that starts after Lexorn, waybar, gets Lexorn's item.
# What the windows show is read through the accessibility bus.
import os
import re
import shutil
import subprocess
import threading
import time
from pathlib import Path

from gi.repository import Gio, GLib

from scenario import Scenario, find, run

PORTAL, PATH = "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop"
SHORTCUTS, SESSION = "org.freedesktop.portal.GlobalShortcuts", PATH + "/session/1/lexorn"
# sway refuses root, which CI is: the compositors run as nobody then.
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []


class Portal:
    """Answers each call through its Request, as the portal does, keeps the shortcuts it was asked
    to bind and sends Activated when told. Served by a thread of its own."""

    INTERFACE = Gio.DBusNodeInfo.new_for_xml(f"""<node><interface name="{SHORTCUTS}">
        <method name="CreateSession"><arg type="a{{sv}}"/><arg type="o" direction="out"/></method>
        <method name="BindShortcuts"><arg type="o"/><arg type="a(sa{{sv}})"/><arg type="s"/>
        <arg type="a{{sv}}"/><arg type="o" direction="out"/></method></interface></node>""")

    def __init__(self, address):
        self.bound, self.answer, ready = [], 0, threading.Event()
        threading.Thread(target=self.serve, args=(address, ready), daemon=True).start()
        ready.wait(10)

    def serve(self, address, ready):
        context = GLib.MainContext()
        context.push_thread_default()
        self.bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        self.bus.register_object(PATH, self.INTERFACE.interfaces[0], self.called)
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
        return self.bus.call_sync(name, path, interface, method, GLib.Variant(
            signature, arguments), None, 0, 5000, None).unpack()


class Wayland(Scenario):
    def start(self):
        self.socket = ""
        os.chmod(self.work, 0o711)  # for the compositors' runtime folders in it
        self.start_bus()
        self.portal = Portal(self.bus)

    def environment(self, **extra):
        return super().environment(**{
            "QT_QPA_PLATFORM": "wayland", "XDG_SESSION_TYPE": "wayland", "WAYLAND_DISPLAY":
            self.socket, "DBUS_SESSION_BUS_ADDRESS": self.bus,
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", **extra})

    def compositor(self, *command, **extra):
        runtime = os.path.join(self.work, command[0])
        os.mkdir(runtime, 0o700)
        if NOBODY:
            os.chown(runtime, 65534, 65534)
        process = self.launch([*NOBODY, *command], XDG_RUNTIME_DIR=runtime, HOME=runtime, **extra)
        self.socket = self.wait(command[0], lambda: next((os.path.join(runtime, name) for name in
            os.listdir(runtime) if re.fullmatch(r"wayland-\d+", name)), None))
        return process

    def screenshot(self, name):  # weston's own, which --debug allows
        self.step += 1
        subprocess.run(["weston-screenshooter"], cwd=self.work, env=self.environment(), timeout=15)
        for shot in os.listdir(self.work):
            if shot.startswith("wayland-screenshot-"):
                shutil.move(os.path.join(self.work, shot),
                            os.path.join(self.shots, f"{self.step:02d}-{name}.png"))

    def items(self):  # as the StatusNotifier watcher lists them; none without a watcher
        try:
            return self.portal.call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                    "org.freedesktop.DBus.Properties", "Get", "(ss)",
                                    "org.kde.StatusNotifierWatcher",
                                    "RegisteredStatusNotifierItems")[0]
        except GLib.Error:
            return []


def wayland(desktop):
    portal, window = desktop.portal, lambda: find("filler", "Translate Text")
    weston = desktop.compositor("weston", "--backend=headless-backend.so", "--width=1280",
                                "--height=800", "--use-pixman", "--debug", "--idle-time=0")
    lexorn = desktop.start_lexorn(True)
    desktop.check("weston: the shortcut bound through the portal", lambda: portal.bound,
                  [("translate-text", "Translate Text", "LOGO+t")])
    portal.activate("another")
    time.sleep(1)
    desktop.check("another shortcut's Activated shows nothing", window(), None, 0)
    portal.activate()
    desktop.check("Activated for Translate Text shows it", window)
    desktop.check("the splash screen gone", lambda: find("label", "Lexorn"), None)
    desktop.screenshot("wayland-weston")
    for process in (lexorn, weston):
        process.terminate()
        process.wait(10)

    portal.answer = 1  # the user said no
    desktop.compositor("sway", "-c", "/dev/null", WLR_BACKENDS="headless",
                       WLR_HEADLESS_OUTPUTS="1", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
    lexorn = desktop.start_lexorn(True)
    desktop.check("sway: a refused shortcut said once", lambda: open(
        f"{desktop.work}/lexorn.log").read().count(
        "lexorn.hotkey: The desktop did not bind LOGO+t: declined"), 1)
    desktop.check("Lexorn runs on, no message box, no item without a tray",
                  lambda: (lexorn.poll(), find("alert"), desktop.items()), (None, None, []), 0)
    (config := Path(desktop.work, "waybar.json")).write_text('{"modules-right": ["tray"]}')
    waybar = desktop.launch(["waybar", "-c", config])
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
