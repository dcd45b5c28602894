"""catch22 speed per series, side by side: catch22_all_f(y, catch24=True) with
the default pool and with RAYON_NUM_THREADS=1, against pycatch22 (0.4.5, the
classic C reference); then cumulative extraction on 1,000 and 5,000 values.

Targets: single-threaded at least 1.5x faster than pycatch22 from length 1,000,
with the pool at least 2.5x faster."""

import json
import os
import subprocess
import sys
import timeit

import numpy as np

LENGTHS = [100, 1_000, 10_000, 100_000]


def seconds_per_call(function, budget=1.0):
    function()
    once = timeit.timeit(function, number=1)
    number = max(1, min(1000, int(budget / max(once, 1e-6))))
    return min(timeit.repeat(function, number=number, repeat=3)) / number


def series(n):
    return np.random.default_rng(n).normal(size=n)


def measure_quorlex():
    import quorlex

    return {n: seconds_per_call(lambda y=series(n): quorlex.catch22_all_f(y, catch24=True)) for n in LENGTHS}


def measure_cumulative():
    import quorlex

    return {n: seconds_per_call(lambda y=series(n): quorlex.extract_catch22_features_cumulative_f(y), budget=3.0)
            for n in (1_000, 5_000)}


def in_subprocess(mode, threads=None):
    env = dict(os.environ)
    if threads is not None:
        env["RAYON_NUM_THREADS"] = str(threads)
    out = subprocess.run([sys.executable, __file__, mode], env=env, capture_output=True, text=True, check=True)
    return {int(k): v for k, v in json.loads(out.stdout).items()}


def main():
    pooled = in_subprocess("--quorlex")
    single = in_subprocess("--quorlex", threads=1)
    try:
        import pycatch22

        reference = {n: seconds_per_call(lambda y=series(n).tolist(): pycatch22.catch22_all(y, catch24=True))
                     for n in LENGTHS}
        from importlib.metadata import version as package_version

        version = package_version("pycatch22")
    except ImportError:
        reference, version = {}, "not installed"
    print(f"catch22_all_f(y, catch24=True), ms per series (pycatch22 {version})")
    print(f"{'n':>8} {'pool':>10} {'1 thread':>10} {'pycatch22':>10} {'x 1 thread':>11} {'x pool':>8}")
    for n in LENGTHS:
        ref = reference.get(n, float("nan"))
        print(f"{n:>8} {pooled[n] * 1e3:>10.3f} {single[n] * 1e3:>10.3f} {ref * 1e3:>10.3f}"
              f" {ref / single[n]:>10.2f}x {ref / pooled[n]:>7.2f}x")
    cumulative = in_subprocess("--cumulative")
    print("\nextract_catch22_features_cumulative_f, ms per series")
    for n, t in cumulative.items():
        print(f"{n:>8} {t * 1e3:>10.1f}")
    print(f"growth 1,000 -> 5,000 values: {cumulative[5000] / cumulative[1000]:.1f}x time for 5x length")


if __name__ == "__main__":
    if sys.argv[1:] == ["--quorlex"]:
        print(json.dumps(measure_quorlex()))
    elif sys.argv[1:] == ["--cumulative"]:
        print(json.dumps(measure_cumulative()))
    else:
        main()
