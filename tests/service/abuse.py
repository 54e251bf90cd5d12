# bench/abuse's attacks, a few seconds each on a fresh service with cheap key derivation, from
# 127.0.0.2 beside a well-behaved client on 127.0.0.1: that client's answers stay right, the
# attacker gets what the limits give, and the reports it posts reach no terminal as they came.
# Ends with a line "N passed, M failed".
import re
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
from lexorn_support import attacks  # noqa: E402
ADDED = "[accounts]\npassword_iterations = 1000\n[service]\nmax_connections_per_client = 8\n"
# By the start of an attack's name: what the attacker must have got, and all it may get (0: no
# answer, when the service turns a connection away while the request is still being sent).
GOT = {"50 long": ({413}, {0, 413, 503}), "a 65,000": ({413}, {0, 413, 503}),
       "100 sign-ins": ({429}, None), "100 connections": ({"8 still waiting at the end"}, None),
       "3 pipelined": ({"in order"}, {"in order"}), "banner": ({200, 429}, None)}
failed = 0
for name, attack in attacks.ATTACKS:
    with attacks.service(sys.argv[1], ADDED) as service:
        results, *_, seen = attacks.run(service, attack, 3)
        reports = service.run("--list-reports")
    right = all(times and max(times) < float("inf") for times in results.values())
    # What would retitle the terminal comes out with its control characters replaced.
    clean = not re.search("[\x00-\x08\x0b-\x1f\x7f-\x9f]", reports) and (
        "\ufffd]0;owned\ufffd\ufffd" in reports) == name.startswith("banner")
    ok = right and clean and all(wanted <= set(seen) and (allowed is None or set(seen) <= allowed)
                                 for key, (wanted, allowed) in GOT.items() if name.startswith(key))
    failed += not ok
    print(f"{'ok  ' if ok else 'FAIL'} {name}: {attacks.summary(seen)[:300]}; well-behaved client "
          f"{'right' if right else 'wrong'}; reports {'clean' if clean else 'NOT CLEAN'}")
print(f"{len(attacks.ATTACKS) - failed} passed, {failed} failed")
sys.exit(failed > 0)
