"""The build step behind pyproject.toml: the Python package plus the shared
library, which CMake compiles from the source tree this folder sits in."""

import pathlib
import re
import runpy
import shutil
import subprocess

from setuptools import setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parent
# The file names the loader looks for inside the package.
LIBRARY_NAMES = runpy.run_path(str(HERE / "kvz_comp" / "_library.py"))["_NAMES"]


def _source_file(name):
    path = SOURCE / name
    if not path.is_file():
        raise SystemExit(f"kvz_comp: {path} is missing; build the package from a kvz_comp source tree "
                         "(pip install <source>/python)")
    return path


def project_version():
    """The version CMakeLists.txt gives the library."""
    match = re.search(r"project\(kvz_comp\s+VERSION\s+([0-9.]+)", _source_file("CMakeLists.txt").read_text())
    if not match:
        raise SystemExit("kvz_comp: no project version in CMakeLists.txt")
    return match.group(1)


def build_library(build_dir):
    """Compiles the shared library alone, with the release preset's flags; its path."""
    _source_file("CMakePresets.json")
    subprocess.run(["cmake", "-S", str(SOURCE), "--preset", "release", "-B", str(build_dir),
                    "-DKVZ_BUILD_TESTS=OFF", "-DKVZ_BUILD_TOOLS=OFF", "-DKVZ_HOST_TESTS=OFF"], check=True)
    subprocess.run(["cmake", "--build", str(build_dir), "--target", "kvz_comp"], check=True)
    for name in LIBRARY_NAMES:
        if (build_dir / name).is_file():
            return build_dir / name
    raise SystemExit(f"kvz_comp: the build in {build_dir} made none of {', '.join(LIBRARY_NAMES)}")


class BuildPyWithLibrary(build_py):
    """Copies the freshly built library into the package, where the loader looks first."""

    def run(self):
        super().run()
        build_temp = pathlib.Path(self.get_finalized_command("build").build_temp).resolve()
        library = build_library(build_temp / "cmake")
        shutil.copyfile(library.resolve(), pathlib.Path(self.build_lib) / "kvz_comp" / library.name)


class PlatformWheel(bdist_wheel):
    """A wheel for this platform (it holds a native library) that any Python 3 loads
    (the library is reached through ctypes, not the Python C interface)."""

    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        return ("py3", "none", super().get_tag()[2])


setup(version=project_version(), cmdclass={"build_py": BuildPyWithLibrary, "bdist_wheel": PlatformWheel})
