"""track_file reads the containers other than WAV by their content: a FLAC copy of a WAV file
gives the WAV's contour, or, in a module built without libsndfile, a WaveError naming FLAC."""

from __future__ import annotations

import shutil
import subprocess
from pathlib import Path

import pytest

import pitchtrack
from conftest import GOLDEN_DIR

WITHOUT = "FLAC not supported: built without libsndfile"


@pytest.mark.skipif(shutil.which("sox") is None, reason="needs sox")
@pytest.mark.parametrize("case", ["05_melody_44100_stereo", "06_melody_48000_s24_ext",
                                  "01_melody_8k_u8"])
def test_flac_copy_gives_the_wav_contour(tmp_path: Path, case: str) -> None:
    wav = GOLDEN_DIR / case / "in.wav"
    # A name that does not say FLAC: the content decides.
    flac = tmp_path / "copy.wav"
    subprocess.run(["sox", "-D", str(wav), "-t", "flac", str(flac)], check=True)
    expected = pitchtrack.track_file(wav)
    assert len(expected) > 10
    try:
        got = pitchtrack.track_file(flac)
    except pitchtrack.WaveError as error:
        assert error.reason == WITHOUT
        return
    assert got.line() == expected.line()
    assert got.first_frame == expected.first_frame


def test_refusal_names_the_format(tmp_path: Path) -> None:
    damaged = tmp_path / "damaged.flac"
    damaged.write_bytes(b"fLaC" + bytes(30))
    with pytest.raises(pitchtrack.WaveError) as raised:
        pitchtrack.track_file(damaged)
    assert raised.value.reason.startswith("FLAC")
