"""lexorn-service, or scripts/balance, on a free loopback port; a throwaway PostgreSQL cluster."""

import os
import random
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

from .process import Failure, end, run

ROOT = Path(__file__).resolve().parents[2]


def demo_config(added=""):
    """service/demo.ini, then added."""
    return (ROOT / "service/demo.ini").read_text() + "\n" + added


class Service:
    """lexorn-service, or scripts/balance, which takes the same command line, on a free loopback
    port with the configuration given, in the folder given or else a temporary one of its own,
    which goes when it stops. Arguments go before the service's own."""

    def __init__(self, program, config_text, work=None, arguments=()):
        self.own = work is None
        self.work = Path(work or tempfile.mkdtemp(prefix="lexorn-service-"))
        self.config = self.work / "service.ini"
        self.config.write_text(config_text, encoding="utf-8")
        self.log = self.work / "service.log"
        # It runs in the folder: a path relative to ours would not find it.
        self.binary = os.path.abspath(program) if os.sep in str(program) else str(program)
        self.port_file = self.work / "service.port"
        self.command = [self.binary, *arguments, "--config", str(self.config), "--port", "0",
                        "--port-file", str(self.port_file)]
        self.process = None

    def start(self, timeout=60, **popen):
        """Its process once it listens, self.port set; Failure with what it said otherwise."""
        self.launched = time.monotonic()
        self.port_file.unlink(missing_ok=True)  # a port of an earlier start
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen(self.command, cwd=self.work, stdout=log,
                                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                            **popen)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.process.poll() is None:
            if self.port_file.exists():
                self.port = int(self.port_file.read_text())
                self.host = f"127.0.0.1:{self.port}"
                return self.process
            time.sleep(0.05)
        said, ended = self.said().strip(), self.process.poll() is not None
        self.stop()
        raise Failure((said or "it ended") if ended else f"no port within {timeout} s\n{said}")

    def said(self):
        return self.log.read_text(errors="replace")

    def run(self, *arguments, input=""):
        """What the service prints when run with its configuration and these arguments."""
        return subprocess.run([self.binary, "--config", str(self.config), *arguments],
                              input=input, capture_output=True, encoding="utf-8", check=True).stdout

    def stop(self):
        if self.process:
            end(self.process)
        if self.own:
            shutil.rmtree(self.work, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *error):
        self.stop()


class Balance(Service):
    """scripts/balance: instances of the service given behind HAProxy, on the database given or
    else a cluster of its own. run() runs the service itself."""

    def __init__(self, service, config_text, work=None, instances=2, database=None):
        super().__init__(ROOT / "scripts/balance", config_text, work,
                         ["--instances", str(instances)])
        self.binary = os.path.abspath(service)  # balance runs in the work folder
        self.environment = {"LEXORN_SERVICE_BIN": self.binary}
        if database:
            self.environment["LEXORN_BALANCE_DB"] = database

    def start(self, timeout=60, env=None, **popen):
        return super().start(timeout, env={**(env or os.environ), **self.environment}, **popen)

    def instances(self):
        """The process ids of the service's instances."""
        pid, name = self.process.pid, os.path.basename(self.binary).encode()
        children = Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
        return [int(child) for child in children
                if name in Path(f"/proc/{child}/cmdline").read_bytes()]


class Cluster:
    """A throwaway PostgreSQL cluster (scripts/pg-cluster) for a with-block: its address in url,
    down() and up() for an outage that keeps its data."""

    def __enter__(self):
        # In /tmp, where the postgres account reaches it; on a port below the ephemeral ones:
        # while the server is down, a connection to it could take its port.
        self.folder = tempfile.mkdtemp(prefix="lexorn-pg.", dir="/tmp")
        try:
            self.url = self.command("start", random.randrange(20000, 32768)).strip()
        except BaseException:
            shutil.rmtree(self.folder, ignore_errors=True)
            raise
        return self

    def __exit__(self, *error):
        try:
            self.command("stop")
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)

    def down(self):
        self.command("down")

    def up(self):
        self.command("up")

    def command(self, name, *arguments):
        return run(ROOT / "scripts/pg-cluster", name, self.folder, *arguments)
