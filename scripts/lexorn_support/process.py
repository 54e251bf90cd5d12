"""Waiting for a condition, ending and running programs."""

import subprocess
import time


class Failure(Exception):
    pass


def wait(what, condition, timeout=15.0):
    """condition()'s first true result, asked every 0.1 s."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(0.1)


def end(process, grace=10):
    # The grace is for scripts/balance, which stops a database cluster.
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(3)


def run(*command):
    """What the command prints; CalledProcessError if it fails."""
    return subprocess.run([str(part) for part in command], check=True, capture_output=True,
                          text=True).stdout
