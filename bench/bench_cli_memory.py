"""Peak memory of quorlex-extract on a generated long CSV larger than its budget.

Writes a long CSV (id,time,value; random walks of --length points) of about
--size-gb gigabytes into a temporary folder, runs `python -m quorlex_batch` on
it to a Parquet file, and reports the wall time and the child's peak resident
memory (getrusage). The command reads the file in chunks of whole series, so
the peak should stay far below the file size: the target is 500 MB for 1 GB.

    python bench/bench_cli_memory.py [--size-gb 1.0] [--length 1000] [--features catch24]
"""

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd

import quorlex_batch


def generate(path, size, length, seed=0):
    rng = np.random.default_rng(seed)
    block = 400  # series per write
    first = 0
    with open(path, "w", newline="") as handle:
        handle.write("id,time,value\n")
        while handle.tell() < size:
            ids = np.repeat(np.array([f"s{i:07d}" for i in range(first, first + block)]), length)
            walks = rng.normal(size=(block, length)).cumsum(axis=1).ravel()
            frame = pd.DataFrame({"id": ids, "time": np.tile(np.arange(length), block), "value": walks})
            frame.to_csv(handle, header=False, index=False, float_format="%.6g")
            first += block
    return first


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size-gb", type=float, default=1.0)
    parser.add_argument("--length", type=int, default=1000)
    default = "catch24" if "catch24" in quorlex_batch.sets() else "catchamouse16"
    parser.add_argument("--features", default=default)
    parser.add_argument("--jobs", type=int, default=None)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR")) as folder:
        source = os.path.join(folder, "long.csv")
        start = time.perf_counter()
        series = generate(source, int(args.size_gb * 1e9), args.length)
        size = os.path.getsize(source)
        print(f"generated {size / 1e9:.2f} GB: {series} series x {args.length} points"
              f" in {time.perf_counter() - start:.0f} s")
        command = [sys.executable, "-m", "quorlex_batch", source, "-o", os.path.join(folder, "features.parquet"),
                   "--id", "id", "--sort", "time", "--value", "value", "--features", args.features, "--quiet"]
        if args.jobs is not None:
            command += ["--jobs", str(args.jobs)]
        start = time.perf_counter()
        subprocess.run(command, check=True)
        elapsed = time.perf_counter() - start
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024  # kB on Linux
        features = pd.read_parquet(os.path.join(folder, "features.parquet"))
        print(f"quorlex-extract --features {args.features}: {len(features)} series in {elapsed:.1f} s"
              f" ({size / 1e6 / elapsed:.0f} MB/s, {len(features) / elapsed:.0f} series/s),"
              f" peak memory {peak:.0f} MB (target: under 500 MB)")


if __name__ == "__main__":
    main()
