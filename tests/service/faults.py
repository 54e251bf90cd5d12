# A well-behaved client signing in, translating and reporting in a loop through scripts/balance,
# three instances on a throwaway PostgreSQL cluster, while one instance is killed, the database is
# stopped and started again (keeping its data) and another instance gets SIGTERM while it holds
# slow translations. Every answer is 200, but a sign-in with credentials no instance remembers
# while the database is away, which is 503 (either, while it stops or starts), and a report the
# killed instance had taken, which the balancer may not send again (502, one at most: the client
# waits for each answer); every report answered 200 is in the database. The demo account, made by
# the first instance, signs in through the others. Prints a line per phase.
import atexit, os, random, shutil, signal, subprocess, sys, tempfile, threading  # noqa: E401
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
from lexorn_support.client import request, signin_path, translate_path  # noqa: E402
from lexorn_support.service import Service  # noqa: E402
work, pg = Path(tempfile.mkdtemp()), tempfile.mkdtemp(prefix="lexorn-faults-pg.")
atexit.register(lambda: [shutil.rmtree(folder, ignore_errors=True) for folder in (work, pg)])


run = lambda *command: subprocess.run(  # noqa: E731
    [*map(str, command)], check=True, capture_output=True, text=True).stdout
# Below the ephemeral ports: while the server is down, a connection to it could take its port.
db = run(ROOT / "scripts/pg-cluster", "start", pg, random.randrange(20000, 32768)).strip()
atexit.register(run, ROOT / "scripts/pg-cluster", "stop", pg)
(fake := work / "apertium").write_text("#!/bin/bash\n[ \"$1\" = -l ] && echo eng-spa && exit\n"
                                      "while IFS= read -rd '' t; do [[ $t = *slow* ]] && sleep 2; "
                                      "printf '%s\\0' \"$t\"; done\n")  # echoes; "slow" after 2 s
fake.chmod(0o755)
balance = Service(ROOT / "scripts/balance", (ROOT / "service/demo.ini").read_text() +
    f"[service]\ndatabase = {db}\n[accounts]\npassword_iterations = 1000\n"
    "failures_before_delay = 1000000\nreports_per_client = 1000000\n"
    "report_queue = 1000000\n"  # round robin sends every report to one instance, 300 a second
    f"[apertium]\nprogram = {fake}\n", work, ["--instances", "3"])
balance.start(env=dict(os.environ, LEXORN_SERVICE_BIN=sys.argv[1], LEXORN_BALANCE_DB=db))
atexit.register(balance.stop)
instances = balance.children("lexorn-service")
phase, seen, stop = "steady", [], threading.Event()


def ask(kind, path, body=None):
    began = phase
    status, _, data = request(balance.port, path, "127.0.0.1", "POST" if body else "GET", body)
    unknown, away = kind == "unknown", {began, phase} & {"stopping", "outage", "starting"}
    good = data.startswith({"sign-in": b"valid:", "unknown": b"error:\tlogin"}.get(kind, b""))
    seen.append((began, kind, status, body, status == 200 and good and not (
        unknown and away == {"outage"}) or status == 503 and unknown and bool(away) or
        status == 502 and kind == "report" and "SIGKILL" in {began, phase}))


def client():
    while not stop.is_set():
        ask("sign-in", signin_path("demo-password"))
        ask("unknown", signin_path(f"not-the-password-{len(seen)}"))
        ask("translation", translate_path(f"text {len(seen)}"))
        ask("report", "/lexorn/banner.php", f"userid=1&src_lang=en&dest_lang=es&text=r{len(seen)}")


threading.Thread(target=client, daemon=True).start()
for phase, fault, seconds in [
        ("steady", None, 2), ("SIGKILL", lambda: os.kill(instances[0], signal.SIGKILL), 3),
        ("stopping", lambda: run(ROOT / "scripts/pg-cluster", "down", pg), 0), ("outage", None, 3),
        ("starting", lambda: run(ROOT / "scripts/pg-cluster", "up", pg), 0), ("back", None, 2),
        ("SIGTERM", lambda: [threading.Thread(target=ask, args=(
            "translation", translate_path("slow"))).start() for _ in range(4)], 0.5),
        ("SIGTERM", lambda: os.kill(instances[1], signal.SIGTERM), 3), ("end", stop.set, 0)]:
    fault and fault()
    time.sleep(seconds)
[thread.join() for thread in threading.enumerate() if thread != threading.current_thread()]
balance.stop()  # the instances write what they kept
listed = run(sys.argv[1], "--config", balance.config, "--list-reports")
lost = [r for r in seen if r[1] == "report" and r[2] == 200 and f"\t{r[3][39:]}\n" not in listed]
for name in dict.fromkeys(row[0] for row in seen):
    rows = [row for row in seen if row[0] == name]
    print(f"{name:8} {len(rows):4} requests, {sum(r[2] != 200 for r in rows):3} not 200, "
          f"{sum(not r[4] for r in rows):3} wrong")
print("wrong:", *[row[:3] for row in seen if not row[4]][:5])
cut = sum(r[2] == 502 for r in seen if r[1] == "report") > 1
sys.exit(f"{len(lost)} reports answered 200 are lost" if lost else cut or not all(r[4] for r in seen))
