"""bench/abuse's attacks on lexorn-service, and the well-behaved client beside them; also run by
tests/service/abuse.py."""
import multiprocessing
import pathlib
import socket
import threading
import time

from .client import PASSWORD, report_body, request, signin_path, translate_path
from .memory import memory
from .service import ROOT, Service

GOOD, BAD = "127.0.0.1", "127.0.0.2"
ACCOUNTS = 20


def service(binary, added="", demo=ROOT / "service/demo.ini"):
    """A fresh service on the demo configuration (added: after it, where a later key wins) with
    ACCOUNTS more accounts, each to sign in once, before the service remembers it."""
    served = Service(binary, pathlib.Path(demo).read_text().replace(
        "database = demo.sqlite", "database = abuse.sqlite") + "\n" + added)
    for n in range(ACCOUNTS):
        served.run("--add-user", f"user{n}@x.example", input=PASSWORD)
    served.start(timeout=30)
    return served


def rss(process):  # MiB, of the service's own process
    return memory(process.pid)[0] / 1024


def well_behaved(port, seconds, answer):
    # Translations one after the other, and the first sign-in of each account spread over the
    # attack, as people starting Lexorn would. Run among the attacker's threads it mostly waited
    # for Python's interpreter lock: sign-ins of up to 2.7 s instead of 0.3 s.
    results = {"translate": [], "sign-in": []}
    started, n = time.monotonic(), 0
    while time.monotonic() - started < seconds:
        status, took, body = request(port, translate_path("The house is red."), GOOD)
        results["translate"].append(took if status == 200 and b"La casa es roja" in body
                                    else float("inf"))
        if n < ACCOUNTS and time.monotonic() - started >= n * seconds / ACCOUNTS:
            status, took, body = request(port, signin_path(PASSWORD, f"user{n}@x.example"), GOOD)
            results["sign-in"].append(took if status == 200 and body.startswith(b"valid:")
                                      else float("inf"))
            n += 1
        time.sleep(0.05)
    answer.send(results)


def flood(count, action):
    def attack(port, stop, seen):
        def loop():
            while not stop.is_set():
                seen.append(action(port))
        threads = [threading.Thread(target=loop, daemon=True) for _ in range(count)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    return attack


def long_text(port):
    return request(port, translate_path("The house is red. " * 2222), BAD, timeout=60)[0]


def long_word(port):
    return request(port, translate_path("a" * 65000), BAD, timeout=60)[0]


def wrong_password(port):
    return request(port, signin_path("not-the-password"), BAD)[0]


def report(port):
    # A text that would retitle the operator's terminal, should it reach it as it is.
    body = report_body("\x1b]0;owned\x07\x9b" + "x" * 2000)
    return request(port, "/lexorn/banner.php", BAD, "POST", body)[0]


def held_bodies(port, stop, seen):
    # Almost the whole of a large body, then nothing.
    sockets = []
    for _ in range(100):
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=5, source_address=(BAD, 0))
            s.sendall(b"POST /lexorn/banner.php HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000\r\n"
                      b"Content-Type: application/x-www-form-urlencoded\r\n\r\n" + b"a" * 999999)
            sockets.append(s)
        except OSError:
            seen.append("refused")
    stop.wait()
    waiting = 0  # neither answered nor closed by the service
    for s in sockets:
        s.setblocking(False)
        try:
            s.recv(1)
        except BlockingIOError:
            waiting += 1
        except OSError:
            pass
        s.close()
    seen.extend([f"{len(sockets)} sent", f"{waiting} still waiting at the end"])


def slow_head(port, stop, seen):
    # One header line every 2 s: how long does the service wait for the end of the head?
    s = socket.create_connection(("127.0.0.1", port), source_address=(BAD, 0))
    started = time.monotonic()
    s.sendall(b"GET /lexorn/welcome.php HTTP/1.1\r\n")
    s.settimeout(2)
    while not stop.is_set():
        try:
            if s.recv(4096) == b"":
                break
        except socket.timeout:
            pass
        except OSError:
            break
        try:
            s.sendall(b"X-Slow: 1\r\n")
        except OSError:
            break
    seen.append(f"head open for {time.monotonic() - started:.0f} s")
    s.close()


def pipelined(port, stop, seen):
    # A slow answer first, then two quick ones, the last closing the connection.
    requests = [translate_path("The house is red. " * 20), "/lexorn/welcome.php",
                signin_path(PASSWORD)]
    while not stop.is_set():
        s = socket.create_connection(("127.0.0.1", port), timeout=30, source_address=(BAD, 0))
        s.sendall(b"".join(f"GET {path} HTTP/1.1\r\nHost: x\r\n".encode() +
                           (b"Connection: close\r\n" if i == 2 else b"") + b"\r\n"
                           for i, path in enumerate(requests)))
        data = b""
        try:
            while chunk := s.recv(65536):
                data += chunk
        except OSError:
            pass
        s.close()
        marks = [data.find(mark) for mark in (b"La casa", b"Welcome to Lexorn", b"valid:")]
        seen.append("in order" if -1 not in marks and marks == sorted(marks) else
                    f"answers {sum(m >= 0 for m in marks)} of 3, positions {marks}")
        stop.wait(1)


ATTACKS = [
    ("none", None),
    ("50 long translations (40,000 characters)", flood(50, long_text)),
    ("a 65,000-letter word, 4 at a time", flood(4, long_word)),
    ("100 sign-ins with a wrong password", flood(100, wrong_password)),
    ("100 connections holding 999,999 of 1,000,000 bytes", held_bodies),
    ("a head trickling in, a line every 2 s", slow_head),
    ("3 pipelined requests, the last with Connection: close", pipelined),
    ("banner reports from 20 clients", flood(20, report)),
]


def percentile(values, share):
    values = sorted(values)
    return values[min(len(values) - 1, int(share * len(values)))] if values else float("nan")


def summary(seen):
    if not seen:
        return ""
    if all(isinstance(item, int) for item in seen):
        counts = {}
        for status in seen:
            counts[status] = counts.get(status, 0) + 1
        return ", ".join(f"{n} x {status or 'no answer'}" for status, n in sorted(counts.items()))
    return "; ".join(sorted(set(map(str, seen))))


def run(served, attack, seconds):
    """One attack on a fresh service: the well-behaved client's latencies by kind, the service's
    memory idle, at its peak and 2 s after, and what the attacker got."""
    idle = rss(served.process)
    request(served.port, translate_path("Warm."), GOOD)  # the engine's first start
    # Forked before the attacker's threads start.
    answer, sent = multiprocessing.Pipe(duplex=False)
    client = multiprocessing.get_context("fork").Process(
        target=well_behaved, args=(served.port, seconds, sent))
    client.start()
    stop, seen = threading.Event(), []
    if attack:
        attacker = threading.Thread(target=attack, args=(served.port, stop, seen), daemon=True)
        attacker.start()
    peak, deadline = idle, time.monotonic() + seconds
    while time.monotonic() < deadline:
        peak = max(peak, rss(served.process))
        time.sleep(0.05)
    stop.set()
    results = answer.recv()
    client.join()
    if attack:
        attacker.join(60)
    time.sleep(2)
    return results, idle, peak, rss(served.process), seen


