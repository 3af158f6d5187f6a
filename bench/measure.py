#!/usr/bin/env python3
"""Runs a command several times and prints the medians of its wall time, CPU time (user +
system) and peak resident memory, as "wall_s cpu_s peak_kb".

    bench/measure.py RUNS command [args...]

Each run goes through measured_run (built beside this script's build, or named by
$MEASURED_RUN): a small static program that forks, execs the command, waits for it with wait4
and reports the child's own resource usage. Neither this interpreter nor a wrapper such as
/usr/bin/time is counted in the figures.
"""
import os
import statistics
import subprocess
import sys

MEASURED_RUN = os.environ.get("MEASURED_RUN", "build/bench/measured_run")


def run_once(command):
    result = subprocess.run([MEASURED_RUN] + command, capture_output=True, text=True, check=False)
    if result.returncode != 0:
        sys.exit(f"command failed ({result.returncode}): {' '.join(command)}")
    wall, cpu, peak = result.stdout.split()
    return float(wall), float(cpu), int(peak)


def main():
    runs = int(sys.argv[1])
    samples = [run_once(sys.argv[2:]) for _ in range(runs)]
    wall, cpu, peak = (statistics.median(column) for column in zip(*samples))
    print(f"{wall:.4f} {cpu:.4f} {int(peak)}")


if __name__ == "__main__":
    main()
