#!/usr/bin/env python3
"""The Windows program under Wine: start-up on a database to the window shown
with its list filled, and the program's peak resident memory.

    bench/wine_program.py --build BUILD --database FILE [--repeat K]

BUILD is a build of the engine-backed Windows program (the windows-jet
preset, or windows-jet-x64 where the machine runs no 32-bit code).  Each run
copies the database beside a fresh norvane.exe, starts it, and waits for the
main window through the test driver.  The time counts from the process's
start, so it includes Wine's own start of a process.  Prints one line of
key=value pairs.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ui", "win32", "testing"))
from wine_harness import Desktop, Program, find_build  # noqa: E402


def peak_rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def one_start(desktop, build, loader, database):
    """(seconds to the window shown, rows listed, peak RSS in kB)."""
    program = Program(desktop, build, loader, database=database)
    try:
        program("attach", 600000)
        shown = time.monotonic() - program.started
        rows = int(program("rows")[0])
        return shown, rows, peak_rss_kb(program.process.pid)
    finally:
        program.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--database", required=True)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    os.environ["NORVANE_WINDOWS_JET_BUILD"] = args.build
    build, loader, reason = find_build("NORVANE_WINDOWS_JET_BUILD")
    if reason:
        print("status=n/a reason=" + reason.replace(" ", "_"))
        return 0
    desktop = Desktop()
    desktop.start()
    try:
        runs = [one_start(desktop, build, loader, args.database) for _ in range(args.repeat)]
    finally:
        desktop.stop()
    seconds = [r[0] for r in runs]
    print("status=ok startup_median_s=%.3f startup_min_s=%.3f startup_max_s=%.3f rows=%d peak_rss_kb=%d"
          % (statistics.median(seconds), min(seconds), max(seconds), runs[-1][1], max(r[2] for r in runs)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
