"""Damaged, extreme and degenerate WAV files through track_file: every file the tool refuses
raises WaveError with the tool's reason, every file it takes gives its pitch file, and the
interpreter goes on tracking afterwards."""

from __future__ import annotations

from pathlib import Path
from typing import Callable, NamedTuple, Optional

import numpy as np
import pytest

import pitchtrack
from conftest import GOLDEN_DIR, run_tool
from wavfiles import TAG_PCM, chunk, fmt_payload, riff, wave

NOT_WAVE = "not a RIFF WAVE file"
TRUNCATED = "truncated: the file ends inside the data chunk"


def tone16(count: int, f0: float = 220, rate: int = 8000) -> bytes:
    t = np.arange(count) / rate
    signal = 0.45 * sum(np.sin(2 * np.pi * k * f0 * t) / k
                        for k in range(1, 7) if k * f0 < rate / 2)
    return np.round(signal * 32767).astype("<i2").tobytes()


FMT = chunk(b"fmt ", fmt_payload())
DATA = chunk(b"data", tone16(800))


def long_data_with(**layout) -> bytes:
    """A fmt chunk of the given layout before five seconds of 16-bit tone."""
    fields = dict(tag=TAG_PCM, channels=1, rate=8000, bits=16) | layout
    return riff(chunk(b"fmt ", fmt_payload(**fields)) + chunk(b"data", tone16(40000)))


def truncated_header() -> bytes:
    return wave(tone16(800))[:30]


def million_tiny_chunks() -> bytes:
    voiced = bytes(4000) + tone16(8000) + bytes(4000)
    return riff(b"junk\0\0\0\0" * 1_000_000 + FMT + chunk(b"data", voiced))


def square_wave() -> bytes:
    high_low = np.where((np.arange(8000) // 20) % 2 == 0, 32767, -32768)
    samples = np.concatenate([np.zeros(4000), high_low, np.zeros(4000)]).astype("<i2")
    return wave(samples.tobytes())


def three_channel_24_bit() -> bytes:
    t = np.arange(48000) / 48000
    v = np.round(0.45 * sum(np.sin(2 * np.pi * k * 220 * t) / k for k in range(1, 7)) * 8388607)
    frames = np.stack([v, np.trunc(v / 2), np.trunc(-v / 4)], axis=1).astype("<i4")
    data = frames.view(np.uint8).reshape(-1, 4)[:, :3].tobytes()
    return wave(data, TAG_PCM, 3, 48000, 24)


class Case(NamedTuple):
    name: str
    image: Callable[[], bytes]
    reason: Optional[str]  # None: the file is tracked


CASES = [
    Case("empty file", lambda: b"", NOT_WAVE),
    Case("text file", lambda: b"pitch\tnot\n", NOT_WAVE),
    Case("truncated header", truncated_header, "truncated: the file ends inside the fmt chunk"),
    Case("RIFF of another form type", lambda: riff(FMT + DATA, form=b"AVI "), NOT_WAVE),
    Case("fmt of 2 bytes", lambda: riff(chunk(b"fmt ", b"\1\0") + DATA), "fmt chunk too short"),
    Case("fmt after data", lambda: riff(DATA + FMT), "the data chunk comes before the fmt chunk"),
    Case("no data chunk", lambda: riff(FMT), "no data chunk"),
    Case("data size 0", lambda: riff(FMT + chunk(b"data", b"")), "empty data chunk"),
    Case("data size 0x7FFFFFFF on a tiny file",
         lambda: riff(FMT + chunk(b"data", b"\1" * 8, 0x7FFFFFFF)), TRUNCATED),
    # Recorders writing to a pipe leave these placeholders: the data runs to the end.
    Case("data size placeholder 0xFFFFFFFF on a tiny file",
         lambda: riff(FMT + chunk(b"data", b"\1" * 8, 0xFFFFFFFF)), None),
    Case("data size placeholder 0x7FFFF000 on a tone",
         lambda: riff(FMT + chunk(b"data", bytes(4000) + tone16(8000), 0x7FFFF000)), None),
    Case("chunk size wrapping a 32-bit offset to itself",
         lambda: riff(FMT + chunk(b"junk", bytes(16), 0xFFFFFFF8) + chunk(b"data", tone16(2000))),
         "no data chunk"),
    Case("odd chunk size wrapping a 32-bit offset backwards",
         lambda: riff(FMT + chunk(b"junk", bytes(16), 0xFFFFFFF5) + chunk(b"data", tone16(2000))),
         "no data chunk"),
    Case("form size wrapping a 32-bit offset to the start",
         lambda: chunk(b"RIFF", b"AVI ", 0xFFFFFFF8) + wave(tone16(2000)),
         NOT_WAVE),
    Case("bits per sample 0", lambda: long_data_with(bits=0), "unsupported sample size: 0-bit PCM"),
    Case("bits per sample 4", lambda: long_data_with(bits=4), "unsupported sample size: 4-bit PCM"),
    Case("bits per sample 12", lambda: long_data_with(bits=12),
         "unsupported sample size: 12-bit PCM"),
    Case("float of 16 bits", lambda: long_data_with(tag=3, bits=16),
         "unsupported sample size: 16-bit float"),
    Case("IMA ADPCM", lambda: long_data_with(tag=0x0011, bits=4),
         "unsupported encoding IMA ADPCM (0x0011)"),
    Case("MPEG Layer 3", lambda: long_data_with(tag=0x0055, bits=0),
         "unsupported encoding MPEG Layer 3 (0x0055)"),
    Case("unknown encoding", lambda: long_data_with(tag=0x1234), "unsupported encoding (0x1234)"),
    Case("channels 0", lambda: long_data_with(channels=0), "no channels"),
    Case("sample rate 1", lambda: long_data_with(rate=1), "rate 1 Hz outside 1000-768000 Hz"),
    Case("sample rate 0", lambda: long_data_with(rate=0), "rate 0 Hz outside 1000-768000 Hz"),
    Case("sample rate 999", lambda: long_data_with(rate=999), "rate 999 Hz outside 1000-768000 Hz"),
    Case("sample rate 800000", lambda: long_data_with(rate=800000),
         "rate 800000 Hz outside 1000-768000 Hz"),
    Case("a million tiny chunks before data", million_tiny_chunks, None),
    Case("one sample", lambda: wave(tone16(1)), None),
    Case("511 samples", lambda: wave(tone16(511)), None),
    Case("512 samples", lambda: wave(tone16(512)), None),
    Case("all-zero audio", lambda: wave(bytes(32000)), None),
    Case("DC only, 8-bit", lambda: wave(bytes([200]) * 16000, bits=8), None),
    Case("full-scale square wave at 200 Hz", square_wave, None),
    Case("3 channels of 24 bits at 220 Hz", three_channel_24_bit, None),
    Case("odd data size of a 16-bit file", lambda: wave(tone16(4000) + b"\1"), None),
]

GOOD = GOLDEN_DIR / "01_melody_8k_u8"


@pytest.mark.parametrize("case", CASES, ids=[c.name for c in CASES])
def test_hostile_file(case: Case, tool: Path, tmp_path: Path) -> None:
    path = tmp_path / "hostile.wav"
    path.write_bytes(case.image())
    status, line, tool_reason = run_tool(tool, path)
    if case.reason is None:
        assert status == 0, tool_reason
        assert pitchtrack.track_file(path).line() == line
    else:
        assert (status, tool_reason) == (1, case.reason)
        with pytest.raises(pitchtrack.WaveError) as raised:
            pitchtrack.track_file(path)
        error = raised.value
        assert (error.path, error.reason) == (str(path), case.reason)
        assert error.code in (1, 6, 7) and error.code_text.endswith(".")
        assert str(error) == f"{path}: {case.reason}"
    # The interpreter and the library go on as before.
    assert pitchtrack.track_file(GOOD / "in.wav").line() == (GOOD / "expected.pitch").read_text()


class PathCase(NamedTuple):
    name: str
    path: Callable[[Path], object]
    code: int
    reason: str


PATH_CASES = [
    PathCase("missing file", lambda d: d / "missing.wav", 4, "no such file"),
    PathCase("a directory", lambda d: d, 4, "is a directory"),
    PathCase("bytes path of a missing file", lambda d: bytes(d / "missing.wav"), 4, "no such file"),
]


@pytest.mark.parametrize("case", PATH_CASES, ids=[c.name for c in PATH_CASES])
def test_unopenable_path(case: PathCase, tmp_path: Path) -> None:
    with pytest.raises(pitchtrack.WaveError) as raised:
        pitchtrack.track_file(case.path(tmp_path))
    assert (raised.value.code, raised.value.reason) == (case.code, case.reason)
    assert raised.value.code_text == "File open error."


def test_wave_error_codes_name_the_failing_step(tmp_path: Path) -> None:
    # Layout refusals are format mismatches (1), chunk damage chunk read errors (6), a data
    # chunk past the end a data read error (7).
    codes = {}
    for name, image in [("layout", long_data_with(rate=999)), ("chunks", riff(FMT)),
                        ("data", riff(FMT + chunk(b"data", b"\1" * 8, 0x7FFFFFFF)))]:
        (tmp_path / name).write_bytes(image)
        with pytest.raises(pitchtrack.WaveError) as raised:
            pitchtrack.track_file(tmp_path / name)
        codes[name] = (raised.value.code, raised.value.code_text)
    assert codes == {"layout": (1, "Wave format mismatch."),
                     "chunks": (6, "File chunk read error."),
                     "data": (7, "File data read error.")}
