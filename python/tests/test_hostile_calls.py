"""Calls that once crashed the interpreter or raised the wrong exception: an object made by
Tracker.__new__ alone, a conversion that runs out of memory, an endless file."""

from __future__ import annotations

import subprocess
import sys
import textwrap

import pytest

import pitchtrack

UNINITIALISED = [
    ("finish", lambda t: t.finish()),
    ("push", lambda t: t.push([0, 0])),
    ("sample_rate", lambda t: t.sample_rate),
    ("bits", lambda t: t.bits),
    ("finished", lambda t: t.finished),
]


@pytest.mark.parametrize("name,use", UNINITIALISED, ids=[name for name, _ in UNINITIALISED])
def test_an_uninitialised_tracker_raises_type_error(name, use):
    tracker = pitchtrack.Tracker.__new__(pitchtrack.Tracker)
    with pytest.raises(TypeError, match="not initialised"):
        use(tracker)


def run_python(code: str) -> subprocess.CompletedProcess:
    """Runs `code` in a fresh interpreter (a memory limit must not reach this one)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=120, check=False, env=None)


def test_a_conversion_without_memory_raises_memory_error():
    # A strided array must be copied before the analysis; the copy is what runs out of memory.
    result = run_python(
        """
        import resource, numpy as np, pitchtrack
        samples = np.zeros(60_000_000, dtype=np.int16)
        pages = int(open('/proc/self/statm').read().split()[0])
        limit = pages * resource.getpagesize() + (20 << 20)
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        try:
            pitchtrack.track(samples[::2], 16000)
        except MemoryError:
            print("MemoryError")
        except Exception as error:
            print(type(error).__name__, error)
        """
    )
    assert result.stdout == "MemoryError\n", result.stdout + result.stderr


def test_an_endless_device_is_refused_at_once():
    with pytest.raises(pitchtrack.WaveError, match="not a RIFF WAVE file"):
        pitchtrack.track_file("/dev/urandom")
