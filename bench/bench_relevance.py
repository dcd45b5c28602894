"""Relevance table speed, side by side in one run: quorlex_batch.relevance
beside tsfresh 0.21's calculate_relevance_table(n_jobs=0), on one thread.

Setup: the 512 hctsa features of 2,000 series (length 256: noise, AR(1) and
sine-plus-noise series in four classes) with a binary target (classes 0 and 1
against 2 and 3) and the 4-class target (multiclass=True); then quorlex alone on
a 10,000 x 2,000 matrix (normal values, a quarter of the columns rounded so that
they have ties). Times are the best of a few runs, CPU time of this process
(a loaded machine disturbs it less than wall time); the load average is
printed with them.

Target: at least 5x tsfresh on the binary target, more on the multiclass one.

    python bench/bench_relevance.py [--series 2000] [--quick]
"""

import os

for variable in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS", "RAYON_NUM_THREADS"):
    os.environ[variable] = "1"  # one thread for numpy, scipy and quorlex's pool; set before they load

import argparse  # noqa: E402
import time  # noqa: E402
import warnings  # noqa: E402

import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import quorlex_batch as qb  # noqa: E402


def cpu_best(function, repeats):
    best = float("inf")
    for _ in range(repeats):
        start = time.process_time()
        function()
        best = min(best, time.process_time() - start)
    return best


def hctsa_matrix(count, length=256, seed=0):
    rng = np.random.default_rng(seed)
    classes = np.arange(count) % 4
    noise = rng.normal(size=(count, length))
    series = noise.copy()
    for t in range(1, length):  # class 1: AR(1) with 0.6, class 3: AR(1) with 0.3
        phi = np.where(classes == 1, 0.6, np.where(classes == 3, 0.3, 0.0))
        series[:, t] = phi * series[:, t - 1] + noise[:, t]
    wave = np.sin(2 * np.pi * np.arange(length) / rng.uniform(10, 30, size=(count, 1)))
    series[classes == 2] += 0.8 * wave[classes == 2]
    X = qb.extract(series, "hctsa")
    return X, pd.Series(classes), pd.Series((classes >= 2).astype(int))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--series", type=int, default=2000)
    parser.add_argument("--quick", action="store_true", help="skip the 10,000 x 2,000 run")
    args = parser.parse_args()
    X, classes, binary = hctsa_matrix(args.series)
    finite = X.loc[:, np.isfinite(X).all()]  # tsfresh refuses NaN: both get the same matrix
    print(f"hctsa matrix: {X.shape[0]} series x {X.shape[1]} features ({finite.shape[1]} without NaN)")
    rows = []
    try:
        from tsfresh.feature_selection.relevance import calculate_relevance_table
    except ImportError:
        calculate_relevance_table = None
    for name, y, options in (("binary", binary, {}), ("4 classes", classes, {"multiclass": True})):
        ours = cpu_best(lambda: qb.relevance(finite, y, **options), 3)
        theirs = float("nan")
        if calculate_relevance_table is not None:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                theirs = cpu_best(lambda: calculate_relevance_table(finite, y, ml_task="classification", n_jobs=0,
                                                                    **options), 2)
        relevant = int(qb.relevance(finite, y, **options)["relevant"].sum())
        rows.append((name, ours, theirs, relevant))
    print(f"{'target':<10} {'quorlex s':>10} {'tsfresh s':>10} {'speed-up':>9} {'relevant':>9}")
    for name, ours, theirs, relevant in rows:
        print(f"{name:<10} {ours:>10.3f} {theirs:>10.3f} {theirs / ours:>8.1f}x {relevant:>9}")
    if not args.quick:
        rng = np.random.default_rng(1)
        big = rng.normal(size=(10_000, 2_000))
        big[:, ::4] = big[:, ::4].round(1)
        target = pd.Series(rng.integers(0, 2, 10_000))
        big[:, 1] += target  # one relevant column
        print(f"10,000 x 2,000, binary target: {cpu_best(lambda: qb.relevance(big, target), 2):.2f} s quorlex")
    print("load average at the end: " + " ".join(f"{v:.2f}" for v in os.getloadavg()))


if __name__ == "__main__":
    main()
