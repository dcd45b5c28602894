"""Writes, as a pickle, what the quorlex importable here computes on a fixed
corpus: every module function (called as bench/compare_builds.py calls it) and
every batch set, on that script's series cut to a modest length, so that two
builds (another compiler, another architecture) can be compared value by value.

Usage: values.py OUTPUT [--count N] [--length L] [--only NAME ...]

The pickle maps (function or "batch/<set>", series index) to a flat list of the
results (floats keep their bits), or to ("raised", type, message)."""

import argparse
import importlib.util
import pathlib
import pickle
import sys

REPO = pathlib.Path(__file__).resolve().parents[2]


def compare_builds():
    found = importlib.util.spec_from_file_location("compare_builds", REPO / "bench" / "compare_builds.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def flat(value):
    if isinstance(value, dict):
        return [x for key, item in sorted(value.items()) for x in [key, *flat(item)]]
    if isinstance(value, (list, tuple)):
        return [x for item in value for x in flat(item)]
    if hasattr(value, "tolist"):  # numpy arrays and scalars
        return flat(value.tolist())
    return [value]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--length", type=int, default=400)
    parser.add_argument("--only", nargs="*", default=[])
    args = parser.parse_args()

    import numpy as np
    import quorlex as q
    import quorlex_batch

    builds = compare_builds()
    corpus = [np.ascontiguousarray(y[:args.length]) for y in builds.series_set(args.count, 1)]
    names = sorted(n for n in dir(q) if n.endswith("_f") and (not args.only or n in args.only))
    results = {}
    for name in names:
        call = builds.CALLS.get(name) or (builds.cumulative_call(name) if name.startswith("extract_")
                                          else (lambda q, y, name=name: getattr(q, name)(y)))
        for i, y in enumerate(corpus):
            try:
                results[(name, i)] = flat(call(q, y))
            except Exception as error:  # a raised error is compared like a value
                results[(name, i)] = ("raised", type(error).__name__, str(error))
    for set_name in quorlex_batch.sets():
        if args.only and f"batch/{set_name}" not in args.only:
            continue
        matrix, columns = quorlex_batch.extract_array(corpus, set_name, n_jobs=2)
        for i, row in enumerate(matrix.tolist()):
            results[(f"batch/{set_name}", i)] = [*columns, *row]
    with open(args.output, "wb") as out:
        pickle.dump({"file": q.__file__, "values": results}, out)


if __name__ == "__main__":
    main()
