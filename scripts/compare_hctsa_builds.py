"""Checks that two builds of the module give bit-identical hctsa set runs.

    python scripts/compare_hctsa_builds.py BEFORE_DIR AFTER_DIR [--count 2000] [--seed 1]

Each directory holds a built quorlex module (e.g. a copy of the module built
from main, and build/dev/python). Every series of an assorted corpus (lengths
1 .. 5,000; noise, walks, sines, ties, constant runs, outliers, NaN) goes
through compute_hctsa_parallel_f with normalize both ways: the before build
with the default pool, the after build with 1 and with 2 threads. Values are
compared as raw bits, exceptions by type and text. Exits 1 on any difference.
"""

import argparse
import os
import pickle
import subprocess
import sys

import numpy as np


def corpus(count, seed):
    rng = np.random.default_rng(seed)
    shapes = ["noise", "walk", "sine", "ties", "runs", "outliers", "nan", "mixed"]
    out = [np.array([]), np.array([1.0]), np.array([1.0, 1.0]), np.zeros(10), np.arange(7.0)]
    while len(out) < count:
        # Mostly short and medium series, some up to 5,000.
        n = int(rng.choice([rng.integers(1, 40), rng.integers(40, 1200), rng.integers(1200, 5001)], p=[0.3, 0.55, 0.15]))
        shape = shapes[len(out) % len(shapes)]
        t = np.arange(n)
        if shape == "noise":
            y = rng.normal(size=n) * rng.uniform(0.01, 100)
        elif shape == "walk":
            y = np.cumsum(rng.normal(size=n))
        elif shape == "sine":
            y = np.sin(2 * np.pi * t / rng.uniform(2, 60)) + 0.1 * rng.normal(size=n)
        elif shape == "ties":
            y = np.round(rng.normal(size=n) * rng.choice([1, 2, 5]))
        elif shape == "runs":
            y = np.repeat(rng.normal(size=max(1, n // 7 + 1)), 7)[:n]
        elif shape == "outliers":
            y = rng.normal(size=n)
            y[rng.integers(0, n, size=max(1, n // 50))] *= 1e3
        elif shape == "nan":
            y = rng.normal(size=n)
            y[rng.integers(0, n)] = np.nan
        else:
            y = np.cumsum(rng.standard_t(2, size=n)) + np.round(rng.normal(size=n))
        out.append(np.ascontiguousarray(y, dtype=float))
    return out


def run(module_dir, threads, count, seed):
    env = dict(os.environ, PYTHONPATH=module_dir)
    if threads is not None:
        env["RAYON_NUM_THREADS"] = str(threads)
    args = [sys.executable, __file__, "--worker", str(count), str(seed)]
    return pickle.loads(subprocess.run(args, env=env, capture_output=True, check=True).stdout)


def worker(count, seed):
    import quorlex

    rows = []
    for y in corpus(count, seed):
        for normalize in (True, False):
            try:
                r = quorlex.compute_hctsa_parallel_f(y, normalize)
                rows.append(np.asarray(r.values, dtype=float).view(np.uint64).tobytes())
            except BaseException as e:  # the error itself is what is compared (PanicException included)
                rows.append(f"{type(e).__name__}: {e}")
    sys.stdout.buffer.write(pickle.dumps(rows))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    a = parser.parse_args()
    before = run(a.before, None, a.count, a.seed)
    bad = 0
    for threads in (1, 2):
        after = run(a.after, threads, a.count, a.seed)
        for i, (b, c) in enumerate(zip(before, after)):
            if b != c:
                bad += 1
                if bad <= 10:
                    print(f"differs: series {i // 2}, normalize={i % 2 == 0}, threads={threads}")
    print(f"{len(before)} runs compared at 1 and 2 threads, {bad} differ")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--worker"]:
        worker(int(sys.argv[2]), int(sys.argv[3]))
    else:
        main()
