"""Files that cannot be opened raise the OSError Python code expects (FileNotFoundError,
PermissionError, IsADirectoryError) that is also a pitchtrack.WaveError."""

from __future__ import annotations

import errno
import json
import os
import pickle
import subprocess
import sys
from pathlib import Path

import pytest

import pitchtrack


def failure_of(path: str) -> dict:
    """What track_file(path) raised: its classes that matter, errno, filename and text."""
    try:
        pitchtrack.track_file(path)
    except pitchtrack.WaveError as error:
        again = pickle.loads(pickle.dumps(error))
        return {"classes": [c.__name__ for c in (FileNotFoundError, PermissionError,
                                                 IsADirectoryError) if isinstance(error, c)],
                "errno": getattr(error, "errno", None), "filename": getattr(error, "filename", None),
                "text": str(error),
                "pickled": [type(again) is type(error), str(again), again.reason]}
    return {}


def failure_as_nobody(path: Path) -> dict:
    """failure_of(path) in a child process without root's right to read every file."""
    code = (f"import sys, json; sys.path.insert(0, {str(Path(__file__).parent)!r}); "
            "from test_open_failures import failure_of; print(json.dumps(failure_of(sys.argv[1])))")
    result = subprocess.run([sys.executable, "-c", code, str(path)], capture_output=True,
                            text=True, user=65534, check=True)
    return json.loads(result.stdout)


CASES = [
    ("missing", "missing.wav", FileNotFoundError, errno.ENOENT, "no such file"),
    ("unreadable", "locked.wav", PermissionError, errno.EACCES, "permission denied"),
    ("folder", "folder", IsADirectoryError, errno.EISDIR, "is a directory"),
]


@pytest.mark.parametrize("name, file, oserror, code, reason", CASES, ids=[c[0] for c in CASES])
def test_open_failure_is_an_os_error_and_a_wave_error(tmp_path: Path, name: str, file: str,
                                                      oserror: type, code: int,
                                                      reason: str) -> None:
    path = tmp_path / file
    if name == "unreadable":
        path.write_bytes(b"RIFF")
        path.chmod(0)
    if name == "folder":
        path.mkdir()
    found = failure_as_nobody(path) if name == "unreadable" and os.geteuid() == 0 \
        else failure_of(str(path))
    assert found["classes"] == [oserror.__name__]
    assert (found["errno"], found["filename"]) == (code, str(path))
    assert found["text"] == f"{path}: {reason}"
    assert found["pickled"] == [True, f"{path}: {reason}", reason]


def test_other_failures_stay_plain_wave_errors(tmp_path: Path) -> None:
    path = tmp_path / "text.wav"
    path.write_text("not a recording\n")
    with pytest.raises(pitchtrack.WaveError) as raised:
        pitchtrack.track_file(path)
    assert not isinstance(raised.value, OSError) and raised.value.reason == "not a RIFF WAVE file"
