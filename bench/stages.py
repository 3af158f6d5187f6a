#!/usr/bin/env python3
"""Where the time of whole runs goes: CPU milliseconds per stage of the analysis.

    bench/stages.py RUNS LABEL=TOOL [LABEL=TOOL ...] -- INPUT.wav [INPUT.wav ...]

TOOL is a program with any options, split at spaces ("precise=build/pitchtrack --precise").

For every tool and input: the median CPU time (user + system) of RUNS runs through
bench/measure.py, split by `perf record` samples of one more run into the stages below by the
symbol each sample fell in. Prints a Markdown table, one column per tool and input. Needs perf
(Debian: linux-perf) and a tool built with symbols (the release build keeps them).
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# (stage, pattern over the symbol); the first match wins, kernel symbols ([k]) not named here
# count as "kernel: page faults and memory". The precise analysis' stages come first; a run of
# the default analysis has none of their symbols, and the other way round.
STAGES = [
    ("precise: resample to its working rate", r"PreciseResampler|PreciseBoxDecimator"),
    ("precise: band limit (integer IIR lowpass)", r"PreciseIirLowpass"),
    ("precise: offset filter into the working signal", r"takeWorking|PreciseDcBlocker"),
    ("precise: correlation and energies", r"crossSums|prefixSquares|PreciseStretch::load"),
    ("precise: periodicity per lag", r"PreciseStretch::periodicit"),
    ("precise: candidates and peak interpolation", r"findPreciseCandidates|interpolatePeak|"
                                                   r"precisePeakShift|preciseLog2"),
    ("precise: frame choice, tenths, notes, sinks", r"PreciseTracker|PreciseAnalysis|"
                                                    r"preciseTenths|NoteSegmenter|"
                                                    r"checkEightBitRange|PreciseContourBuilder"),
    ("read and decode the file", r"WaveData|Riff|riff|MonoReader|mixInto|readBlock|decode|"
                                 r"_copy_to_iter|filemap_|copy_page_to_iter|ext4_|xfs_|"
                                 r"read_pages|__memmove"),
    ("resample to 8 kHz", r"interpolateRun|StreamingResampler|RatePhases"),
    ("input level, 16 to 8 bits", r"InputLevel|reduceSixteenBits|WorkingSignalBuilder|"
                                  r"pushNarrow|fitsByte"),
    ("frame preparation (centre, scale)", r"SampleScaler|prepareSmall|centredAutocorrelation|"
                                          r"analyseFrames|analyseInto"),
    ("autocorrelation", r"avx512Kernel|avx2Kernel|portableKernel|portableTail|autocorrelate"),
    ("extremum picking, candidate lists", r"pickRawCandidates|extremaMiddles|"
                                          r"appendRawCandidates|keepLagsInRange|extremaAvx|"
                                          r"extremaAtLevel|blockOneByOne|blockOfSteps|steps"
                                          r"Avx"),
    ("path search, both passes", r"searchPaths|PathSearch|linkFrame|linkAvx|"
                                 r"linkPortable|Avx2Kernel|Avx512Kernel|linkBestPredecessor|"
                                 r"buildLattice|searchRuns|trackPitch|__ieee754_log|"
                                 r"semitoneOfFrequency"),
    ("endpoint detector (volume, median, difference)", r"middlesByCounting|frameVolume|"
                                                       r"differenceSum|highOrderDiff|"
                                                       r"endpointDetect|activityThreshold|"
                                                       r"epd|Segment|voicedMask|volumesAvx|"
                                                       r"volumesPortable|differencesAvx|"
                                                       r"differencesPortable|countAtMost|"
                                                       r"detectSegments|activityMeasure|"
                                                       r"voicingOf|periodicMask"),
]
KERNEL = "kernel: page faults and memory"
OTHER = "everything else"


def cpu_seconds(runs, tool, wav, out):
    env = dict(os.environ)
    env.setdefault("MEASURED_RUN", os.path.join(HERE, "..", "build", "bench", "measured_run"))
    line = subprocess.run([sys.executable, os.path.join(HERE, "measure.py"), str(runs), *tool,
                           wav, out], capture_output=True, text=True, check=True, env=env).stdout
    return float(line.split()[1])


def shares(tool, wav, out):
    with tempfile.NamedTemporaryFile(suffix=".data") as data:
        subprocess.run(["perf", "record", "-q", "-F", "10000", "-o", data.name, *tool, wav, out],
                       capture_output=True, check=True)
        report = subprocess.run(["perf", "report", "-i", data.name, "--no-children", "--stdio",
                                 "--sort", "sym", "-q"], capture_output=True, text=True,
                                check=True).stdout
    totals = {}
    for line in report.splitlines():
        match = re.match(r"\s*([\d.]+)%\s+\[(.)\]\s+(.*)", line)
        if not match:
            continue
        percent, where, symbol = float(match.group(1)), match.group(2), match.group(3)
        stage = next((name for name, pattern in STAGES if re.search(pattern, symbol)), None)
        if stage is None:
            stage = KERNEL if where == "k" else OTHER
        totals[stage] = totals.get(stage, 0.0) + percent
    return totals


def main():
    args = sys.argv[1:]
    runs = int(args.pop(0))
    split = args.index("--")
    # A tool may carry options: "precise=build/pitchtrack --precise".
    tools = [(label, command.split()) for label, command in
             (entry.split("=", 1) for entry in args[:split])]
    inputs = args[split + 1:]
    columns = []
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out.pitch")
        for wav in inputs:
            for label, tool in tools:
                cpu = cpu_seconds(runs, tool, wav, out)
                columns.append((f"{label}, {os.path.basename(wav)}", cpu, shares(tool, wav, out)))
    names = [name for name, _ in STAGES] + [KERNEL, OTHER]
    print("| stage (CPU ms) | " + " | ".join(title for title, _, _ in columns) + " |")
    print("|---|" + "---|" * len(columns))
    for name in names:
        if all(part.get(name, 0.0) == 0.0 for _, _, part in columns):
            continue  # a stage of the other analysis
        cells = [f"{cpu * 1000 * part.get(name, 0.0) / 100:.0f}" for _, cpu, part in columns]
        print(f"| {name} | " + " | ".join(cells) + " |")
    print("| **whole process** | " + " | ".join(f"**{cpu * 1000:.0f}**" for _, cpu, _ in columns)
          + " |")


if __name__ == "__main__":
    main()
