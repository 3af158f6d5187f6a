"""Builds the pitchtrack package from a clone of the repository.

The extension module compiles the library's sources (lib/ of
the repository, one level up) together with python/src/module.cpp, with the
flags the CMake build gives them: C++20 and no fused multiply-add, on which the
contours depend bit for bit. Sources compile in parallel, one per core.

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


def library_sources(root: Path = ROOT) -> list[Path]:
    """The sources of the library: what CMake compiles into pitchtrack_objects."""
    return sorted((root / "lib").rglob("*.cpp"))


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

    version = project_version()
    include_dirs = [str(ROOT / "include"), str(ROOT / "lib")]
    macros = [("PITCHTRACK_VERSION_STRING", f'"{version}"')]
    flags = ["-std=c++20", "-O2", "-ffp-contract=off", "-fvisibility=hidden",
             "-fvisibility-inlines-hidden"]

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
                [str(s) for s in library_sources()],
                output_dir=os.path.join(self.build_temp, "library"),
                macros=macros, include_dirs=include_dirs, extra_postargs=flags)
            ext.extra_objects = [*ext.extra_objects, *objects]
            super().build_extension(ext)

    module = Extension(
        "pitchtrack._pitchtrack",
        sources=["src/module.cpp", "src/notes.cpp"],
        include_dirs=[*include_dirs, pybind11.get_include()],
        define_macros=macros,
        extra_compile_args=flags,
        language="c++",
    )
    setup(version=version, ext_modules=[module], cmdclass={"build_ext": BuildExt})


if __name__ == "__main__":
    main()
