"""The installed module: found where the interpreter looks for the
prefix's packages, and loading colc's libraries from the prefix itself."""

import os
import site
import subprocess
import sys

import pytest


def environment(name):
    value = os.environ.get(name)
    if not value:
        pytest.skip(f"{name} is not set")
    return value


def test_installed_module_imports_from_any_folder(tmp_path):
    prefix = tmp_path / "prefix"
    done = subprocess.run(["cmake", "--install", environment("COLC_BINARY_DIR"), "--prefix", str(prefix)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    packages = prefix / environment("COLC_PYTHON_INSTALL_DIR")
    clean = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    done = subprocess.run([sys.executable, "-c", "import colc; print(colc.__version__, colc.__file__)"],
                          cwd=tmp_path, env={**clean, "PYTHONPATH": str(packages)}, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("0.") and str(packages) in done.stdout


def test_default_prefix_is_on_the_interpreters_path():
    if environment("COLC_INSTALL_PREFIX") != "/usr/local":
        pytest.skip("installed elsewhere than /usr/local")
    assert os.path.join("/usr/local", environment("COLC_PYTHON_INSTALL_DIR")) in site.getsitepackages()
