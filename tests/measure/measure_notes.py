#!/usr/bin/python3
"""Note transcription of generated sung and hummed melodies, scored with mir_eval.

Runs `pitchtrack --notes --format=csv` and the peer `aubionotes` (at its defaults) on the
melodies of note_melodies.cpp, clean, at 20 and 10 dB SNR and in a small room, and prints the note F-measures of
mir_eval.transcription.precision_recall_f1_overlap: COnP (onset within 50 ms, pitch within 50
cents, offsets ignored) and COnPOff (the offset too, within 20 % of the note or 50 ms). A row's
score is the melody's F-measure; "mean" is the mean over the melodies.

Run: python3 tests/measure/measure_notes.py [BUILD_DIR]
"""
import csv
import pathlib
import shutil
import subprocess
import sys
import tempfile

import mir_eval
import numpy as np


def hz(midi):
    return 440.0 * 2.0 ** ((np.asarray(midi, dtype=float) - 69) / 12)


def read_truth(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    return [(float(r["onset"]), float(r["offset"]), float(r["note"])) for r in rows]


def pitchtrack_notes(build, wav, out):
    subprocess.run([str(build / "pitchtrack"), "-q", "--notes", "--format=csv", str(wav), str(out)],
                   check=True)
    return read_truth(out)


def aubio_notes(wav):
    text = subprocess.run(["aubionotes", "-i", str(wav)], check=True, capture_output=True,
                          text=True).stdout
    notes = []
    for line in text.splitlines():
        fields = line.split()
        if len(fields) == 3 and float(fields[2]) > float(fields[1]):
            notes.append((float(fields[1]), float(fields[2]), float(fields[0])))
    return notes


def f_measures(truth, estimate):
    """COnP and COnPOff F-measures of `estimate` against `truth`, lists of (onset, offset, midi)."""
    if not estimate:
        return 0.0, 0.0
    ref_i = np.array([[n[0], n[1]] for n in truth])
    est_i = np.array([[n[0], n[1]] for n in estimate])
    ref_p, est_p = hz([n[2] for n in truth]), hz([n[2] for n in estimate])
    common = dict(onset_tolerance=0.05, pitch_tolerance=50.0)
    conp = mir_eval.transcription.precision_recall_f1_overlap(
        ref_i, ref_p, est_i, est_p, offset_ratio=None, **common)[2]
    conpoff = mir_eval.transcription.precision_recall_f1_overlap(
        ref_i, ref_p, est_i, est_p, offset_ratio=0.2, offset_min_tolerance=0.05, **common)[2]
    return conp, conpoff


VARIANTS = ("clean", "20 dB SNR", "10 dB SNR", "room")


def variant(name):
    for label in VARIANTS[1:]:
        if name.endswith(label.replace(" ", "_")):
            return label
    return "clean"


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
    peer = shutil.which("aubionotes") is not None
    folder = pathlib.Path(tempfile.mkdtemp(prefix="pitchtrack-notes-"))
    try:
        bases = subprocess.run([str(build / "tests" / "make_note_melodies"), str(folder)],
                               check=True, capture_output=True, text=True).stdout.split()
        rows = []
        for base in map(pathlib.Path, bases):
            wav = base.with_suffix(".wav")
            truth = read_truth(base.with_suffix(".truth.csv"))
            ours = f_measures(truth, pitchtrack_notes(build, wav, base.with_suffix(".notes.csv")))
            theirs = f_measures(truth, aubio_notes(wav)) if peer else (float("nan"),) * 2
            rows.append((base.name, variant(base.name), len(truth), ours, theirs))
    finally:
        shutil.rmtree(folder)
    print("Note F-measure (mir_eval; COnP: onset 50 ms, pitch 50 cents; COnPOff: and offset "
          "20 % or 50 ms)\n")
    print(f"| {'melody':34} | notes | pitchtrack COnP | COnPOff | aubionotes COnP | COnPOff |")
    print(f"|{'-' * 36}|------:|----------------:|--------:|----------------:|--------:|")
    for label in VARIANTS:
        group = [r for r in rows if r[1] == label]
        for name, _, count, ours, theirs in group:
            print(f"| {name:34} | {count:5} | {ours[0]:15.3f} | {ours[1]:7.3f} | "
                  f"{theirs[0]:15.3f} | {theirs[1]:7.3f} |")
        mean = lambda k, i: np.mean([r[k][i] for r in group])
        label = "mean, " + label
        print(f"| **{label}**{' ' * (30 - len(label))} |       | {mean(3, 0):15.3f} | "
              f"{mean(3, 1):7.3f} | {mean(4, 0):15.3f} | {mean(4, 1):7.3f} |")


if __name__ == "__main__":
    main()
