#!/usr/bin/env python3
"""Tracks every WAV file under a folder on a dask.distributed cluster.

    dask_corpus.py FOLDER OUTDIR [--scheduler ADDRESS] [--workers N] [--batch N]

Without --scheduler the files are tracked on a LocalCluster on this machine (N worker
processes, one thread each; by default one per core). With --scheduler tcp://host:8786 they go
to a running cluster, whose workers must see FOLDER at the same path (a shared file system) and
have the pitchtrack package installed.

For every recording FOLDER/a/b.wav it writes OUTDIR/a/b.pitch, the pitch file the pitchtrack
tool would write, and OUTDIR/summary.csv with one row per recording:

    file           the recording, relative to FOLDER
    frames         values in the contour
    voiced_frames  values with a pitch
    median_pitch   median of those, in the contour's unit (tenths of a semitone; 690 = A4)
    seconds        time the worker took to track the file
    error          why the file could not be tracked (then no pitch file is written)

Files that fail are listed on standard error with their reason and the others complete; the
exit status is 0 when every file was tracked, 1 when any failed, 2 for a wrong command line.
"""

from __future__ import annotations

import argparse
import csv
import os
import sys
import time
from pathlib import Path

COLUMNS = ["file", "frames", "voiced_frames", "median_pitch", "seconds", "error"]


def track_batch(folder: str, names: list[str]) -> list[dict]:
    """Runs on a worker: the contours of FOLDER/name for each name, as summary rows with the
    pitch file's line under "line"."""
    import numpy as np

    import pitchtrack

    rows = []
    for name in names:
        start = time.perf_counter()
        row = {"file": name, "frames": "", "voiced_frames": "", "median_pitch": "",
               "error": "", "line": None}
        try:
            contour = pitchtrack.track_file(os.path.join(folder, name))
        except pitchtrack.WaveError as error:
            row["error"] = error.reason
        except (ValueError, MemoryError, pitchtrack.InternalError) as error:
            row["error"] = f"{type(error).__name__}: {error}"
        else:
            voiced = contour.values[contour.values != 0]
            row.update(frames=len(contour), voiced_frames=len(voiced), line=contour.line(),
                       median_pitch=f"{np.median(voiced):g}" if len(voiced) else "")
        row["seconds"] = f"{time.perf_counter() - start:.6f}"
        rows.append(row)
    return rows


def find_recordings(folder: Path) -> list[str]:
    """Every *.wav (any case) under folder, relative to it, in a stable order."""
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*")
                  if p.suffix.lower() == ".wav" and p.is_file())


def write_pitch_file(path: Path, line: str) -> None:
    """Writes the pitch file whole or not at all, as the tool does."""
    path.parent.mkdir(parents=True, exist_ok=True)
    partial = path.with_name(path.name + ".partial")
    partial.write_text(line)
    partial.replace(path)


def track_corpus(client, folder: Path, outdir: Path, names: list[str], batch: int) -> list[dict]:
    """Maps track_batch over the names on the client's cluster, writing pitch files as the
    results come in; returns the summary rows."""
    from distributed import as_completed

    batches = [names[i:i + batch] for i in range(0, len(names), batch)]
    futures = client.map(track_batch, [str(folder)] * len(batches), batches, pure=False)
    owner = {future.key: batch_names for future, batch_names in zip(futures, batches)}
    rows = []
    for future in as_completed(futures):
        try:
            results = future.result()
        except Exception as error:  # a worker lost, or the package missing on it
            results = [{"file": name, "frames": "", "voiced_frames": "", "median_pitch": "",
                        "seconds": "", "error": f"{type(error).__name__}: {error}", "line": None}
                       for name in owner[future.key]]
        for row in results:
            if row["line"] is not None:
                write_pitch_file(outdir / Path(row["file"]).with_suffix(".pitch"), row["line"])
            rows.append(row)
    return sorted(rows, key=lambda row: row["file"])


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", type=Path, help="folder searched for *.wav, subfolders too")
    parser.add_argument("outdir", type=Path, help="where the pitch files and summary.csv go")
    parser.add_argument("--scheduler", help="address of a running scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, help="LocalCluster worker processes (default: "
                        "one per core)")
    parser.add_argument("--batch", type=int, default=25,
                        help="recordings per task (default 25: a task of a few tens of ms "
                        "keeps the scheduler's overhead small)")
    args = parser.parse_args(argv)
    if not args.folder.is_dir() or args.batch < 1:
        parser.error(f"{args.folder} is not a folder" if args.batch >= 1 else "--batch < 1")

    from distributed import Client, LocalCluster

    folder = args.folder.resolve()
    names = find_recordings(folder)
    args.outdir.mkdir(parents=True, exist_ok=True)
    start = time.perf_counter()
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        started = time.perf_counter()
        rows = track_corpus(client, folder, args.outdir, names, args.batch)
        done = time.perf_counter()
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    with open(args.outdir / "summary.csv", "w", newline="") as summary:
        writer = csv.DictWriter(summary, COLUMNS, extrasaction="ignore")
        writer.writeheader()
        writer.writerows(rows)
    failed = [row for row in rows if row["error"]]
    for row in failed:
        print(f"dask_corpus: {row['file']}: {row['error']}", file=sys.stderr)
    print(f"{len(rows) - len(failed)} of {len(rows)} recordings tracked in {done - started:.2f} s "
          f"({started - start:.2f} s to start or reach the cluster); summary in "
          f"{args.outdir / 'summary.csv'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
