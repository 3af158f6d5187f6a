"""examples/dask_corpus.py on a LocalCluster of 2 workers over 100 recordings (and 3 broken
files): every pitch file as the tool writes it, the summary, the failures."""

from __future__ import annotations

import csv
import os
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import SOURCE_DIR, run_tool
from test_against_tool import recording
from wavfiles import riff, chunk, fmt_payload, voice

SCRIPT = SOURCE_DIR / "python" / "examples" / "dask_corpus.py"
BROKEN = {
    "broken/empty.wav": b"",
    "broken/text.WAV": b"not a wave file\n",
    "no_data.wav": riff(chunk(b"fmt ", fmt_payload())),
}


@pytest.fixture(scope="module")
def run(tmp_path_factory: pytest.TempPathFactory, tool: Path):
    corpus = tmp_path_factory.mktemp("corpus")
    for index in range(100):
        name, encoding, rate, channels, level = recording(index)
        sub = corpus / ["", "low", "low/deeper", "high"][index % 4]
        sub.mkdir(parents=True, exist_ok=True)
        (sub / f"{name}.wav").write_bytes(encoding.file(voice(rate, 1.0, index, channels, level),
                                                        rate)[0])
    for name, image in BROKEN.items():
        (corpus / name).parent.mkdir(parents=True, exist_ok=True)
        (corpus / name).write_bytes(image)
    (corpus / "notes.txt").write_text("not a recording")
    outdir = tmp_path_factory.mktemp("out")
    result = subprocess.run([sys.executable, str(SCRIPT), str(corpus), str(outdir), "--workers",
                             "2", "--batch", "7"], capture_output=True, text=True,
                            env=os.environ | {"PYTHONWARNINGS": "ignore"}, timeout=300)
    expected = {str(p.relative_to(corpus)): run_tool(tool, p)
                for p in corpus.rglob("*") if p.suffix.lower() == ".wav"}
    return result, outdir, expected


def test_exit_status_and_failures(run) -> None:
    result, _, expected = run
    assert result.returncode == 1, result.stderr
    listed = sorted(line for line in result.stderr.splitlines() if line.startswith("dask_corpus:"))
    refused = sorted(f"dask_corpus: {name}: {reason}"
                     for name, (status, _, reason) in expected.items() if status != 0)
    assert listed == refused and len(refused) == len(BROKEN)
    assert "100 of 103 recordings tracked" in result.stdout


def test_every_pitch_file_is_the_tools(run) -> None:
    _, outdir, expected = run
    written = {str(p.relative_to(outdir)) for p in outdir.rglob("*.pitch")}
    assert written == {str(Path(n).with_suffix(".pitch")) for n, e in expected.items() if e[0] == 0}
    for name, (status, line, _) in expected.items():
        if status == 0:
            assert (outdir / Path(name).with_suffix(".pitch")).read_text() == line, name


def test_summary(run) -> None:
    _, outdir, expected = run
    with open(outdir / "summary.csv", newline="") as summary:
        rows = list(csv.DictReader(summary))
    assert list(rows[0]) == ["file", "frames", "voiced_frames", "median_pitch", "seconds", "error"]
    assert sorted(row["file"] for row in rows) == sorted(expected)
    for row in rows:
        status, line, reason = expected[row["file"]]
        values = [int(v) for v in line.split("+")] if line.strip() else []
        voiced = sorted(v for v in values if v)
        assert row["error"] == reason
        assert row["frames"] == ("" if status else str(len(values)))
        assert row["voiced_frames"] == ("" if status else str(len(voiced)))
        if voiced:
            middle = (voiced[(len(voiced) - 1) // 2] + voiced[len(voiced) // 2]) / 2
            assert float(row["median_pitch"]) == middle
        assert float(row["seconds"]) >= 0
