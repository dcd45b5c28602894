"""Per-series cost of the batch engine and of the hctsa run, for comparing two
builds (run the script once per build, each in its own process):

    python bench/bench_overhead.py build/dev/python [--rounds 7] [--data DIR]

- ItalyPowerDemand (1,096 series of 24 points, train and test) with "catch24",
  and with the one feature "DN_Mean", whose time is almost all the engine's
  per-series overhead.
- 1,000 series of 12 points with "hctsa", where the per-series set-up of the
  512 members weighs most, and 200 series of 500 points with "hctsa" and
  FeatureSet("combined", hctsa=True).
- compute_hctsa_parallel_f on one series of 1,000 points, per call.

The batch runs use n_jobs=1. Times are CPU time of the whole process (every
thread), so the load of other processes on a shared machine does not inflate
them; each is the best of several rounds, in microseconds per series.
--data is the folder that holds aeon/datasets/data (default: the v1 reference
environment the tests use, QUORLEX_V1_REFERENCE or .venv/v1-reference).
"""

import argparse
import os
import pathlib
import sys
import time

# numpy's OpenBLAS threads would spin in this process's CPU time.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[1]


def best_of(function, rounds):
    times = []
    for _ in range(rounds):
        start = time.process_time()
        function()
        times.append(time.process_time() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", help="directory holding the built quorlex and quorlex_batch")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--data", help="the v1 reference environment (holding aeon/datasets/data)")
    args = parser.parse_args()
    if args.data:
        os.environ["QUORLEX_V1_REFERENCE"] = args.data
    sys.path.insert(0, os.path.abspath(args.build))
    sys.path.insert(1, str(ROOT / "tests" / "python"))
    import quorlex as q
    import quorlex_batch as qb
    from v1_reference import ucr

    italy = np.array(ucr("ItalyPowerDemand"), dtype=np.float64)
    rng = np.random.default_rng(5)
    long = np.cumsum(rng.normal(size=(200, 500)), axis=1) + rng.normal(size=(200, 500))
    one = np.cumsum(rng.normal(size=1000))
    short = rng.normal(size=(1000, 12))

    runs = [
        (f"ItalyPowerDemand {italy.shape} catch24", len(italy), 10 * args.rounds,
         lambda: qb.extract_array(italy, "catch24", n_jobs=1)),
        (f"ItalyPowerDemand {italy.shape} ['DN_Mean'] only", len(italy), 10 * args.rounds,
         lambda: qb.extract_array(italy, ["DN_Mean"], n_jobs=1)),
        (f"random {short.shape} hctsa", len(short), args.rounds,
         lambda: qb.extract_array(short, "hctsa", n_jobs=1)),
        (f"random {long.shape} hctsa", len(long), args.rounds,
         lambda: qb.extract_array(long, "hctsa", n_jobs=1)),
        (f"random {long.shape} combined, hctsa=True", len(long), args.rounds,
         lambda: qb.extract_array(long, qb.FeatureSet("combined", hctsa=True), n_jobs=1)),
        ("compute_hctsa_parallel_f, 1,000 points", 1, 5 * args.rounds,
         lambda: q.compute_hctsa_parallel_f(one, True)),
    ]
    print(f"build: {args.build}")
    for label, count, rounds, run in runs:
        run()  # warm-up: plans, FFT plans, the pool
        seconds = best_of(run, rounds)
        print(f"{label:<50} {seconds / count * 1e6:12.1f} us per series (CPU, best of {rounds})")


if __name__ == "__main__":
    main()
