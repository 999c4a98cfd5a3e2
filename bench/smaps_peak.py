#!/usr/bin/env python3
"""Runs a program, samples its /proc/PID/smaps every 2 ms until it ends and
prints where its resident memory was at the sample with the most: per kind
(the program, shared libraries, fonts and their caches, heap, other anonymous
memory, shared memory), split into anonymous pages (written by the process)
and file pages, then the largest regions. The program's output goes to
standard error.

    smaps_peak.py PROGRAM [ARGS...]
"""
import collections
import re
import subprocess
import sys
import time

INTERVAL_S = 0.002
LARGEST = 40
HEADER = re.compile(r"^([0-9a-f]+)-([0-9a-f]+) (\S+) \S+ \S+ \S+\s*(.*)$")


def read_smaps(pid):
    """The mappings of pid, each a dict; None once the process is gone."""
    try:
        with open(f"/proc/{pid}/smaps") as f:
            text = f.read()
    except (FileNotFoundError, ProcessLookupError):
        return None
    maps, current = [], None
    for line in text.splitlines():
        header = HEADER.match(line)
        if header:
            start, end = int(header[1], 16), int(header[2], 16)
            current = {"size": (end - start) // 1024, "perms": header[3], "name": header[4],
                       "rss": 0, "anon": 0}
            maps.append(current)
        elif line.startswith("Rss:"):
            current["rss"] = int(line.split()[1])
        elif line.startswith("Anonymous:"):
            current["anon"] = int(line.split()[1])
    return maps


def kind(mapping, program):
    name = mapping["name"]
    if name == program:
        return "the program"
    if name == "[heap]":
        return "main heap (brk)"
    if name.startswith("["):
        return "stack and kernel pages"
    if "/fontconfig/" in name:
        return "fontconfig caches"
    if re.search(r"\.(ttf|ttc|otf|pfb)$", name, re.I):
        return "font files"
    if re.search(r"\.so(\.|$)", name):
        return "shared libraries"
    if name.startswith(("/SYSV", "/dev/shm", "/memfd:")):
        return "shared memory"
    if name:
        return "other files"
    # Pictures, frames, thread arenas and stacks: malloc hands out blocks
    # from 128 KiB up (or more once it has freed one) as mappings of their own.
    return "anonymous mappings"


def main():
    program = subprocess.Popen(sys.argv[1:], stdout=sys.stderr)
    peak, peak_total, samples = None, -1, 0
    while program.poll() is None:
        maps = read_smaps(program.pid)
        if not maps:
            break
        samples += 1
        total = sum(m["rss"] for m in maps)
        if total > peak_total:
            peak, peak_total = maps, total
        time.sleep(INTERVAL_S)
    if program.wait() != 0:
        sys.exit(f"{sys.argv[1]} failed with status {program.returncode}")
    if not peak:
        sys.exit("no sample taken")

    anon, file = collections.Counter(), collections.Counter()
    for m in peak:
        k = kind(m, sys.argv[1])
        anon[k] += m["anon"]
        file[k] += m["rss"] - m["anon"]
    print(f"peak RSS {peak_total} KiB ({peak_total / 1024:.1f} MiB) over {samples} samples: "
          f"{sum(anon.values())} KiB anonymous, {sum(file.values())} KiB file and shared")
    print("     RSS KiB  (anonymous + file)  kind")
    for k in sorted(anon, key=lambda k: -(anon[k] + file[k])):
        if anon[k] + file[k]:
            print(f"  {anon[k] + file[k]:8d}  ({anon[k]:8d} + {file[k]:8d})  {k}")

    # Files summed over their mappings; anonymous mappings one by one.
    regions = collections.Counter()
    for m in peak:
        regions[m["name"] or f"(anonymous {m['perms']} {m['size']} KiB)"] += m["rss"]
    print("largest regions (RSS KiB):")
    for name, rss in regions.most_common(LARGEST):
        if rss:
            print(f"  {rss:8d}  {name}")


if __name__ == "__main__":
    main()
