"""The aarch64 wheel under user-mode emulation: it installs into the arm64
Debian root's CPython 3.11 with pip, imports there, and gives the x86-64
developer build's values on the bundled series and on a corpus of a few
hundred series: the same bits where only basic IEEE arithmetic is involved,
within 1e-12 relative where libm or FFTW rounds differently on aarch64.

scripts/check-wheel --arch aarch64 runs this (with test_wheel.py's checks of
the wheel's contents); QUORLEX_ARM64_ROOT names the root it prepared."""

import json
import os
import pathlib
import pickle
import subprocess
import sys

import pytest

from compare_values import compare

REPO = pathlib.Path(__file__).resolve().parents[2]
HERE = pathlib.Path(__file__).parent
ROOT = os.environ.get("QUORLEX_ARM64_ROOT")
DEVELOPER_BUILD = REPO / "build" / "check" / "python"
pytestmark = pytest.mark.skipif(os.environ.get("QUORLEX_WHEEL_ARCH") != "aarch64" or not ROOT,
                                reason="scripts/check-wheel --arch aarch64 runs these")


def emulated(*args):
    return ["qemu-aarch64", "-L", ROOT, f"{ROOT}/opt/venv/bin/python", *map(str, args)]


@pytest.fixture(scope="module")
def installed():
    (wheel,) = (REPO / "dist").glob("quorlex-*_aarch64.whl")
    subprocess.run(emulated("-m", "pip", "install", "-q", "--disable-pip-version-check", "--no-index",
                            "--no-deps", "--force-reinstall", wheel), check=True, capture_output=True)
    return wheel


def native_env():
    return dict(os.environ, PYTHONPATH=str(DEVELOPER_BUILD))


def check_counts(totals):
    beyond = {name: row[2] for name, row in totals.items() if row[2]}
    assert not beyond, beyond


def test_imports_as_aarch64(installed):
    out = subprocess.run(emulated("-c", "import platform, quorlex, quorlex_batch, numpy, pandas; "
                                  "print(platform.machine(), quorlex.__file__, quorlex.__version__)"),
                         check=True, capture_output=True, text=True, cwd=REPO / "build").stdout.split()
    assert out[0] == "aarch64"
    assert out[1].startswith(f"{ROOT}/opt/venv/")
    assert installed.name.startswith(f"quorlex-{out[2]}-")


def test_probe_agrees_with_the_x86_64_build(installed):
    series = REPO / "examples" / "data" / "series.csv"
    probe = HERE / "probe.py"
    runs = [subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
            for command, env in (([sys.executable, probe, series], native_env()),
                                 (emulated(probe, series), None))]
    x86, arm = (json.loads(run) for run in runs)
    assert arm["all"] == x86["all"]
    assert set(arm["values"]) == set(x86["values"])
    as_lists = [{key: [float.fromhex(value)] for key, value in run["values"].items()} for run in (x86, arm)]
    check_counts(compare(*as_lists, tolerance=1e-12, absolute=1e-15))


def test_corpus_agrees_with_the_x86_64_build(installed, tmp_path_factory):
    # Written under build/, which the root does not shadow as it does /tmp.
    out = REPO / "build" / "aarch64-values"
    out.mkdir(exist_ok=True)
    values = HERE / "values.py"
    subprocess.run([sys.executable, values, out / "x86_64.pkl"], check=True, env=native_env())
    subprocess.run(emulated(values, out / "aarch64.pkl"), check=True)
    report = subprocess.run([sys.executable, HERE / "compare_values.py", out / "x86_64.pkl", out / "aarch64.pkl"],
                            capture_output=True, text=True)
    (out / "comparison.txt").write_text(report.stdout)
    with open(out / "x86_64.pkl", "rb") as a, open(out / "aarch64.pkl", "rb") as b:
        x86, arm = pickle.load(a), pickle.load(b)
    assert arm["file"].startswith(f"{ROOT}/opt/venv/")
    assert set(arm["values"]) == set(x86["values"])
    check_counts(compare(x86["values"], arm["values"], tolerance=1e-12, absolute=1e-15))
    assert report.returncode == 0, report.stdout
