# A well-behaved client signing in, translating and reporting in a loop through scripts/balance,
# three instances on a throwaway PostgreSQL cluster, while one instance is killed, the database is
# stopped and started again (keeping its data) and another instance gets SIGTERM while it holds
# slow translations. Every answer is 200, but a sign-in with credentials no instance remembers
# while the database is away, which is 503 (either, while it stops or starts), and a report the
# killed instance had taken, which the balancer may not send again (502, one at most: the client
# waits for each answer); every report answered 200 is in the database. The demo account, made by
# the first instance, signs in through the others. Prints a line per phase.
import os
import signal
import sys
import tempfile
import threading
import time
from collections import namedtuple
from functools import partial
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
from lexorn_support.client import report_body, request, signin_path, translate_path  # noqa: E402
from lexorn_support.service import Balance, Cluster, demo_config  # noqa: E402

DATABASE_AWAY = {"stopping", "outage", "starting"}
# What a right answer begins with, by kind; "unknown" is a sign-in with a password no one has.
BEGINS = {"sign-in": b"valid:", "unknown": b"error:\tlogin"}
# Round robin sends every report to one instance, 300 a second: hence the queue.
CONFIG = ("[service]\ndatabase = {database}\n[accounts]\npassword_iterations = 1000\n"
          "failures_before_delay = 1000000\nreports_per_client = 1000000\nreport_queue = 1000000\n"
          "[apertium]\nprogram = {apertium}\n")
ECHO = Path(__file__).with_name("echo-apertium")  # an engine that gives each text back


# phase: when it was asked; report: the text of a report
Answer = namedtuple("Answer", "phase kind status report right")


def is_right(kind, status, data, phases):
    # By status, as above; phases: the one it was asked in and the one it was answered in. While
    # the database is out, an instance cannot tell a wrong password from one it never saw: 503.
    away = phases & DATABASE_AWAY
    return {200: data.startswith(BEGINS.get(kind, b""))
                 and not (kind == "unknown" and away == {"outage"}),
            503: kind == "unknown" and bool(away),
            502: kind == "report" and "SIGKILL" in phases}.get(status, False)


class Client:  # the well-behaved one: what it got, by the phase it asked in
    def __init__(self, port):
        self.port, self.phase, self.answers = port, "steady", []
        self.stop, self.threads = threading.Event(), []

    def ask(self, kind, path, report=None):
        began, body = self.phase, report_body(report) if report else None
        status, _, data = request(self.port, path, method="POST" if body else "GET", body=body)
        right = is_right(kind, status, data, {began, self.phase})
        self.answers.append(Answer(began, kind, status, report, right))

    def loop(self):
        while not self.stop.is_set():
            n = len(self.answers)
            self.ask("sign-in", signin_path("demo-password"))
            self.ask("unknown", signin_path(f"not-the-password-{n}"))
            self.ask("translation", translate_path(f"text {n}"))
            self.ask("report", "/lexorn/banner.php", f"r{n}")

    def start(self, target, *arguments):
        self.threads.append(threading.Thread(target=target, args=arguments, daemon=True))
        self.threads[-1].start()

    def slow_translations(self):
        for _ in range(4):
            self.start(self.ask, "translation", translate_path("slow"))


def phases(client, cluster, instances):  # name, fault, seconds after it
    return [("steady", None, 2), ("SIGKILL", partial(os.kill, instances[0], signal.SIGKILL), 3),
            ("stopping", cluster.down, 0), ("outage", None, 3), ("starting", cluster.up, 0),
            ("back", None, 2), ("SIGTERM", client.slow_translations, 0.5),
            ("SIGTERM", partial(os.kill, instances[1], signal.SIGTERM), 3),
            ("end", client.stop.set, 0)]


def verdict(answers, listed):  # the failure, or None
    for phase in dict.fromkeys(answer.phase for answer in answers):
        rows = [answer for answer in answers if answer.phase == phase]
        print(f"{phase:8} {len(rows):4} requests, {sum(a.status != 200 for a in rows):3} not 200, "
              f"{sum(not a.right for a in rows):3} wrong")
    wrong = [answer for answer in answers if not answer.right]
    print("wrong:", *[(answer.phase, answer.kind, answer.status) for answer in wrong[:5]])
    reports = [answer for answer in answers if answer.kind == "report"]
    if lost := [a for a in reports if a.status == 200 and f"\t{a.report}\n" not in listed]:
        return f"{len(lost)} reports answered 200 are lost"
    if sum(report.status == 502 for report in reports) > 1:
        return "more than one report cut by the kill"
    return f"{len(wrong)} wrong answers" if wrong else None


def main(service):
    with tempfile.TemporaryDirectory() as work, Cluster() as cluster:
        config = demo_config(CONFIG.format(database=cluster.url, apertium=ECHO))
        with Balance(service, config, work, instances=3, database=cluster.url) as balance:
            balance.start()
            client = Client(balance.port)
            client.start(client.loop)
            for name, fault, seconds in phases(client, cluster, balance.instances()):
                client.phase = name
                if fault:
                    fault()
                time.sleep(seconds)
            for thread in client.threads:
                thread.join()
        return verdict(client.answers, balance.run("--list-reports"))  # what the instances kept


sys.exit(main(sys.argv[1]))
