"""What a process tree holds (RSS and PSS), read from /proc."""

import os
import re
from pathlib import Path


def processes():
    """{pid: (ppid, pgid)} of every process now, from /proc."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            stat = Path("/proc", entry, "stat").read_text()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        table[int(entry)] = (int(fields[1]), int(fields[2]))
    return table


def tree(root):
    """The root and its descendants, with the process groups its children lead (the service
    runs each engine in a group of its own, whose members may outlive their parent)."""
    table = processes()
    found = {root}
    for _ in range(64):
        more = {pid for pid, (ppid, pgid) in table.items()
                if pid not in found and (ppid in found or (pgid != pid and pgid in found))}
        if not more:
            break
        found |= more
    return {pid for pid in found if pid in table}


def memory(*pids):
    """(RSS KiB, PSS KiB, processes) summed over those processes; zombies count as nothing."""
    rss = pss = count = 0
    for pid in pids:
        try:
            text = Path(f"/proc/{pid}/smaps_rollup").read_text()
        except OSError:
            continue
        r = re.search(r"^Rss:\s+(\d+)", text, re.M)
        p = re.search(r"^Pss:\s+(\d+)", text, re.M)
        if r and p:
            rss, pss, count = rss + int(r.group(1)), pss + int(p.group(1)), count + 1
    return rss, pss, count
