#!/usr/bin/env python3
"""Times the tool (default and --precise) and the peer `aubiopitch -p yinfft -B 1024 -H 256` on
the hour of real recordings at 8 kHz 8-bit and 44.1 kHz 16-bit, interleaved, and prints the
rows of bench/RESULTS.md's table of that hour.

    bench/hour_rows.py RUNS TOOL REAL8.wav REAL44.wav [OUT_DIR]

Each round runs every command once, in the same order, so a change in the machine's load
touches all of them alike; the figures are the medians over RUNS rounds of each command's own
CPU time (user + system), wall time and peak resident memory, read by measured_run (wait4).
The ratios divide audio seconds per CPU second by the peer's on the 8 kHz hour (the targets'
reference) and, in the last column, by the peer's on the same file.
"""
import os
import statistics
import subprocess
import sys

MEASURED_RUN = os.environ.get("MEASURED_RUN", "build/bench/measured_run")
HOUR = 3600.0
PEER = ["aubiopitch", "-p", "yinfft", "-B", "1024", "-H", "256", "-i"]


def run_once(command):
    result = subprocess.run([MEASURED_RUN] + command, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, check=False)
    if result.returncode != 0:
        sys.exit(f"command failed ({result.returncode}): {' '.join(command)}")
    wall, cpu, peak = result.stdout.split()
    return float(wall), float(cpu), int(peak)


def commands(tool, real8, real44, out):
    pitch = os.path.join(out, "real.pitch")
    return {
        ("8", "default"): [tool, real8, pitch],
        ("8", "precise"): [tool, "--precise", real8, pitch],
        ("8", "peer"): ["sh", "-c", " ".join(PEER + [real8]) + " > /dev/null"],
        ("44", "default"): [tool, real44, pitch],
        ("44", "precise"): [tool, "--precise", real44, pitch],
        ("44", "peer"): ["sh", "-c", " ".join(PEER + [real44]) + " > /dev/null"],
    }


def medians(runs, table):
    samples = {key: [] for key in table}
    for _ in range(runs):
        for key, command in table.items():
            samples[key].append(run_once(command))
    return {key: tuple(statistics.median(c) for c in zip(*s)) for key, s in samples.items()}


def main():
    runs, tool, real8, real44 = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    out = sys.argv[5] if len(sys.argv) > 5 else os.path.dirname(real8)
    figures = medians(runs, commands(tool, real8, real44, out))
    rate = {key: HOUR / f[1] for key, f in figures.items()}
    names = {"8": "60 min real recordings, 8 kHz 8-bit", "44": "60 min real recordings, 44.1 kHz 16-bit"}
    labels = {"default": "pitchtrack", "precise": "pitchtrack --precise",
              "peer": "aubiopitch -p yinfft -B 1024 -H 256"}
    for hour in ("8", "44"):
        for who in ("default", "precise", "peer"):
            wall, cpu, peak = figures[(hour, who)]
            to8 = rate[(hour, who)] / rate[("8", "peer")]
            same = rate[(hour, who)] / rate[(hour, "peer")]
            print(f"| {names[hour]} | {labels[who]} | {rate[(hour, who)]:.0f} | {cpu:.3f} s "
                  f"| {wall:.3f} s | {peak // 1024} MB | {to8:.2f} x | {same:.2f} x |")


if __name__ == "__main__":
    main()
