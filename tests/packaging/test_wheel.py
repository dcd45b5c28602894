"""The release wheel: its tag, its licence files and RECORD, and that it runs on
fresh CPython 3.11 and 3.13 environments with the system's copies of the
libraries it bundles made unloadable, giving the developer build's values to
the bit. Also: the source archive carries the tree, and a missing build
dependency is named with its Debian package.

scripts/check-wheel runs this after building the wheel in scripts/check's build
directory: the repaired wheel is the one in dist/ and the developer build is the
unrepaired extension module in build/check/python."""

import base64
import glob
import hashlib
import json
import os
import pathlib
import re
import subprocess
import sys
import tarfile
import zipfile

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
PROBE = pathlib.Path(__file__).with_name("probe.py")
SERIES = REPO / "examples" / "data" / "series.csv"
# The wheel under test: scripts/check-wheel --arch aarch64 sets this, and
# test_wheel_aarch64.py then runs it under emulation instead of the host tests.
ARCH = os.environ.get("QUORLEX_WHEEL_ARCH", "x86_64")
on_host = pytest.mark.skipif(ARCH != "x86_64", reason="runs the wheel on the host")
# The four system libraries the developer build loads; each must be bundled.
BUNDLED = {"libgsl", "libgslcblas", "libfftw3", "libtbb"}


@pytest.fixture(scope="module")
def wheel_path():
    wheels = list((REPO / "dist").glob(f"quorlex-*_{ARCH}.whl"))
    assert len(wheels) == 1, "expected the one wheel scripts/wheel leaves in dist/"
    return wheels[0]


@pytest.fixture(scope="module")
def wheel(wheel_path):
    with zipfile.ZipFile(wheel_path) as archive:
        yield archive


@pytest.fixture(scope="module")
def dist_info(wheel):
    return next(name.split("/")[0] for name in wheel.namelist() if name.endswith(".dist-info/METADATA"))


@pytest.fixture(scope="module")
def metadata(wheel, dist_info):
    head = wheel.read(f"{dist_info}/METADATA").decode().partition("\n\n")[0]
    return [tuple(line.split(": ", 1)) for line in head.splitlines()]


@pytest.fixture(scope="module")
def developer_module():
    extensions = list((REPO / "build" / "check" / "python").glob("quorlex*.so"))
    assert len(extensions) == 1, "expected the extension scripts/check builds in build/check/python"
    return extensions[0]


def bundled_base(name):
    """libgsl-5d02bd0b.so.27.0.0 -> libgsl: auditwheel's renamed copies (None
    for the build's own core library, which sits there unrenamed)."""
    match = re.match(r"(.+)-[0-9a-f]{8}\.so", pathlib.PurePath(name).name)
    return match.group(1) if match else None


def test_tag_and_bundled_libraries(wheel_path, wheel, metadata):
    version = dict(metadata)["Version"]
    assert re.fullmatch(rf"quorlex-{re.escape(version)}-cp311-abi3-manylinux_2_\d+_{ARCH}\.whl", wheel_path.name)
    libs = [name for name in wheel.namelist() if name.startswith("quorlex.libs/") and not name.endswith("/")]
    assert {bundled_base(name) for name in libs} >= BUNDLED
    # The core both extension modules share, and the batch package.
    assert "quorlex.libs/libquorlex_core.so" in libs
    assert any(name.startswith("quorlex_batch/_engine.") for name in wheel.namelist())


def test_licence_files_listed_and_recorded(wheel, dist_info, metadata):
    assert ("License-Expression", "GPL-3.0-or-later") in metadata
    prefix = f"{dist_info}/licenses/"
    in_wheel = {name[len(prefix):] for name in wheel.namelist() if name.startswith(prefix) and not name.endswith("/")}
    listed = {value for key, value in metadata if key == "License-File"}
    assert listed == in_wheel
    assert {"LICENSE", "gsl.copyright", "fftw3.copyright", "onetbb.copyright", "common-licenses/Apache-2.0"} <= in_wheel
    assert b"Upstream-Name: oneTBB" in wheel.read(prefix + "onetbb.copyright")
    assert b"Apache License" in wheel.read(prefix + "common-licenses/Apache-2.0")

    record = {}
    for line in wheel.read(f"{dist_info}/RECORD").decode().splitlines():
        name, digest, size = line.rsplit(",", 2)
        record[name] = (digest, size)
    files = [name for name in wheel.namelist() if not name.endswith("/")]
    assert sorted(record) == sorted(files)
    for name in files:
        if name == f"{dist_info}/RECORD":
            continue
        data = wheel.read(name)
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        assert record[name] == (f"sha256={digest}", str(len(data))), name


def system_copies(developer_module):
    """Paths of the system libraries the developer build loads that the wheel bundles."""
    out = subprocess.run(["ldd", str(developer_module)], check=True, capture_output=True, text=True).stdout
    found = {}
    for soname, path in re.findall(r"^\s*(\S+) => (/\S+)", out, re.MULTILINE):
        base = soname.split(".so")[0]
        if base in BUNDLED:
            found[base] = os.path.realpath(path)
    assert set(found) == BUNDLED, out
    return sorted(found.values())


def run_without_system_libraries(libraries, command, **kwargs):
    """Runs command in a private mount namespace with /dev/null bound over each library."""
    mount = ["unshare", "--mount"] + ([] if os.geteuid() == 0 else ["--map-root-user"])
    script = 'set -e; while [ "$1" != -- ]; do mount --bind /dev/null "$1"; shift; done; shift; exec "$@"'
    return subprocess.run(mount + ["sh", "-c", script, "sh", *libraries, "--", *command],
                          capture_output=True, text=True, **kwargs)


def probe(python):
    return [str(python), str(PROBE), str(SERIES)]


@pytest.fixture(scope="module")
def developer_values(developer_module):
    env = dict(os.environ, PYTHONPATH=str(developer_module.parent))
    out = subprocess.run(probe(sys.executable), env=env, check=True, capture_output=True, text=True).stdout
    result = json.loads(out)
    assert result["file"] == str(developer_module)
    return result


@on_host
def test_masked_system_libraries_break_the_developer_build(developer_module):
    env = dict(os.environ, PYTHONPATH=str(developer_module.parent))
    run = run_without_system_libraries(system_copies(developer_module), [sys.executable, "-c", "import quorlex"],
                                       env=env)
    assert run.returncode != 0
    assert "file too short" in run.stderr


def interpreter(version):
    """CPython `version` from pyenv, else from the system."""
    root = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    found = glob.glob(f"{root}/versions/{version}.*/bin/python{version}") or glob.glob(f"/usr/bin/python{version}")
    assert found, f"no CPython {version}: install it with pyenv"
    return found[0]


@on_host
@pytest.mark.parametrize("version", ["3.11", "3.13"])
def test_fresh_install_runs_without_system_libraries(version, tmp_path, wheel_path, metadata,
                                                     developer_module, developer_values):
    venv = tmp_path / "venv"
    subprocess.run([interpreter(version), "-m", "venv", str(venv)], check=True)
    python = venv / "bin" / "python"
    subprocess.run([str(python), "-m", "pip", "install", "-q", "--disable-pip-version-check", "--no-index",
                    "--no-deps", str(wheel_path)], check=True)
    env = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    run = run_without_system_libraries(system_copies(developer_module), probe(python), env=env, cwd=tmp_path)
    assert run.returncode == 0, run.stderr
    result = json.loads(run.stdout)
    assert pathlib.Path(result["file"]).is_relative_to(venv)
    assert result["version"] == dict(metadata)["Version"]
    assert "__version__" not in result["all"]
    assert result["all"] == developer_values["all"]
    assert result["values"] == developer_values["values"]


@pytest.mark.parametrize(("define", "env", "message"), [
    ("CMAKE_DISABLE_FIND_PACKAGE_GSL=ON", {}, "GSL not found: install the Debian package libgsl-dev"),
    ("CMAKE_DISABLE_FIND_PACKAGE_TBB=ON", {}, "oneTBB not found: install the Debian package libtbb-dev"),
    (None, {"PKG_CONFIG_LIBDIR": "/nonexistent"}, "FFTW 3 not found: install the Debian package libfftw3-dev"),
    ("CMAKE_DISABLE_FIND_PACKAGE_GTest=ON", {}, "GoogleTest not found: install the Debian package libgtest-dev"),
])
def test_missing_dependency_names_its_debian_package(define, env, message, tmp_path):
    bin_dir = pathlib.Path(sys.executable).parent
    env = dict(os.environ, PATH=f"{bin_dir}{os.pathsep}{os.environ['PATH']}", **env)
    command = ["cmake", "-S", str(REPO), "-B", str(tmp_path), "-G", "Ninja", "-DQUORLEX_TESTS=ON",
               f"-DPython_EXECUTABLE={sys.executable}"] + ([f"-D{define}"] if define else [])
    run = subprocess.run(command, env=env, capture_output=True, text=True)
    assert run.returncode != 0
    assert re.search(rf"^  {re.escape(message)}$", run.stderr, re.MULTILINE), run.stderr


def test_sdist_carries_the_tracked_tree(tmp_path):
    subprocess.run([sys.executable, "-m", "build", "--sdist", "--no-isolation", "-o", str(tmp_path), str(REPO)],
                   check=True, capture_output=True)
    (archive,) = tmp_path.glob("quorlex-*.tar.gz")
    with tarfile.open(archive) as sdist:
        members = {name.split("/", 1)[1] for name in sdist.getnames() if "/" in name}
    tracked = subprocess.run(["git", "-C", str(REPO), "ls-files"], check=True, capture_output=True,
                             text=True).stdout.split()
    assert set(tracked) <= members
    assert not [name for name in members if name.split("/")[0] in {"build", "dist", ".venv"}]
