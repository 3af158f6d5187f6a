"""Where the tests find the command-line tool and the repository (set by ctest)."""

from __future__ import annotations

import os
import subprocess
from pathlib import Path

import pytest

SOURCE_DIR = Path(os.environ.get("PT_SOURCE_DIR", Path(__file__).resolve().parents[2]))
GOLDEN_DIR = SOURCE_DIR / "tests" / "data" / "golden"


def pytest_configure(config: pytest.Config) -> None:
    # The analysis' warnings of recordings that other tests track on purpose are no news;
    # test_warnings.py sets its own filters.
    config.addinivalue_line("filterwarnings", "ignore::pitchtrack.AnalysisWarning")


@pytest.fixture(scope="session")
def tool() -> Path:
    """The pitchtrack tool the CMake build made (PITCHTRACK_TOOL)."""
    path = os.environ.get("PITCHTRACK_TOOL")
    if not path or not os.access(path, os.X_OK):
        pytest.fail("PITCHTRACK_TOOL must name the built pitchtrack tool (ctest sets it)")
    return Path(path)


def run_tool(tool: Path, wav: Path) -> tuple[int, str, str]:
    """(exit status, pitch file or "", the reason printed for a refused file or "")."""
    out = wav.with_name(wav.name + ".tool.pitch")
    result = subprocess.run([str(tool), str(wav), str(out)], capture_output=True, text=True,
                            check=False)
    line = out.read_text() if result.returncode == 0 else ""
    out.unlink(missing_ok=True)
    prefix = f"pitchtrack: {wav}: "
    # A tracked file may still have warnings on standard error; only a refusal has a reason.
    refused = result.returncode != 0 and result.stderr.startswith(prefix)
    reason = result.stderr.strip()[len(prefix):] if refused else ""
    return result.returncode, line, reason
