"""The binding installed as a user installs it, then imported from elsewhere
with no KVZ_COMP_LIBRARY: pip into a fresh virtual environment (offline, with
the system's setuptools and NumPy), and `cmake --install`."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ["KVZ_BUILD_DIR"])
CMAKE = os.environ.get("CMAKE", "cmake")

# Loads the library and uses it; prints where it came from, then two statistics.
PROBE = """
import kvz_comp
from kvz_comp import _library
with kvz_comp.Distribution("gamma", scale=2, shape_a=3) as d:
    print(_library.location())
    print(d.mean(), d.var())
"""


def run(command, **options):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True, timeout=600, **options)
    assert result.returncode == 0, f"{command}\n{result.stdout}\n{result.stderr}"
    return result.stdout


def bare_environment(**extra):
    """The environment less everything that would point Python at the library or the source."""
    env = {k: v for k, v in os.environ.items() if k not in ("KVZ_COMP_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH")}
    env.update(extra)
    return env


def probe(python, cwd, env):
    location, values = run([python, "-c", PROBE], cwd=cwd, env=env).splitlines()
    assert values == "6.0 12.0"
    return Path(location).resolve()


def test_pip_installs_a_working_package_into_a_fresh_virtual_environment(tmp_path):
    # A copy of the source tree without its builds, as a fresh checkout has it.
    source = tmp_path / "source"
    shutil.copytree(SOURCE, source, ignore=shutil.ignore_patterns("build", ".git", "*.egg-info", "__pycache__"))
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", venv])
    python = venv / "bin" / "python"
    run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", source / "python"],
        env=bare_environment())

    location = probe(python, tmp_path, bare_environment())
    assert location.is_relative_to(venv.resolve()) and location.parent.name == "kvz_comp"


def test_cmake_install_puts_the_binding_beside_the_library(tmp_path):
    run([CMAKE, "--install", BUILD, "--prefix", tmp_path / "prefix"])
    # The prefix may be moved after installation: the binding finds the
    # library by its place relative to the package.
    prefix = (tmp_path / "prefix").rename(tmp_path / "moved")
    (package,) = [p.parent for p in prefix.rglob("kvz_comp/_installed.py")]
    site = package.parent

    location = probe(sys.executable, tmp_path, bare_environment(PYTHONPATH=str(site)))
    assert location.is_relative_to(prefix.resolve()) and location.name.startswith("libkvz_comp.so")
    assert location.parent != package

    # Without the record, the system's own search finds it.
    (package / "_installed.py").unlink()
    library_dir = location.parent
    assert probe(sys.executable, tmp_path, bare_environment(PYTHONPATH=str(site),
                                                            LD_LIBRARY_PATH=str(library_dir))).name.startswith(
        "libkvz_comp.so")
