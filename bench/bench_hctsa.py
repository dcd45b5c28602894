"""hctsa set run speed, side by side in one run: compute_hctsa_parallel_f(y, True)
with the default pool (wall time) and with RAYON_NUM_THREADS=1 (CPU time of the
process, which a loaded machine disturbs less), beside
catch22_all_f(y, catch24=True) in the same two settings. The load average is
printed with the results: pooled wall times mean little on a busy machine.

Target: at n = 1,000 with the pool, the 512-feature run within 10x the time of
catch24 (stretch: 5x)."""

import json
import os
import subprocess
import sys
import time

from bench_catch22 import seconds_per_call, series

LENGTHS = [100, 1_000, 5_000]


def cpu_seconds_per_call(function, budget=1.0):
    function()
    start = time.process_time()
    function()
    once = time.process_time() - start
    number = max(1, min(1000, int(budget / max(once, 1e-6))))
    best = float("inf")
    for _ in range(3):
        start = time.process_time()
        for _ in range(number):
            function()
        best = min(best, (time.process_time() - start) / number)
    return best


def measure(cpu):
    import quorlex

    timer = cpu_seconds_per_call if cpu else seconds_per_call
    return {
        "hctsa": {n: timer(lambda y=series(n): quorlex.compute_hctsa_parallel_f(y, True)) for n in LENGTHS},
        "catch24": {n: timer(lambda y=series(n): quorlex.catch22_all_f(y, catch24=True)) for n in LENGTHS},
    }


def in_subprocess(threads=None):
    env = dict(os.environ)
    if threads is not None:
        env["RAYON_NUM_THREADS"] = str(threads)
    mode = "--measure-cpu" if threads == 1 else "--measure"
    out = subprocess.run([sys.executable, __file__, mode], env=env, capture_output=True, text=True, check=True)
    return {k: {int(n): t for n, t in v.items()} for k, v in json.loads(out.stdout).items()}


def main():
    pooled = in_subprocess()
    single = in_subprocess(threads=1)
    print("ms per series: compute_hctsa_parallel_f(y, True) and catch22_all_f(y, catch24=True);"
          " pool: wall time, 1 thr: CPU time")
    print("load average at the end: " + " ".join(f"{v:.2f}" for v in os.getloadavg()))
    print(f"{'n':>6} {'hctsa pool':>11} {'hctsa 1 thr':>12} {'c24 pool':>9} {'c24 1 thr':>10} {'ratio pool':>11}"
          f" {'ratio 1 thr':>12}")
    for n in LENGTHS:
        hp, hs, cp, cs = pooled["hctsa"][n], single["hctsa"][n], pooled["catch24"][n], single["catch24"][n]
        print(f"{n:>6} {hp * 1e3:>11.3f} {hs * 1e3:>12.3f} {cp * 1e3:>9.3f} {cs * 1e3:>10.3f} {hp / cp:>10.1f}x"
              f" {hs / cs:>11.1f}x")


if __name__ == "__main__":
    if sys.argv[1:] in (["--measure"], ["--measure-cpu"]):
        print(json.dumps(measure(cpu=sys.argv[1] == "--measure-cpu")))
    else:
        main()
