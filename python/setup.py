"""Builds the pitchtrack package from a clone of the repository.

The extension module compiles the library's sources (lib/ of the repository,
one level up) together with the module's own (python/src), with the flags the
CMake build gives them: C++20 and no fused multiply-add, on which the
contours depend bit for bit. Sources compile in parallel, one per core. When
pkg-config finds libsndfile, the module reads FLAC, Ogg, MP3, AIFF and the other
containers through it, as the CMake build does; without it, WAV only.

    python3 -m venv --system-site-packages venv
    venv/bin/pip install --no-build-isolation ./python
"""

from __future__ import annotations

import os
import re
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent


# The sources that decode the containers other than WAV with libsndfile, and the one that
# refuses them by name when libsndfile is absent: CMake compiles one side or the other.
SNDFILE_SOURCES = {"sound_file_sndfile.cpp", "sndfile_input.cpp", "stream_spool.cpp"}
WITHOUT_SNDFILE_SOURCES = {"sound_file_without.cpp"}

# The module's own sources in src/ (CMake's pitchtrack_python target lists the same).
MODULE_SOURCES = ["module", "notes", "samples", "contour", "analysis_warnings"]


def sndfile_flags() -> tuple[list[str], list[str]] | None:
    """libsndfile's compile and link flags from pkg-config, or None when it is not found."""
    import shutil
    import subprocess

    if shutil.which("pkg-config") is None:
        return None
    try:
        cflags = subprocess.run(["pkg-config", "--cflags", "sndfile >= 1.1"], check=True,
                                capture_output=True, text=True).stdout.split()
        libs = subprocess.run(["pkg-config", "--libs", "sndfile >= 1.1"], check=True,
                              capture_output=True, text=True).stdout.split()
    except subprocess.CalledProcessError:
        return None
    return cflags, libs


def library_sources(root: Path = ROOT, with_sndfile: bool | None = None) -> list[Path]:
    """The sources of the library: what CMake compiles into pitchtrack_objects."""
    if with_sndfile is None:
        with_sndfile = sndfile_flags() is not None
    left_out = WITHOUT_SNDFILE_SOURCES if with_sndfile else SNDFILE_SOURCES
    return sorted(p for p in (root / "lib").rglob("*.cpp") if p.name not in left_out)


def project_version(root: Path = ROOT) -> str:
    text = (root / "CMakeLists.txt").read_text()
    match = re.search(r"project\(pitchtrack VERSION (\d+\.\d+\.\d+)", text)
    if not match:
        raise RuntimeError("no project version in CMakeLists.txt")
    return match.group(1)


def parallel_compile(self, sources, output_dir=None, macros=None, include_dirs=None, debug=0,
                     extra_preargs=None, extra_postargs=None, depends=None):
    """distutils' CCompiler.compile with the sources spread over the cores."""
    macros, objects, extra_postargs, pp_opts, build = self._setup_compile(
        output_dir, macros, include_dirs, sources, depends, extra_postargs)
    cc_args = self._get_cc_args(pp_opts, debug, extra_preargs)

    def compile_one(obj):
        src, ext = build[obj]
        self._compile(obj, src, ext, cc_args, extra_postargs, pp_opts)

    with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        list(pool.map(compile_one, objects))
    return objects


def main() -> None:
    import pybind11
    from setuptools import Extension, setup
    from setuptools.command.build_ext import build_ext

    if not (ROOT / "include" / "pitchtrack" / "pitchtrack.h").exists():
        raise SystemExit("python/ builds from a clone of the pitchtrack repository: "
                         "the library's sources are not beside it")

    sndfile = sndfile_flags()
    version = project_version()
    include_dirs = [str(ROOT / "include"), str(ROOT / "lib")]
    macros = [("PITCHTRACK_VERSION_STRING", f'"{version}"')]
    flags = ["-std=c++20", "-O2", "-ffp-contract=off", "-fvisibility=hidden",
             "-fvisibility-inlines-hidden"]
    sndfile_cflags, sndfile_libs = sndfile if sndfile is not None else ([], [])

    class BuildExt(build_ext):
        """Compiles the library's sources, then the module linked with their objects."""

        def build_extension(self, ext):
            self.compiler.compile = parallel_compile.__get__(self.compiler)
            # -Wstrict-prototypes of the C driver's flags means nothing to C++.
            if "-Wstrict-prototypes" in self.compiler.compiler_so:
                self.compiler.compiler_so.remove("-Wstrict-prototypes")
            # Outside setup.py's folder, so not named as the extension's sources (setuptools
            # would put them in the source distribution's manifest, and refuses that).
            objects = self.compiler.compile(
                [str(s) for s in library_sources(with_sndfile=sndfile is not None)],
                output_dir=os.path.join(self.build_temp, "library"),
                macros=macros, include_dirs=include_dirs,
                extra_postargs=[*flags, *sndfile_cflags])
            ext.extra_objects = [*ext.extra_objects, *objects]
            super().build_extension(ext)

    module = Extension(
        "pitchtrack._pitchtrack",
        sources=[f"src/{name}.cpp" for name in MODULE_SOURCES],
        include_dirs=[*include_dirs, pybind11.get_include()],
        define_macros=macros,
        extra_compile_args=flags,
        extra_link_args=sndfile_libs,
        language="c++",
    )
    setup(version=version, ext_modules=[module], cmdclass={"build_ext": BuildExt})


if __name__ == "__main__":
    main()
