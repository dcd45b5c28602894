"""Single-threaded timings of the heavier kernels and set runs, side by side
for one or more builds of quorlex and pycatch22 in one run.

    python bench/bench_kernels.py [--peer PYTHON] NAME=BUILD_DIR [NAME=BUILD_DIR ...]

BUILD_DIR holds a built quorlex*.so (for example before=build/before/python
after=build/dev/python). PYTHON is an interpreter with pycatch22 installed
(the current release, 1.0.2, in a venv of its own because scripts/check pins
an older one), default .venv-bench/bin/python. Every column runs in its own
process with RAYON_NUM_THREADS=1; each cell is the minimum over 15 timed calls
(the machine is shared, so the minimum is the stable statistic). Milliseconds.

Targets: catch22_all_f(catch24=True) at least 4x faster than pycatch22 at
1,000 and 10,000 values; tsfeatures_all_f at 10,000 under 8 ms; hurst_f at
100,000 under 100 ms; the sixteen catchaMouse16 features at 10,000 under 2.5 ms.
"""

import json
import os
import subprocess
import sys
import time

REPEATS = 15

SIXTEEN = [
    "sy_driftingmean50_min_f", "ph_walker_momentum_5_w_momentumzcross_f",
    "ph_walker_biasprop_05_01_sw_meanabsdiff_f", "in_automutualinfostats_diff_20_gaussian_ami8_f",
    "fc_looplocalsimple_mean_stderr_chn_f", "co_translateshape_circle_35_pts_statav4_m_f",
    "co_translateshape_circle_35_pts_std_f", "co_histogram_ami_even_10_3_f", "co_histogram_ami_even_2_3_f",
    "ac_nl_035_f", "ac_nl_036_f", "ac_nl_112_f", "dn_removepoints_absclose_05_ac2rat_f",
    "sc_fluctanal_2_dfa_50_2_logi_r2_se2_f", "co_addnoise_1_even_10_ami_at_10_f",
]


def noise(n):
    import numpy as np

    return np.random.default_rng(n).normal(size=n)


def walk(n):
    import numpy as np

    return np.cumsum(np.random.default_rng(n).normal(size=n))


def minimum_ms(call):
    call()
    best = float("inf")
    for _ in range(REPEATS):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best * 1e3


def quorlex_rows():
    import quorlex as q

    def sixteen(y):
        def run():
            for name in SIXTEEN:
                getattr(q, name)(y)
            q.st_localextrema_n100_diffmaxabsmin_f(y, False)
        return run

    rows = {}
    for n in (1_000, 10_000):
        y = noise(n)
        rows[f"catch22_all_f(catch24=True), n={n:,}"] = minimum_ms(lambda: q.catch22_all_f(y, catch24=True))
    y = noise(10_000)
    rows["tsfeatures_all_f, n=10,000"] = minimum_ms(lambda: q.tsfeatures_all_f(y))
    rows["catchaMouse16 sixteen (list input), n=10,000"] = minimum_ms(sixteen(y.tolist()))
    rows["catchaMouse16 sixteen (array input), n=10,000"] = minimum_ms(sixteen(y))
    for n in (10_000, 100_000):
        rows[f"hurst_f noise, n={n:,}"] = minimum_ms(lambda y=noise(n): q.hurst_f(y))
        rows[f"hurst_f walk, n={n:,}"] = minimum_ms(lambda y=walk(n): q.hurst_f(y))
    for name in ("fc_localsimple_mean1_tauresrat_f", "co_f1ecac_f", "dn_removepoints_absclose_05_ac2rat_f",
                 "sp_summaries_welch_rect_centroid_f", "in_automutualinfostats_40_gaussian_fmmi_f",
                 "sb_motifthree_quantile_hh_f", "fc_looplocalsimple_mean_stderr_chn_f",
                 "sc_fluctanal_2_dfa_50_2_logi_r2_se2_f"):
        rows[f"{name}, n=10,000"] = minimum_ms(lambda f=getattr(q, name): f(y))
    rows["pd_periodicitywang_f walk, n=10,000"] = minimum_ms(lambda y=walk(10_000): q.pd_periodicitywang_f(y))
    short = noise(1_000)
    rows["extract_catch22_features_cumulative_f, n=1,000"] = minimum_ms(
        lambda: q.extract_catch22_features_cumulative_f(short))
    rows["extract_tsfeatures_cumulative_f, n=1,000"] = minimum_ms(
        lambda: q.extract_tsfeatures_cumulative_f(short))
    return rows


def peer_rows():
    import pycatch22

    rows = {}
    for n in (1_000, 10_000):
        y = noise(n).tolist()
        rows[f"catch22_all_f(catch24=True), n={n:,}"] = minimum_ms(lambda: pycatch22.catch22_all(y, catch24=True))
    return rows


def child(python, mode, module_dir=None):
    env = dict(os.environ, RAYON_NUM_THREADS="1")
    if module_dir:
        env["PYTHONPATH"] = os.path.abspath(module_dir)
    out = subprocess.run([python, __file__, mode], env=env, capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def main():
    args = sys.argv[1:]
    if args == ["--quorlex"]:
        print(json.dumps(quorlex_rows()))
        return
    if args == ["--peer"]:
        print(json.dumps(peer_rows()))
        return
    peer = ".venv-bench/bin/python"
    if args[:1] == ["--peer"]:
        peer, args = args[1], args[2:]
    columns = {}
    for column in args:
        name, directory = column.split("=", 1)
        columns[name] = child(sys.executable, "--quorlex", directory)
    try:
        from importlib.metadata import version  # noqa: F401

        version_text = subprocess.run([peer, "-c", "import importlib.metadata as m; print(m.version('pycatch22'))"],
                                      capture_output=True, text=True, check=True).stdout.strip()
        columns[f"pycatch22 {version_text}"] = child(peer, "--peer")
    except (OSError, subprocess.CalledProcessError):
        pass
    rows = list(next(iter(columns.values())))
    width = max(len(r) for r in rows)
    print(f"{'ms, single thread, min of 15':{width}s}" + "".join(f"{c:>16s}" for c in columns))
    for row in rows:
        print(f"{row:{width}s}" + "".join(f"{columns[c].get(row, float('nan')):16.3f}" for c in columns))
    last = list(columns)[len(args) - 1]
    peer_column = next((c for c in columns if c.startswith("pycatch22")), None)
    if peer_column:
        for n in ("1,000", "10,000"):
            row = f"catch22_all_f(catch24=True), n={n}"
            print(f"catch22 speed-up over {peer_column} at n={n} ({last}): "
                  f"{columns[peer_column][row] / columns[last][row]:.2f}x (target >= 4)")


if __name__ == "__main__":
    main()
