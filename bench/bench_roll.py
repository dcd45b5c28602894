"""Rolling windows: roll against ready-made windows, tsfresh and a Python loop.

Each measurement runs in a child process of its own, so that its peak resident
memory (getrusage) is its own; times are the best of --repeat runs.

- A long recording: one random walk of 1,000,000 points, windows of 1,000
  points every 10 (99,901 windows), catch24, on one and two threads:
  roll_array against extract_array on the same windows handed to it as a
  ready-made matrix (built before the clock starts), and roll_array's peak
  memory against the process before the call (interpreter and input) plus the
  output matrix.
- Against tsfresh: 5 random walks of 1,000 points, windows of 100 points every
  point (4,505 windows). quorlex: roll on the long data frame, catch24, one
  thread. tsfresh: roll_time_series plus extract_features with
  MinimalFCParameters and n_jobs=0 (tsfresh installed in --tsfresh-python,
  e.g. a separate venv). Also the size tsfresh's rolled frame would take for
  the long recording, from its bytes per row here.
- Against a Python loop of extract over slices, one thread: the tsfresh setup
  and the long recording's windows every 100 points.

    python bench/bench_roll.py [--tsfresh-python .venv-bench/bin/python] [--repeat 3] [--long-repeat 1]
"""

import argparse
import json
import resource
import subprocess
import sys
import time

LONG, WINDOW, STEP = 1_000_000, 1000, 10
SHORT_SERIES, SHORT_LENGTH, SHORT_WINDOW = 5, 1000, 100


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def walk(n, seed=0):
    import numpy as np

    return np.cumsum(np.random.default_rng(seed).normal(size=n))


def short_frame():
    import numpy as np
    import pandas as pd

    return pd.DataFrame({"id": np.repeat(np.arange(SHORT_SERIES), SHORT_LENGTH),
                         "time": np.tile(np.arange(SHORT_LENGTH), SHORT_SERIES),
                         "value": walk(SHORT_SERIES * SHORT_LENGTH, 1)})


def best(call, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
    return min(times), result


def child(name, repeat, jobs):
    """One measurement; prints a JSON line."""
    out = {}
    if name == "baseline":  # the interpreter with the input of the long recording
        import quorlex_batch as qb  # noqa: F401

        y = walk(LONG)
        out["input_mb"] = y.nbytes / 2**20
    elif name == "roll":
        import quorlex_batch as qb

        y = walk(LONG)
        before = peak_mb()
        out["seconds"], (matrix, _, _) = best(lambda: qb.roll_array(y, "catch24", WINDOW, STEP, n_jobs=jobs), repeat)
        out["windows"], out["output_mb"], out["before_mb"] = len(matrix), matrix.nbytes / 2**20, before
    elif name == "ready":
        import numpy as np

        import quorlex_batch as qb

        y = walk(LONG)
        ends = np.arange(LONG, WINDOW - 1, -STEP)[::-1]
        ready = np.lib.stride_tricks.sliding_window_view(y, WINDOW)[ends - WINDOW]  # a copy, C-contiguous
        out["seconds"], _ = best(lambda: qb.extract_array(ready, "catch24", n_jobs=jobs), repeat)
        out["ready_mb"] = ready.nbytes / 2**20
    elif name == "quorlex-short":
        import quorlex_batch as qb

        frame = short_frame()
        before = peak_mb()
        out["seconds"], X = best(lambda: qb.roll(frame, "catch24", SHORT_WINDOW, column_id="id", column_sort="time",
                                                 n_jobs=1), repeat)
        out["windows"], out["before_mb"] = len(X), before
    elif name == "tsfresh":
        from tsfresh import extract_features
        from tsfresh.feature_extraction import MinimalFCParameters
        from tsfresh.utilities.dataframe_functions import roll_time_series

        frame = short_frame()
        before = peak_mb()
        start = time.perf_counter()
        rolled = roll_time_series(frame, column_id="id", column_sort="time", max_timeshift=SHORT_WINDOW - 1,
                                  min_timeshift=SHORT_WINDOW - 1, n_jobs=0, disable_progressbar=True)
        out["rolling_seconds"] = time.perf_counter() - start
        X = extract_features(rolled, column_id="id", column_sort="time", default_fc_parameters=MinimalFCParameters(),
                             n_jobs=0, disable_progressbar=True)
        out["seconds"] = time.perf_counter() - start
        out["windows"], out["before_mb"] = len(X), before
        out["rolled_rows"] = len(rolled)
        out["rolled_bytes_per_row"] = rolled.memory_usage(deep=True).sum() / len(rolled)
    elif name in ("loop-short", "loop-long", "roll-long-100"):
        import numpy as np

        import quorlex_batch as qb

        if name == "loop-short":
            frame = short_frame()
            series = [frame.value.to_numpy()[frame.id.to_numpy() == i] for i in range(SHORT_SERIES)]
            window, step = SHORT_WINDOW, 1
        else:
            series, window, step = [walk(LONG)], WINDOW, 100
        if name == "roll-long-100":
            out["seconds"], (matrix, _, _) = best(lambda: qb.roll_array(series[0], "catch24", window, step, n_jobs=1),
                                                  repeat)
            out["windows"] = len(matrix)
        else:
            def loop():
                rows = [qb.extract(y[None, end - window:end], "catch24", n_jobs=1)
                        for y in series for end in range(len(y), window - 1, -step)]
                return rows

            out["seconds"], rows = best(loop, 1)
            out["windows"] = len(rows)
    out["peak_mb"] = peak_mb()
    print(json.dumps(out))


def measure(python, name, repeat, jobs=1):
    command = [python, __file__, "--child", name, "--repeat", str(repeat), "--jobs", str(jobs)]
    done = subprocess.run(command, check=True, capture_output=True, text=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tsfresh-python", default=sys.executable)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--long-repeat", type=int, default=1, help="runs of the long recording (about 1 ms a window)")
    parser.add_argument("--child")
    parser.add_argument("--jobs", type=int, default=1)
    args = parser.parse_args()
    if args.child:
        return child(args.child, args.repeat, args.jobs)

    print(f"long recording: {LONG:,} points, window {WINDOW}, step {STEP}, catch24")
    base = measure(sys.executable, "baseline", 1)
    for jobs in (1, 2):
        rolled = measure(sys.executable, "roll", args.long_repeat, jobs)
        ready = measure(sys.executable, "ready", args.long_repeat, jobs)
        print(f"  {jobs} thread{'s' if jobs > 1 else ''}: roll_array {rolled['seconds']:.2f} s,"
              f" extract_array on ready-made windows {ready['seconds']:.2f} s"
              f" ({rolled['seconds'] / ready['seconds']:.2f}x; {rolled['windows']:,} windows)")
        over = rolled["peak_mb"] - base["peak_mb"] - rolled["output_mb"]
        print(f"    peak RSS: roll_array {rolled['peak_mb']:.0f} MB = interpreter and input {base['peak_mb']:.0f} MB"
              f" (input {base['input_mb']:.0f} MB) + output {rolled['output_mb']:.0f} MB + {over:.0f} MB;"
              f" ready-made windows alone take {ready['ready_mb']:.0f} MB (peak {ready['peak_mb']:.0f} MB)")

    print(f"against tsfresh: {SHORT_SERIES} series x {SHORT_LENGTH} points, window {SHORT_WINDOW}, step 1")
    ours = measure(sys.executable, "quorlex-short", args.repeat)
    theirs = measure(args.tsfresh_python, "tsfresh", 1)
    print(f"  quorlex roll, catch24, 1 thread: {ours['seconds']:.3f} s, {ours['windows']:,} windows,"
          f" peak RSS {ours['peak_mb']:.0f} MB (before the call {ours['before_mb']:.0f} MB)")
    print(f"  tsfresh roll_time_series + extract_features(MinimalFCParameters, n_jobs=0): {theirs['seconds']:.2f} s"
          f" ({theirs['rolling_seconds']:.2f} s rolling), {theirs['windows']:,} windows,"
          f" peak RSS {theirs['peak_mb']:.0f} MB (before the call {theirs['before_mb']:.0f} MB)")
    print(f"  quorlex is {theirs['seconds'] / ours['seconds']:.0f}x faster")
    shifts = LONG - WINDOW + 1
    rows = shifts * WINDOW
    per_row = theirs["rolled_bytes_per_row"]
    print(f"  tsfresh's rolled frame: {per_row:.0f} bytes per row here; for the long recording every shift of"
          f" {WINDOW} points is {rows:,} rows, about {rows * per_row / 1e9:.0f} GB"
          f" ({rows * per_row / STEP / 1e9:.0f} GB even if only every {STEP}th window were kept)")

    print("against a Python loop of extract over slices, 1 thread")
    loop_short = measure(sys.executable, "loop-short", 1)
    print(f"  tsfresh setup: loop {loop_short['seconds']:.2f} s, roll {ours['seconds']:.3f} s"
          f" ({loop_short['seconds'] / ours['seconds']:.0f}x)")
    loop_long = measure(sys.executable, "loop-long", 1)
    roll_long = measure(sys.executable, "roll-long-100", args.repeat)
    print(f"  long recording, step 100 ({roll_long['windows']:,} windows): loop {loop_long['seconds']:.2f} s,"
          f" roll_array {roll_long['seconds']:.2f} s ({loop_long['seconds'] / roll_long['seconds']:.1f}x)")


if __name__ == "__main__":
    main()
