"""Bit-for-bit comparison of two builds of quorlex on thousands of random series.

    python bench/compare_builds.py BEFORE_DIR AFTER_DIR [--count 2000] [--seed 1] [--only NAME ...]
                                   [--after-threads N] [--batch]

Each directory holds a built quorlex*.so (for example build/before/python and
build/dev/python). Every single-series function and every set run is evaluated
on the same series by both builds, each in its own process, and the results are
compared as IEEE-754 bit patterns (so NaN equals NaN and -0.0 differs from 0.0).
Prints one line per function with the number of series compared and mismatches.

With --batch, quorlex_batch's matrices are compared instead, byte for byte
with their names and masked flags: every set of sets() on --count series of 0
to 300 values (the hctsa sets on the first 200 of them), the combined set with
hctsa, and a feature list that interleaves hctsa, catch24, catchaMouse16 and
tsfeatures names, each with n_jobs 1 and 2.
"""

import argparse
import os
import pickle
import struct
import subprocess
import sys

import numpy as np

# Long series only for the functions that stay fast at 20,000 values; the
# cumulative extractions run on short series (one set run per prefix).
SHORT_ONLY = {"extract_catch22_features_cumulative_f", "extract_tsfeatures_cumulative_f",
              "extract_combined_features_cumulative_f", "compute_hctsa_parallel_f"}
CUMULATIVE_MAX = 60


CALLS = {
    "sy_slidingwindow_f": lambda q, y: [q.sy_slidingwindow_f(y, "std", "std", 5, 2, True),
                                        q.sy_slidingwindow_f(y, "mean", "std", 5, 2, False)],
    "st_localextrema_n100_diffmaxabsmin_f": lambda q, y: [q.st_localextrema_n100_diffmaxabsmin_f(y, True),
                                                          q.st_localextrema_n100_diffmaxabsmin_f(y, False)],
    "compute_hctsa_parallel_f": lambda q, y: [q.compute_hctsa_parallel_f(y, True).values,
                                              q.compute_hctsa_parallel_f(y, False).values],
    "catch22_all_f": lambda q, y: q.catch22_all_f(y, catch24=True).values + q.catch22_all_f(y, False).values,
    "tsfeatures_all_f": lambda q, y: (q.tsfeatures_all_f(y).values + q.tsfeatures_all_f(y, False, freq=7).values
                                      + q.tsfeatures_all_f(y, freq=None).values),
    "pacf_features_f": lambda q, y: sorted(q.pacf_features_f(y, freq=4).items()),
    "combined_all_f": lambda q, y: q.combined_all_f(y, catch24=True, catchamouse16=True, freq=4).values,
    "lumpiness_f": lambda q, y: [q.lumpiness_f(y), q.lumpiness_f(y, None), q.lumpiness_f(y, 4)],
    "stability_f": lambda q, y: [q.stability_f(y), q.stability_f(y, None), q.stability_f(y, 4)],
}


def cumulative_call(name):
    def call(q, y):
        table = getattr(q, name)(y[:CUMULATIVE_MAX])
        return [table.feature_names, table.values]

    return call


def series_set(count, seed):
    rng = np.random.default_rng(seed)
    special = []
    for k in range(1, 15):
        special += [2**k - 1, 2**k, 2**k + 1]
    out = []
    for i in range(count):
        n = int(special[i % len(special)] if i % 3 == 0 else rng.integers(1, 20_001) if i % 7 == 0
                else rng.integers(1, 3_000))
        shape = i % 9
        if shape == 0:
            y = rng.normal(size=n)
        elif shape == 1:
            y = np.cumsum(rng.normal(size=n))
        elif shape == 2:
            y = np.sin(np.arange(n) * rng.uniform(0.01, 1.0)) + 0.1 * rng.normal(size=n)
        elif shape == 3:
            y = np.round(rng.normal(size=n) * 2) / 2  # ties and constant runs
            if n > 10:
                y[n // 3: n // 2] = y[n // 3]
        elif shape == 4:
            y = rng.normal(size=n)
            y[rng.integers(0, n, size=max(1, n // 50))] *= 1e3  # outliers
        elif shape == 5:
            y = rng.normal(size=n) * 10.0 ** rng.choice([-300, -150, 150, 300])
        elif shape == 6:
            y = rng.normal(size=n)
            y[rng.integers(0, n)] = rng.choice([np.nan, np.inf, -np.inf])
        elif shape == 7:
            y = np.full(n, rng.normal())
        else:
            y = np.cumsum(rng.standard_t(2, size=n))
        out.append(np.ascontiguousarray(y, dtype=float))
    return out


def bits(value):
    if isinstance(value, float):
        return struct.pack("<d", value)
    if isinstance(value, (list, tuple)):
        return tuple(bits(v) for v in value)
    if isinstance(value, dict):
        return tuple((k, bits(v)) for k, v in sorted(value.items()))
    return value


def loaded_from(module_dir):
    """Stops when the module or its core library was not loaded from module_dir: a
    build directory copied elsewhere keeps the absolute run path of the tree it was
    built in, and would compare that tree's core with itself."""
    paths = {line.split()[-1] for line in open("/proc/self/maps") if "quorlex" in line and "/" in line}
    root = os.path.realpath(module_dir) + os.sep
    strays = sorted(p for p in paths if not os.path.realpath(p).startswith(root))
    if strays:
        sys.exit(f"{module_dir}: loaded {', '.join(strays)} from outside it")


def batch_series(count, seed):
    """Series of 0 to 300 values: noise, walks, ties, constants, NaN and
    infinities, and scales up to 1e300."""
    rng = np.random.default_rng(seed)
    out = []
    for i in range(count):
        n = int(rng.integers(0, 301)) if i % 10 else i % 7
        shape = i % 8
        y = rng.normal(size=n)
        if shape == 1:
            y = np.cumsum(y)
        elif shape == 2:
            y = np.full(n, rng.normal())
        elif shape == 3 and n:
            y[rng.integers(0, n)] = rng.choice([np.nan, np.inf, -np.inf])
        elif shape == 4:
            y = y * 10.0 ** rng.choice([-300, -150, 150, 300])
        elif shape == 5:
            y = np.round(y * 2) / 2
        elif shape == 6 and n > 4:
            y[:: 3] = 0.0
            y[1:: 5] = -0.0
        out.append(np.ascontiguousarray(y, dtype=float))
    return out


HCTSA_SERIES = 200


def raised(call):
    """The type and message of what call() raises (the internal failure is not an Exception)."""
    try:
        call()
    except BaseException as error:
        return ("raised", type(error).__name__, str(error))
    return ("returned",)


def batch_worker(module_dir, count, seed):
    sys.path.insert(0, module_dir)
    import quorlex_batch as qb

    loaded_from(module_dir)
    series = batch_series(count, seed)
    hctsa_names = qb.feature_names("hctsa")
    others = qb.feature_names("catch24") + qb.feature_names("catchamouse16") + qb.feature_names("tsfeatures")
    mixed = []
    for k, name in enumerate(hctsa_names[::23]):
        mixed.append(name)
        if k % 3 != 2:
            mixed.append(others[(5 * k) % len(others)])
    mixed = list(dict.fromkeys(mixed))
    requests = [(name, name) for name in qb.sets()]
    requests += [("FeatureSet('combined', hctsa=True)", qb.FeatureSet("combined", hctsa=True)),
                 ("FeatureSet('hctsa', normalize=False)", qb.FeatureSet("hctsa", normalize=False)),
                 ("FeatureSet('catch24', normalize=False)", qb.FeatureSet("catch24", normalize=False)),
                 ("FeatureSet('tsfeatures', freq=4)", qb.FeatureSet("tsfeatures", freq=4)),
                 ("FeatureSet('catch24-v1', mask=False)", qb.FeatureSet("catch24-v1", mask=False)),
                 ("mixed feature list", mixed)]
    results = {}
    for label, features in requests:
        slow = "hctsa" in label or label == "mixed feature list" or (
            label == "combined" and isinstance(features, qb.FeatureSet))
        # An empty series ends a run with hctsa members (an internal failure
        # of its quantiles): their matrices come from non-empty series, and
        # the failure is compared on its own.
        data = [y for y in series if len(y)][:HCTSA_SERIES] if slow else series
        for n_jobs in (1, 2):
            key = f"{label} n_jobs={n_jobs}"
            if slow:
                results[(key, -1)] = raised(lambda: qb.extract_array([np.empty(0)], features, n_jobs=n_jobs))
            try:
                matrix, names, masked = qb.extract_array(data, features, n_jobs=n_jobs, return_masked=True)
            except BaseException as error:  # a raised error is compared like a value
                results[(key, -1)] = ("raised", type(error).__name__, str(error))
                continue
            for i in range(len(data)):  # one comparison per series: its row, flags and the names
                results[(key, i)] = (names, matrix[i].tobytes(), masked[i].tobytes())
    return results


def worker(module_dir, count, seed, only):
    sys.path.insert(0, module_dir)
    import quorlex as q

    loaded_from(module_dir)
    names = sorted(n for n in dir(q) if n.endswith("_f"))
    if only:
        names = [n for n in names if n in only]
    results = {}
    for i, y in enumerate(series_set(count, seed)):
        for name in names:
            if name in SHORT_ONLY and len(y) > 2_000:
                continue
            call = CALLS.get(name) or (cumulative_call(name) if name.startswith("extract_")
                                       else (lambda q, y, name=name: getattr(q, name)(y)))
            try:
                value = bits(call(q, y))
            except Exception as error:  # a raised error is compared like a value
                value = ("raised", type(error).__name__, str(error))
            results[(name, i)] = value
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only", nargs="*", default=[])
    parser.add_argument("--after-threads", type=int, help="pool size of the after build (default: the machine's)")
    parser.add_argument("--batch", action="store_true", help="compare quorlex_batch's matrices of every set")
    parser.add_argument("--worker", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.worker:
        results = (batch_worker(args.worker, args.count, args.seed) if args.batch
                   else worker(args.worker, args.count, args.seed, set(args.only)))
        sys.stdout.buffer.write(pickle.dumps(results))
        return
    runs = []
    for directory in (args.before, args.after):
        command = [sys.executable, __file__, args.before, args.after, "--count", str(args.count), "--seed",
                   str(args.seed), "--worker", os.path.abspath(directory), *(["--batch"] if args.batch else []),
                   "--only", *args.only]
        env = dict(os.environ)
        if directory == args.after and args.after_threads:
            env["RAYON_NUM_THREADS"] = str(args.after_threads)
        done = subprocess.run(command, stdout=subprocess.PIPE, env=env)  # the worker's errors show
        if done.returncode != 0:
            sys.exit(f"the worker for {directory} failed")
        runs.append(pickle.loads(done.stdout))
    before, after = runs
    totals = {}
    for key in sorted(set(before) | set(after)):
        same = before.get(key) == after.get(key)
        compared, mismatched = totals.get(key[0], (0, 0))
        totals[key[0]] = (compared + 1, mismatched + (not same))
        if not same and mismatched < 3:
            print(f"MISMATCH {key[0]} series {key[1]}", file=sys.stderr)
    bad = 0
    for name, (compared, mismatched) in sorted(totals.items()):
        print(f"{name:50s} {compared:6d} series {mismatched:4d} mismatches")
        bad += mismatched
    print(f"total: {sum(c for c, _ in totals.values())} comparisons, {bad} mismatches")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
