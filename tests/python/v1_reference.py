"""The catch22 v1 reference: pycatch22 1.0.2 and aeon's bundled UCR/UEA data,
installed by scripts/check into a directory of their own (pycatch22 0.4.5, the
classic reference, keeps the test environment's import name), and pycatch22 run
there in a child process. Also the generated series the checks use.

    python tests/python/v1_reference.py   # rewrites catch22_v1_reference.json
"""

import json
import os
import pathlib
import pickle
import subprocess
import sys

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent
REFERENCE_DIR = pathlib.Path(os.environ.get("QUORLEX_V1_REFERENCE",
                                            HERE.parents[1] / ".venv" / "v1-reference"))
REFERENCE_FILE = HERE / "catch22_v1_reference.json"
UCR = ["ACSF1", "ArrowHead", "BasicMotions", "GunPoint", "ItalyPowerDemand", "JapaneseVowels", "OSULeaf",
       "PickupGestureWiimoteZ"]

_CHILD = """
import pickle, sys
sys.path.insert(0, sys.argv[1])
import importlib.metadata
import pycatch22
assert importlib.metadata.version("pycatch22") == "1.0.2"
series, mask = pickle.load(sys.stdin.buffer)
out = []
for s in series:
    r = pycatch22.catch22_all(s, catch24=True, mask_nans=mask, return_masked=True, short_names=True)
    out.append((r["values"], r["masked"]))
pickle.dump((r["names"], r["short_names"], out), sys.stdout.buffer)
"""


def available():
    return (REFERENCE_DIR / "pycatch22").is_dir() and (REFERENCE_DIR / "aeon").is_dir()


def pycatch22_v1(series, mask=True):
    """(names, short names, values, masked) of pycatch22 1.0.2's catch24 on each
    series (lists of floats), masking or not."""
    data = pickle.dumps(([list(map(float, s)) for s in series], mask))
    # The reference is not under test: it runs without the sanitizer runtime a
    # sanitized test run preloads.
    env = {key: value for key, value in os.environ.items() if key not in ("LD_PRELOAD", "PYTHONMALLOC")}
    done = subprocess.run([sys.executable, "-c", _CHILD, str(REFERENCE_DIR)], input=data, capture_output=True,
                          check=True, timeout=600, env=env)
    names, short_names, out = pickle.loads(done.stdout)
    values = np.array([v for v, _ in out], dtype=np.float64).reshape(len(series), 24)
    masked = np.array([m for _, m in out], dtype=bool).reshape(len(series), 24)
    return names, short_names, values, masked


def _read_ts(path):
    """The cases of a .ts file: each case's channels ('?' as NaN) and its class label."""
    cases = []
    in_data = False
    with open(path) as handle:
        for line in handle:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.lower().startswith("@data"):
                in_data = True
                continue
            if in_data:
                *channels, label = line.split(":")
                cases.append(([np.array([np.nan if v == "?" else float(v) for v in channel.split(",")])
                               for channel in channels], label))
    return cases


def ucr_cases(name):
    """The cases of one of the bundled datasets, training then test."""
    folder = REFERENCE_DIR / "aeon" / "datasets" / "data" / name
    return _read_ts(folder / f"{name}_TRAIN.ts") + _read_ts(folder / f"{name}_TEST.ts")


def ucr(name):
    """Every series of one of the bundled datasets (each channel of each case), training then test cases."""
    return [series for channels, _ in ucr_cases(name) for series in channels]


def generated():
    """Series around the masking thresholds and the awkward cases: every length
    1 to 100 of noise, a sine, constant runs and rounded (tied) noise; constant
    and nearly constant series; 10,000 points."""
    rng = np.random.default_rng(21)
    out = []
    for n in range(1, 101):
        t = np.arange(n)
        out.append(rng.normal(size=n))
        out.append(np.sin(t / 3.0) + 0.1 * rng.normal(size=n))
        out.append(np.repeat(rng.normal(size=n // 7 + 1), 7)[:n])
        out.append(np.round(rng.normal(size=n)))
    for n in (1, 2, 3, 10, 80):
        out.append(np.full(n, 0.1))
        out.append(np.full(n, -3.0))
    out.append(np.r_[np.zeros(50), 1.0])
    out.append(np.r_[np.full(60, 2.0), np.full(60, 2.0 + 1e-15)])
    out.append(np.cumsum(rng.normal(size=10_000)))
    out.append(rng.standard_t(2, size=10_000))
    out.append(np.r_[1e300, -1e300, rng.normal(size=30)])
    return out


def non_finite():
    """Series holding NaN or an infinity, and the empty series."""
    base = np.random.default_rng(5).normal(size=40)
    out = [np.array([])]
    for bad in (np.nan, np.inf, -np.inf):
        for where in (0, 17, 39):
            s = base.copy()
            s[where] = bad
            out.append(s)
    out.append(np.array([np.nan]))
    return out


def write_reference_file():
    """A few series with pycatch22 1.0.2's values and flags, masking and not."""
    rng = np.random.default_rng(3)
    series = [rng.normal(size=200), np.cumsum(rng.normal(size=500)), np.sin(np.arange(120) / 4.0),
              rng.normal(size=12), np.full(30, 1.5), np.round(rng.normal(size=90), 1), ucr("GunPoint")[0],
              ucr("OSULeaf")[0], ucr("JapaneseVowels")[0]]
    record = {"series": [s.tolist() for s in series]}
    for mask in (True, False):
        names, short_names, values, masked = pycatch22_v1(series, mask)
        record["names"], record["short_names"] = names, short_names
        record["mask" if mask else "nan"] = {"values": [[v.hex() for v in row] for row in values.tolist()],
                                            "masked": masked.tolist()}
    REFERENCE_FILE.write_text(json.dumps(record, indent=0) + "\n")


def read_reference_file():
    record = json.loads(REFERENCE_FILE.read_text())
    out = {"series": [np.array(s) for s in record["series"]], "names": record["names"],
           "short_names": record["short_names"]}
    for key in ("mask", "nan"):
        out[key] = (np.array([[float.fromhex(v) for v in row] for row in record[key]["values"]]),
                    np.array(record[key]["masked"], dtype=bool))
    return out


if __name__ == "__main__":
    write_reference_file()
