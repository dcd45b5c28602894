"""catch22 v1 speed on GunPoint and OSULeaf, one thread, side by side in one run:
quorlex_batch's "catch24-v1", pycatch22 1.0.2 (which it matches) and the classic
"catch24". Targets: "catch24-v1" at least 4x faster than pycatch22 1.0.2 and at
most 1.2x the classic set.

Needs the reference scripts/check installs (.venv/v1-reference: pycatch22 1.0.2
and aeon's data, or QUORLEX_V1_REFERENCE); run with the test environment's python:

    .venv/bin/python bench/bench_catch22_v1.py
"""

import os
import pathlib
import sys
import time

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "python"))

import numpy as np  # noqa: E402

from v1_reference import REFERENCE_DIR, ucr  # noqa: E402

sys.path.insert(0, str(REFERENCE_DIR))
import pycatch22  # noqa: E402

import quorlex_batch as qb  # noqa: E402

# CPU time of the process: the machine is shared, and other processes' load
# does not inflate it.
CLOCK = time.process_time
ROUNDS = 15


def timed(function):
    start = CLOCK()
    function()
    return CLOCK() - start


def main():
    assert hasattr(pycatch22, "feature_table"), "pycatch22 1.0 is not the one imported"
    print(f"clock: {CLOCK.__name__}, best of {ROUNDS} rounds (pycatch22: 3), one thread")
    print(f"{'dataset':<10} {'series':>7} {'catch24-v1':>11} {'pycatch22':>10} {'catch24':>9}"
          f" {'x pycatch22':>12} {'/ catch24':>10}")
    for name in ("GunPoint", "OSULeaf"):
        X = np.ascontiguousarray(np.array(ucr(name)), dtype=np.float64)
        rows = X.tolist()
        runs = {
            "v1": lambda: qb.extract_array(X, "catch24-v1", n_jobs=1),
            "pycatch22": lambda: [pycatch22.catch22_all(r, catch24=True) for r in rows],
            "classic": lambda: qb.extract_array(X, "catch24", n_jobs=1),
        }
        best = dict.fromkeys(runs, float("inf"))
        # Rounds alternate the three, so a burst of load hits all of them alike.
        for round_ in range(ROUNDS):
            for what, function in runs.items():
                if what == "pycatch22" and round_ >= 3:
                    continue
                best[what] = min(best[what], timed(function))
        v1, ref, classic = best["v1"], best["pycatch22"], best["classic"]
        print(f"{name:<10} {len(X):>7} {v1 * 1e3:>9.1f}ms {ref * 1e3:>8.1f}ms {classic * 1e3:>7.1f}ms"
              f" {ref / v1:>11.2f}x {v1 / classic:>9.2f}x")


if __name__ == "__main__":
    main()
