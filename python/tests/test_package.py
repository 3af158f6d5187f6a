"""The package as its users meet it: stubs, docstrings, the README example, the pip build's
list of sources, and silence on the standard streams."""

from __future__ import annotations

import ast
import json
import os
import runpy
import subprocess
import sys
from pathlib import Path

import pytest

import pitchtrack
from conftest import GOLDEN_DIR, SOURCE_DIR, run_tool

PACKAGE = SOURCE_DIR / "python" / "pitchtrack"
MELODY = GOLDEN_DIR / "03_melody_44100_s16" / "in.wav"


def stub_names(path: Path) -> dict[str, set[str]]:
    """Top-level names of a stub file, and the members of each class in it."""
    names: dict[str, set[str]] = {}
    for node in ast.parse(path.read_text()).body:
        if isinstance(node, ast.ClassDef):
            names[node.name] = {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
        elif isinstance(node, ast.FunctionDef):
            names[node.name] = set()
        elif isinstance(node, ast.AnnAssign) and isinstance(node.target, ast.Name):
            names[node.target.id] = set()
    return names


def test_stubs_match_the_compiled_module() -> None:
    compiled = pitchtrack._pitchtrack
    stubs = stub_names(PACKAGE / "_pitchtrack.pyi")
    public = {n for n in dir(compiled) if not n.startswith("_")} | {"__version__"}
    assert {n for n in stubs if not n.startswith("_") or n == "__version__"} == public
    for cls in (pitchtrack.Contour, pitchtrack.Tracker):
        members = {n for n in vars(cls) if not n.startswith("_")}
        assert stubs[cls.__name__] >= members, cls.__name__
    assert (PACKAGE / "py.typed").exists()


PUBLIC = {"pitchtrack": pitchtrack,
          **{n: getattr(pitchtrack, n) for n in ("track", "track_file", "Contour", "Tracker",
                                                 "WaveError", "InternalError",
                                                 "AnalysisWarning")},
          **{f"{c.__name__}.{n}": getattr(c, n) for c in (pitchtrack.Contour, pitchtrack.Tracker)
             for n in vars(c) if not n.startswith("_")}}


@pytest.mark.parametrize("name", sorted(PUBLIC))
def test_public_names_are_documented(name: str) -> None:
    doc = PUBLIC[name].__doc__
    assert doc and len(doc.strip()) > 15


def test_help_shows_real_signatures() -> None:
    import inspect

    assert str(inspect.signature(pitchtrack.track)).startswith("(samples: 'Samples', sample_rate")
    assert str(inspect.signature(pitchtrack.Tracker)) == (
        "(sample_rate, bits=16, *, precise=False, normalize=False, keep_final=False, "
        "voicing='relative', live=False, channel_axis=None)"
    )
    assert str(inspect.signature(pitchtrack.Contour().line)) == "()"
    assert str(inspect.signature(pitchtrack.Tracker(8000).push)) == "(block)"


def test_only_the_public_names_show() -> None:
    public = {n for n in dir(pitchtrack) if not n.startswith("_")}
    assert public == set(pitchtrack.__all__) - {"__version__"}
    assert {"AnalysisWarning", "track", "Contour"} <= public


def test_readme_example(tmp_path: Path, tool: Path) -> None:
    pytest.importorskip("matplotlib")  # the example itself runs without it (next test)
    picture = tmp_path / "contour.png"
    result = subprocess.run([sys.executable, str(SOURCE_DIR / "python" / "examples" /
                                                 "plot_contour.py"), str(MELODY), str(picture)],
                            capture_output=True, text=True, env=os.environ | {"MPLBACKEND": "Agg"},
                            check=True)
    assert result.stdout == run_tool(tool, MELODY)[1]
    assert picture.read_bytes().startswith(b"\x89PNG")


def test_readme_example_without_matplotlib(tmp_path: Path, tool: Path) -> None:
    # A matplotlib that cannot be imported, shadowing the installed one.
    (tmp_path / "matplotlib").mkdir()
    (tmp_path / "matplotlib" / "__init__.py").write_text("raise ImportError('hidden')\n")
    env = os.environ | {"PYTHONPATH": f"{tmp_path}{os.pathsep}{os.environ.get('PYTHONPATH', '')}"}
    result = subprocess.run([sys.executable, str(SOURCE_DIR / "python" / "examples" /
                                                 "plot_contour.py"), str(MELODY)],
                            capture_output=True, text=True, env=env, check=True)
    assert result.stdout == run_tool(tool, MELODY)[1]


def test_pip_build_compiles_what_cmake_compiles() -> None:
    build = Path(os.environ.get("PT_BUILD_DIR", SOURCE_DIR / "build"))
    commands = json.loads((build / "compile_commands.json").read_text())
    cmake = sorted({Path(c["file"]).resolve() for c in commands
                    if "pitchtrack_objects.dir" in c.get("output", c["command"])})
    library_sources = runpy.run_path(str(SOURCE_DIR / "python" / "setup.py"))["library_sources"]
    assert [p.resolve() for p in library_sources(SOURCE_DIR)] == cmake
    assert len(cmake) > 10


def test_nothing_is_printed(capfd: pytest.CaptureFixture, tmp_path: Path) -> None:
    import numpy as np

    # The tool prints progress lines for such a file; the module prints nothing, on any path.
    pitchtrack.track_file(MELODY)
    pitchtrack.track(np.zeros(44100, np.int16), 44100)
    tracker = pitchtrack.Tracker(44100)
    tracker.push(np.zeros(44100, np.int16))
    tracker.finish()
    for bad in (lambda: pitchtrack.track_file(tmp_path / "missing.wav"),
                lambda: pitchtrack.track([1.0], 5)):
        with pytest.raises((pitchtrack.WaveError, ValueError)):
            bad()
    assert capfd.readouterr() == ("", "")
