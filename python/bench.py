#!/usr/bin/env python3
"""Measures the Python module against the C++ library and over a corpus.

    PYTHONPATH=build/python python3 python/bench.py [--build build] [--runs 5]

1. The cost of one pitchtrack.track() call on a 10 s recording against the same call of
   pitchtrack::track timed inside C++ (the pitchtrack_timing helper module, built with the
   CMake build only): the binding's share is the difference.
2. 1,000 recordings of 8 s (8 kHz 8-bit, made by bench/make_recording like bench/run.sh's
   corpus) through a ThreadPoolExecutor of 2: from arrays in memory, and from the files.
3. examples/dask_corpus.py over the same files on a 2-worker LocalCluster.

Prints a Markdown section for bench/RESULTS.md. Times are medians of --runs runs.
"""

from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
# The package's sources beside this script have no compiled module: use the built one.
sys.path = [p for p in sys.path if Path(p or ".").resolve() != HERE]

import pitchtrack  # noqa: E402
import pitchtrack_timing  # noqa: E402


def read_pcm(path: Path) -> tuple[np.ndarray, int]:
    """Samples and rate of a canonical mono PCM file as make_recording writes it."""
    image = path.read_bytes()
    rate, bits = int.from_bytes(image[24:28], "little"), int.from_bytes(image[34:36], "little")
    data = image[44:]
    return (np.frombuffer(data, np.uint8) if bits == 8 else np.frombuffer(data, "<i2")), rate


def call_cost(samples: np.ndarray, rate: int, runs: int) -> tuple[float, float]:
    """(median seconds of a Python call, median seconds of the C++ call) over interleaved
    batches, so that the machine's drift affects both alike."""
    bits = 8 if samples.dtype == np.uint8 else 16
    as_int16 = samples.astype(np.int16)
    python, native = [], []
    for _ in range(runs * 20):
        start = time.perf_counter()
        pitchtrack.track(samples, rate)
        python.append(time.perf_counter() - start)
        native += pitchtrack_timing.track_seconds(as_int16, rate, bits, 1)
    assert pitchtrack.track(samples, rate).values.tolist() == \
        pitchtrack.track(as_int16, rate, bits=bits).values.tolist()
    return statistics.median(python), statistics.median(native)


def timed(function, runs: int) -> tuple[float, float]:
    """Median wall and CPU (all threads of the process) seconds of `runs` runs."""
    wall, cpu = [], []
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), time.process_time()
        function()
        wall.append(time.perf_counter() - start)
        cpu.append(time.process_time() - start_cpu)
    return statistics.median(wall), statistics.median(cpu)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", type=Path, default=HERE.parent / "build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--files", type=int, default=1000)
    args = parser.parse_args()
    make_recording = args.build / "bench" / "make_recording"
    rows = []
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        for label, seconds, rate, bits in [("10 s, 8 kHz 8-bit", 10, 8000, 8),
                                           ("10 s, 44.1 kHz 16-bit", 10, 44100, 16)]:
            path = work / "ten.wav"
            subprocess.run([str(make_recording), str(path), str(seconds), str(rate), str(bits)],
                           check=True)
            samples, _ = read_pcm(path)
            python, native = call_cost(samples, rate, args.runs)
            rows.append((label, python, native))

        corpus = work / "corpus"
        corpus.mkdir()
        for i in range(args.files):
            subprocess.run([str(make_recording), str(corpus / f"r{i}.wav"), "8", "8000", "8",
                            str(i % 12)], check=True)
        paths = sorted(corpus.glob("*.wav"))
        arrays = [read_pcm(p)[0] for p in paths]

        def pooled_arrays():
            with ThreadPoolExecutor(max_workers=2) as pool:
                return list(pool.map(lambda a: pitchtrack.track(a, 8000), arrays))

        def pooled_files():
            with ThreadPoolExecutor(max_workers=2) as pool:
                return list(pool.map(pitchtrack.track_file, paths))

        def serial_arrays():
            return [pitchtrack.track(a, 8000) for a in arrays]

        assert pooled_arrays() == pooled_files() == serial_arrays()
        corpus_rows = [("arrays in memory, ThreadPoolExecutor(2)",
                        timed(pooled_arrays, args.runs)),
                       ("arrays in memory, one thread", timed(serial_arrays, args.runs)),
                       ("files (page cache), ThreadPoolExecutor(2)", timed(pooled_files, args.runs))]

        dask_runs = []
        for run in range(max(1, args.runs // 2)):
            outdir = work / f"out{run}"
            start = time.perf_counter()
            result = subprocess.run([sys.executable, str(HERE / "examples" / "dask_corpus.py"),
                                     str(corpus), str(outdir), "--workers", "2"],
                                    capture_output=True, text=True, check=True)
            total = time.perf_counter() - start
            match = re.search(r"tracked in ([\d.]+) s \(([\d.]+) s to start or reach",
                              result.stdout)
            dask_runs.append((total, float(match.group(1)), float(match.group(2))))
        dask_total, dask_map, dask_start = (statistics.median(r[i] for r in dask_runs)
                                            for i in range(3))

    print("## Python module\n")
    print(f"`python/bench.py` on {time.strftime('%Y-%m-%d')}: {os.cpu_count()} cores, load "
          f"average at start {os.getloadavg()[0]:.2f}; medians of {args.runs * 20} calls or "
          f"{args.runs} runs.\n")
    print("| one call | `pitchtrack.track` from Python | `pitchtrack::track` timed in C++ | "
          "the binding adds |")
    print("|---|---|---|---|")
    for label, python, native in rows:
        print(f"| {label} | {python * 1e3:.3f} ms | {native * 1e3:.3f} ms | "
              f"{(python / native - 1) * 100:+.1f} % |")
    print(f"\n| {args.files:,} recordings of 8 s, 8 kHz 8-bit | wall | CPU of the process |")
    print("|---|---|---|")
    for label, (wall, cpu) in corpus_rows:
        print(f"| {label} | {wall:.3f} s | {cpu:.3f} s |")
    print("| `examples/dask_corpus.py`, LocalCluster of 2 workers, whole run | "
          f"{dask_total:.2f} s | – |")
    print(f"| of which starting the cluster | {dask_start:.2f} s | – |")
    print(f"| of which tracking (tasks of 25 files, pitch files written by the client) | "
          f"{dask_map:.2f} s | – |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
