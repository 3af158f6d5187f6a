#!/usr/bin/env python3
"""Runs a command several times and prints the medians of its wall time, CPU time (user +
system, from the kernel's resource accounting at microsecond resolution) and peak resident
memory, as "wall_s cpu_s peak_kb".

    bench/measure.py RUNS command [args...]

The command runs under /usr/bin/time, which reports its peak memory: a child forked straight
from this Python process would count the interpreter's own pages in its peak. The CPU time
comes from the kernel's accounting of that small wrapper and the command it waited for.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(command):
    with tempfile.NamedTemporaryFile("r") as report:
        wrapped = ["/usr/bin/time", "-f", "%M", "-o", report.name] + command
        start = time.perf_counter()
        with open(os.devnull, "wb") as null:
            process = subprocess.Popen(wrapped, stdout=null, stderr=null)
            _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"command failed: {' '.join(command)}")
        peak = int(report.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, peak


def main():
    runs = int(sys.argv[1])
    samples = [run_once(sys.argv[2:]) for _ in range(runs)]
    wall, cpu, peak = (statistics.median(column) for column in zip(*samples))
    print(f"{wall:.4f} {cpu:.4f} {int(peak)}")


if __name__ == "__main__":
    main()
