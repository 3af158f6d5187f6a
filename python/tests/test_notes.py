"""Notes from Python and the tool: track_notes() and Contour.notes() give the tool's CSV as a
numpy table, and the tool's MIDI file reads back (mido) with exactly the CSV's notes."""

from __future__ import annotations

import csv
import io
import pickle
import subprocess
from pathlib import Path

import mido
import numpy as np
import pytest

import pitchtrack
from wavfiles import wave

RATE = 16000


def hummed(notes: list[tuple[float, float, int]], seconds: float) -> np.ndarray:
    """A hum of five harmonics at each (onset, offset, MIDI note), silence elsewhere."""
    t = np.arange(int(seconds * RATE)) / RATE
    out = np.zeros_like(t)
    for onset, offset, note in notes:
        hz = 440.0 * 2 ** ((note - 69) / 12)
        inside = (t >= onset) & (t < offset)
        out[inside] = sum(np.sin(2 * np.pi * k * hz * t[inside]) / k for k in range(1, 6))
    return np.round(out * 8000).astype(np.int16)


@pytest.fixture(scope="module")
def recording(tmp_path_factory: pytest.TempPathFactory) -> Path:
    # Repeated notes after gaps, and a last note past 16.4 s: a delta of more than two bytes.
    notes = [(0.3, 0.8, 60), (0.9, 1.3, 60), (1.4, 2.0, 67), (2.1, 2.4, 66), (17.0, 17.5, 72)]
    path = tmp_path_factory.mktemp("notes") / "hum.wav"
    path.write_bytes(wave(hummed(notes, 18.0).tobytes(), rate=RATE))
    return path


def tool_output(tool: Path, wav: Path, fmt: str) -> bytes:
    return subprocess.run([str(tool), "-q", "--notes", f"--format={fmt}", str(wav), "-"],
                          check=True, capture_output=True).stdout


def midi_notes(data: bytes) -> list[tuple[int, int, int]]:
    """(onset ms, offset ms, note) of each note of a MIDI file, in order of onset."""
    midi = mido.MidiFile(file=io.BytesIO(data))
    assert midi.type == 0 and len(midi.tracks) == 1 and midi.ticks_per_beat == 1000
    tick, sounding, notes = 0, {}, []
    for message in midi.tracks[0]:
        tick += message.time
        if message.type == "set_tempo":
            assert message.tempo == 1000000  # one tick is one millisecond
        elif message.type == "note_on" and message.velocity > 0:
            sounding[message.note] = tick
        elif message.type in ("note_off", "note_on"):
            notes.append((sounding.pop(message.note), tick, message.note))
    return sorted(notes)


def test_the_midi_file_holds_exactly_the_notes_of_the_csv(tool: Path, recording: Path) -> None:
    rows = list(csv.DictReader(io.StringIO(tool_output(tool, recording, "csv").decode())))
    assert [int(r["note"]) for r in rows] == [60, 60, 67, 66, 72]
    expected = [(round(float(r["onset"]) * 1000), round(float(r["offset"]) * 1000),
                 int(r["note"])) for r in rows]
    assert midi_notes(tool_output(tool, recording, "midi")) == expected


def test_track_notes_and_contour_notes_give_the_csv_as_a_table(tool: Path,
                                                               recording: Path) -> None:
    rows = list(csv.DictReader(io.StringIO(tool_output(tool, recording, "csv").decode())))
    notes = pitchtrack.track_notes(recording)
    assert notes.dtype.names == ("onset", "offset", "note", "cents", "hz", "frames",
                                 "confidence", "level_db", "velocity")
    # The CSV's rounding: cents to a tenth, the others to a thousandth.
    for column, half_digit in (("onset", 5e-4), ("offset", 5e-4), ("cents", 0.05),
                               ("hz", 5e-4), ("confidence", 5e-4)):
        np.testing.assert_allclose(notes[column], [float(r[column]) for r in rows],
                                   rtol=0, atol=half_digit + 1e-9)
    for column in ("note", "frames", "velocity"):
        assert notes[column].tolist() == [int(r[column]) for r in rows]
    contour = pitchtrack.track_file(recording, precise=True)
    assert contour.notes().tobytes() == notes.tobytes()
    assert pickle.loads(pickle.dumps(contour)).notes().tobytes() == notes.tobytes()
    assert len(pitchtrack.track_file(recording).notes()) == 0  # the default analysis has none
    assert pitchtrack.track_notes(recording, min_note=0.55)["note"].tolist() == [67]
    with pytest.raises(ValueError):
        pitchtrack.track_notes(recording, onset_db=0)
