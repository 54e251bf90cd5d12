# What the desktop scenarios share: the virtual desktop of scripts/lexorn_support, a
# lexorn-service of their own, Lexorn started against it, and the count of checks. A scenario stops
# at its first failed check and ends with a line "N passed, M failed" for CI.
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
from lexorn_support import desktop as desktops, process  # noqa: E402
from lexorn_support.client import PASSWORD, USER  # noqa: E402
from lexorn_support.service import Service, demo_config  # noqa: E402


class Scenario(desktops.Desktop):
    def __init__(self):
        self.lexorn, self.service, shots = sys.argv[1:]  # the binaries, the screenshots' folder
        super().__init__(shots)
        self.passed = 0

    def check(self, what, seen, wanted=True, timeout=30.0):
        # Looks until seen() gives what is wanted (True: anything true); timeout 0 looks once.
        def matches():
            try:
                self.got = seen() if callable(seen) else seen
                return bool(self.got) if wanted is True else self.got == wanted
            except Exception as error:  # a window not there yet, a node gone meanwhile
                self.got = error

        try:
            self.wait(what, matches, timeout)
        except process.Failure:
            raise process.Failure(f"{what}: saw {self.got!r}, wanted {wanted!r}") from None
        self.passed += 1
        print(f"ok {self.passed}: {what}", flush=True)
        return self.got

    def answer(self, title, text="", keys="Return"):
        # Activates the window of that title, types the text, then presses the keys.
        self.activate(self.window(title))
        self.type(text)
        self.key(keys)

    def start_service(self):
        # The demo configuration with cheap password hashing (the service, or scripts/balance with
        # instances of it).
        self.served = Service(self.service, demo_config().replace("100000", "1000"), self.work)
        self.processes.append(self.served.start(env=self.environment()))
        self.host = self.served.host

    def start_bus(self):
        super().start_bus(accessibility=True)

    def said(self, text):  # how often Lexorn's log holds the text
        return Path(self.work, "lexorn.log").read_text(errors="replace").count(text)

    def sign_in(self, password=PASSWORD):
        self.answer("Login", f"{USER}\t{password}")

    def start_lexorn(self, signed_in, *arguments, **extra):
        config = Path(self.work, f"config{len(self.processes)}", "Korvath")  # a fresh store
        config.mkdir(parents=True)
        if signed_in:
            (config / "Lexorn.ini").write_text(f"[Login]\nUsername={USER}\nPassword={PASSWORD}\n")
        if self.bus:  # where pyatspi reads what its windows show
            extra = {"DBUS_SESSION_BUS_ADDRESS": self.bus, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                     **extra}
        return self.launch([self.lexorn, *arguments], XDG_CONFIG_HOME=str(config.parent),
                           LEXORN_SERVICE_HOST=self.host, **extra)


def run(steps, kind=Scenario):
    scenario, failed = kind(), 0
    try:
        scenario.start()
        scenario.start_service()
        steps(scenario)
    except BaseException as failure:  # a fault of the scenario's own or ^C ends it the same way
        failed = 1
        print(f"FAILED: {failure!r}\nthe programs said:\n{scenario.logs()}", flush=True)
        scenario.screenshot(f"{steps.__name__}-failure")
    scenario.stop()
    print(f"{scenario.passed} passed, {failed} failed", flush=True)
    raise SystemExit(failed)
