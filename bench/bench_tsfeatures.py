"""Timing of the tsfeatures set run against pycatch22 and the tsfeatures package.

Run with the built module on PYTHONPATH:
    PYTHONPATH=build/<dir>/python python3 bench/bench_tsfeatures.py

Each quorlex timing runs in a fresh interpreter so that RAYON_NUM_THREADS
sizes its worker pool: 1 for the single-threaded column, unset for the pool.
"""

import json
import os
import subprocess
import sys
import time
import warnings

import numpy as np

LENGTHS = (100, 1_000, 10_000)


def series(n):
    rng = np.random.default_rng(n)
    return (np.cumsum(rng.standard_normal(n)) * 0.1 + rng.standard_normal(n)).tolist()


def per_call(fn, budget=1.0, min_repeats=3):
    """Median seconds per call over repeats filling about `budget` seconds."""
    fn()  # warm-up: pool start, plan cache, lazy imports
    start = time.perf_counter()
    fn()
    once = max(time.perf_counter() - start, 1e-7)
    repeats = max(min_repeats, min(1000, int(budget / once)))
    samples = []
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        samples.append(time.perf_counter() - start)
    return float(np.median(samples))


def quorlex_timings():
    import quorlex as q

    out = {}
    for n in LENGTHS:
        y = series(n)
        out[f"all_{n}"] = per_call(lambda: q.tsfeatures_all_f(y))
    y = series(1_000)
    out["cumulative_1000"] = per_call(lambda: q.extract_tsfeatures_cumulative_f(y), budget=3.0)
    return out


def tsfeatures_package(y):
    """The package's nearest equivalents of the 14 statistics, freq 1."""
    import tsfeatures as tsf

    x = np.asarray(y)
    for f in (tsf.crossing_points, tsf.flat_spots, tsf.entropy, tsf.lumpiness, tsf.stability, tsf.hurst,
              tsf.pacf_features, tsf.nonlinearity, tsf.arch_stat, tsf.unitroot_kpss, tsf.unitroot_pp):
        f(x, 1)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--child":
        print(json.dumps(quorlex_timings()))
        return

    runs = {}
    for label, threads in (("single", "1"), ("pool", None)):
        env = dict(os.environ)
        env.pop("RAYON_NUM_THREADS", None)
        if threads:
            env["RAYON_NUM_THREADS"] = threads
        child = subprocess.run([sys.executable, __file__, "--child"], env=env, capture_output=True, text=True,
                               check=True)
        runs[label] = json.loads(child.stdout)

    import pycatch22

    warnings.simplefilter("ignore")
    try:
        import tsfeatures  # noqa: F401
        have_package = True
    except ImportError:
        have_package = False

    print(f"{'length':>8} {'quorlex 1 thread':>17} {'quorlex pool':>13} {'pycatch22 c24':>14} "
          f"{'tsfeatures pkg':>15} {'pkg / q1':>9} {'c22 / q1':>9}")
    for n in LENGTHS:
        y = series(n)
        c22 = per_call(lambda: pycatch22.catch22_all(y, catch24=True))
        pkg = per_call(lambda: tsfeatures_package(y), budget=2.0) if have_package else float("nan")
        single = runs["single"][f"all_{n}"]
        pool = runs["pool"][f"all_{n}"]
        print(f"{n:>8} {single * 1e3:>14.3f} ms {pool * 1e3:>10.3f} ms {c22 * 1e3:>11.3f} ms "
              f"{pkg * 1e3:>12.3f} ms {pkg / single:>8.1f}x {c22 / single:>8.2f}x")
    print(f"extract_tsfeatures_cumulative_f, 1,000 values: "
          f"{runs['single']['cumulative_1000'] * 1e3:.1f} ms (1 thread), "
          f"{runs['pool']['cumulative_1000'] * 1e3:.1f} ms (pool)")
    if not have_package:
        print("the tsfeatures package is not installed: its column is NaN")


if __name__ == "__main__":
    main()
