import math
import os
import subprocess
import sys
import warnings

import numpy as np
import pytest

import quorlex as q

nan = float("nan")


def noise(n, seed=0):
    return np.random.default_rng(seed).standard_normal(n).tolist()


def same(a, b):
    """Bitwise-equal floats, NaN matching NaN."""
    return (math.isnan(a) and math.isnan(b)) or a == b


def panic_message(call):
    with pytest.raises(BaseException) as excinfo:
        call()
    assert type(excinfo.value).__name__ == "PanicException"
    return str(excinfo.value)


# ---- crossing points, flat spots, entropy ----


def test_crossing_points():
    assert q.crossing_points_f([1.0, 2.0, 1.0, 2.0]) == 3.0
    assert q.crossing_points_f([1.0, 2.0, nan, 1.0, 2.0]) == 0.0
    assert q.crossing_points_f([5.0]) == 0.0
    assert q.crossing_points_f([]) == 0.0


def test_flat_spots_nan_and_degenerate_ranges():
    assert q.flat_spots_f([nan]) == 1.0
    assert math.isnan(q.flat_spots_f([nan, nan]))
    assert q.flat_spots_f([3.0, 3.0, nan, 3.0]) == 4.0
    assert math.isnan(q.flat_spots_f([]))
    assert math.isnan(q.flat_spots_f([1.0, math.inf, 2.0]))
    assert math.isnan(q.flat_spots_f([math.inf]))


def test_flat_spots_runs():
    # A NaN splits a run: two runs of two, not one of four.
    assert q.flat_spots_f([0.0, 0.0, nan, 0.0, 0.0, 10.0]) == 2.0
    # The minimum sits in the first bin thanks to the widened lowest break;
    # 0.05 (bin 1) and 0.15 (bin 2) differ.
    assert q.flat_spots_f([0.0, 0.05, 0.05, 0.15, 1.0]) == 3.0
    assert q.flat_spots_f([0.0, 1.0] * 5) == 1.0


def direct_entropy(y):
    """Spectral entropy from an O(n^2) DFT, independent of any FFT."""
    z = np.asarray(y) - np.mean(y)
    n = len(z)
    k = np.arange(n)
    x = np.exp(-2j * np.pi * np.outer(k, k) / n) @ z
    half = n // 2
    power = np.abs(x[: half + 1]) ** 2 / n
    power[1:half] *= 2
    if n % 2 == 1:
        power[half] *= 2
    p = power / power.sum()
    p = p[(p > 0) & (p <= 1)]
    return -np.sum(p * np.log2(p)) / np.log2(half + 1)


@pytest.mark.parametrize("n", list(range(2, 65)) + [1009, 1013, 1999])
def test_entropy_matches_direct_dft(n):
    y = noise(n, seed=n)
    assert q.entropy_f(y) == pytest.approx(direct_entropy(y), rel=1e-10)


def test_entropy_fixed_values():
    assert math.isnan(q.entropy_f([4.0] * 10))
    assert q.entropy_f([1.0, 2.0]) == 0.0
    assert math.isnan(q.entropy_f([1.0]))
    assert math.isnan(q.entropy_f([1.0, nan, 2.0]))
    assert math.isnan(q.entropy_f([1.0, math.inf, 2.0]))
    t = np.arange(256)
    assert q.entropy_f(np.sin(2 * np.pi * 8 * t / 256)) < 0.01
    assert q.entropy_f(noise(4096)) > 0.9


# ---- lumpiness, stability, hurst ----


def test_block_widths_by_freq():
    assert q.lumpiness_f(noise(19)) == q.stability_f(noise(19)) == 0.0
    assert math.isnan(q.lumpiness_f([]))
    y = noise(60, seed=5)
    # freq=1 and an omitted freq both mean blocks of 10.
    assert q.stability_f(y) == q.stability_f(y, freq=1) == q.stability_f(y, freq=10)
    assert q.lumpiness_f(y) == q.lumpiness_f(y, freq=None) == q.lumpiness_f(y, freq=10)
    # None means blocks of one value for stability: the sample variance.
    assert q.stability_f(y, freq=None) == pytest.approx(np.var(y, ddof=1), rel=1e-12)
    assert math.isnan(q.stability_f(y[:10] + [nan], freq=None))


def test_block_statistics_by_hand():
    y = [1.0, 2.0, 3.0, 10.0, 20.0, 30.0, 5.0, 5.0, 6.0]
    # Block variances 1, 100, 1/3; block means 2, 20, 16/3.
    assert q.lumpiness_f(y, freq=3) == pytest.approx(np.var([1.0, 100.0, 1 / 3], ddof=1), rel=1e-14)
    assert q.stability_f(y, freq=3) == pytest.approx(np.var([2.0, 20.0, 16 / 3], ddof=1), rel=1e-14)
    # An all-NaN block is skipped by lumpiness and spoils stability.
    with_gap = y + [nan, nan, nan]
    assert q.lumpiness_f(with_gap, freq=3) == q.lumpiness_f(y, freq=3)
    assert math.isnan(q.stability_f(with_gap, freq=3))


def test_stability_zero_freq_panics():
    assert panic_message(lambda: q.stability_f(noise(30), freq=0)) == "attempt to divide by zero"
    assert panic_message(lambda: q.tsfeatures_all_f(noise(30), freq=0)) == "attempt to divide by zero"
    assert q.stability_f([1.0, 2.0]) == 0.0  # the module is still usable


def test_hurst():
    assert q.hurst_f([nan]) == 0.0
    assert math.isnan(q.hurst_f([1.0, 2.0]))
    assert math.isnan(q.hurst_f([7.0] * 50))
    assert math.isnan(q.hurst_f([1.0, nan, 3.0]))
    assert q.hurst_f(list(range(1, 201))) == pytest.approx(1.0, abs=0.05)
    assert 0.3 < q.hurst_f(noise(2000)) < 0.7


# ---- pacf, nonlinearity, arch ----


def yule_walker_pacf(y, nlags):
    """Partial autocorrelations as the last coefficient of each Yule-Walker fit."""
    c = np.asarray(y) - np.mean(y)
    n = len(c)
    g = np.array([np.dot(c[: n - k], c[k:]) / n for k in range(nlags + 1)])
    out = [1.0]
    for k in range(1, nlags + 1):
        toeplitz = np.array([[g[abs(i - j)] for j in range(k)] for i in range(k)])
        out.append(np.linalg.solve(toeplitz, g[1 : k + 1])[-1])
    return out


def test_pacf_feature_lengths():
    assert all(math.isnan(v) for v in q.pacf_features_f(noise(9)).values())
    ten = q.pacf_features_f(noise(10))
    assert sorted(ten) == ["diff1x_pacf5", "diff2x_pacf5", "x_pacf5"]
    assert math.isfinite(ten["x_pacf5"])

    short = q.pacf_features_f(noise(20), freq=12)
    assert math.isnan(short["x_pacf5"]) and math.isnan(short["seas_pacf"])
    assert math.isfinite(short["diff1x_pacf5"]) and math.isfinite(short["diff2x_pacf5"])

    y = noise(30, seed=7)
    f = q.pacf_features_f(y, freq=12)
    p = yule_walker_pacf(y, 12)
    assert f["seas_pacf"] == pytest.approx(p[12], rel=1e-9)
    assert f["x_pacf5"] == pytest.approx(sum(v * v for v in p[1:6]), rel=1e-9)
    d1 = np.diff(y)
    assert f["diff1x_pacf5"] == pytest.approx(sum(v * v for v in yule_walker_pacf(d1, 5)[1:]), rel=1e-9)


def test_pacf_feature_keys_by_freq():
    y = noise(40)
    assert "seas_pacf" not in q.pacf_features_f(y)
    assert "seas_pacf" not in q.pacf_features_f(y, freq=None)
    assert "seas_pacf" in q.pacf_features_f(y, freq=2)
    assert math.isnan(q.pacf_features_f(y[:4], freq=4)["seas_pacf"])
    for unusable in (y + [nan], []):
        f = q.pacf_features_f(unusable, freq=4)
        assert sorted(f) == ["diff1x_pacf5", "diff2x_pacf5", "x_pacf5"]
        assert all(math.isnan(v) for v in f.values())


def test_nonlinearity():
    assert math.isnan(q.nonlinearity_f([3.0] * 20))
    assert math.isnan(q.nonlinearity_f([1.0]))
    assert math.isnan(q.nonlinearity_f([1.0, math.inf, 2.0]))
    assert q.nonlinearity_f(noise(500)) < 1.0
    # A quadratic map is strongly nonlinear in its lag.
    x = [0.3]
    for _ in range(499):
        x.append(3.9 * x[-1] * (1 - x[-1]))
    assert q.nonlinearity_f(x) > 10.0


def test_arch_stat():
    assert math.isnan(q.arch_stat_f(noise(13)))
    assert math.isnan(q.arch_stat_f(noise(20)))  # 8 rows for 13 coefficients
    assert 0.0 <= q.arch_stat_f(noise(500)) < 0.1
    assert math.isnan(q.arch_stat_f([nan] + noise(30)))
    assert math.isnan(q.arch_stat_f(noise(30), lags=2**64 - 1))


def test_arch_stat_lag_one_by_hand():
    y = noise(40, seed=11)
    s = (np.asarray(y) - np.mean(y)) ** 2
    x = np.column_stack([np.ones(39), s[:-1]])
    b = np.linalg.solve(x.T @ x, x.T @ s[1:])
    r2 = 1 - np.sum((s[1:] - x @ b) ** 2) / np.sum((s[1:] - s[1:].mean()) ** 2)
    assert q.arch_stat_f(y, lags=1) == pytest.approx(r2, rel=1e-10)


# ---- unit-root statistics ----


def kpss_with_lag(y, lag):
    e = np.asarray(y) - np.mean(y)
    n = len(e)
    v = np.sum(e * e) + sum((1 - k / (lag + 1)) * 2 * np.dot(e[k:], e[: n - k]) for k in range(1, lag + 1))
    return np.sum(np.cumsum(e) ** 2) / (n * n) / (v / n)


def test_kpss():
    assert q.unitroot_kpss_f([1.0, 3.0]) == 0.5
    assert math.isnan(q.unitroot_kpss_f([2.0]))
    assert math.isnan(q.unitroot_kpss_f([]))
    assert math.isnan(q.unitroot_kpss_f([2.0] * 30))
    assert math.isnan(q.unitroot_kpss_f([1.0, nan, 2.0]))
    for n, lag in [(99, 3), (100, 4), (1000, 7)]:
        y = np.cumsum(noise(n, seed=n)).tolist()
        assert q.unitroot_kpss_f(y) == pytest.approx(kpss_with_lag(y, lag), rel=1e-10)
        assert q.unitroot_kpss_f(y) != pytest.approx(kpss_with_lag(y, lag + 1), rel=1e-6)


def test_phillips_perron():
    assert math.isnan(q.unitroot_pp_f([1.0, 2.0]))
    assert math.isnan(q.unitroot_pp_f([1.0]))
    assert math.isnan(q.unitroot_pp_f([1.0, 2.0, nan, 3.0]))
    assert math.isnan(q.unitroot_pp_f([4.0] * 10))
    # Stationary noise gives a strongly negative Z-alpha, a random walk a mild one.
    assert q.unitroot_pp_f(noise(500)) < -300
    assert q.unitroot_pp_f(np.cumsum(noise(500)).tolist()) > -30


# ---- argument rules ----


def test_argument_rules():
    y = noise(50)
    with pytest.raises(OverflowError):
        q.arch_stat_f(y, lags=-1)
    with pytest.raises(TypeError) as excinfo:
        q.arch_stat_f(y, lags=None)
    assert str(excinfo.value).startswith("argument 'lags': ")
    with pytest.raises(OverflowError) as excinfo:
        q.unitroot_kpss_f(y, freq=2**40)
    assert str(excinfo.value) == "out of range integral type conversion attempted"
    assert q.unitroot_kpss_f(y, freq=4) == q.unitroot_kpss_f(y)
    with pytest.raises(TypeError):
        q.unitroot_pp_f(y, freq=None)


# ---- set runs ----

NAMES = [
    "crossing_points", "flat_spots", "lumpiness", "stability", "x_pacf5", "diff1x_pacf5",
    "diff2x_pacf5", "seas_pacf", "hurst", "unitroot_pp", "unitroot_kpss", "nonlinearity",
    "arch_lm", "entropy",
]


def test_tsfeatures_all_names_and_values():
    y = noise(120, seed=2)
    r = q.tsfeatures_all_f(y)
    assert type(r).__name__ == "TSFeaturesResult"
    assert r.names == NAMES
    assert q.tsfeatures_all_f(y, freq=None).names == NAMES
    assert q.tsfeatures_all_f(y, freq=1).names == NAMES
    assert math.isnan(r.values[7])  # no seasonal value for freq 1

    singles = [
        q.crossing_points_f(y), q.flat_spots_f(y), q.lumpiness_f(y), q.stability_f(y),
        *[q.pacf_features_f(y)[k] for k in NAMES[4:7]], nan, q.hurst_f(y), q.unitroot_pp_f(y),
        q.unitroot_kpss_f(y), q.nonlinearity_f(y), q.arch_stat_f(y), q.entropy_f(y),
    ]
    assert all(same(a, b) for a, b in zip(r.values, singles))

    seasonal = q.tsfeatures_all_f(y, freq=4)
    assert seasonal.names == NAMES + ["seas_pacf"]
    assert seasonal.values[7] == seasonal.values[14] == q.pacf_features_f(y, freq=4)["seas_pacf"]


def test_tsfeatures_all_options():
    y = [v * 3.0 + 7.0 for v in noise(80, seed=4)]
    r = q.tsfeatures_all_f(y, lags=2, demean=False)
    assert r.values[12] == q.arch_stat_f(y, lags=2, demean=False)
    normalised = q.tsfeatures_all_f(y, normalize=True)
    raw = q.tsfeatures_all_f(y)
    # Median crossings and the KPSS statistic do not change under the z-score,
    # lumpiness scales with the fourth power of the spread.
    assert normalised.values[0] == raw.values[0]
    assert normalised.values[10] == pytest.approx(raw.values[10], rel=1e-12)
    assert normalised.values[2] == pytest.approx(raw.values[2] / np.std(y, ddof=1) ** 4, rel=1e-9)
    held_nan = q.tsfeatures_all_f([1.0, nan, 3.0] * 10, normalize=True)
    # Every routine sees [NaN]: flat_spots of one value is 1.
    assert held_nan.values[1] == 1.0


def test_results_do_not_depend_on_thread_count():
    script = (
        "import numpy as np, quorlex as q\n"
        "y = np.random.default_rng(9).standard_normal(700).tolist()\n"
        "r = q.tsfeatures_all_f(y, freq=7)\n"
        "c = q.extract_tsfeatures_cumulative_f(y[:60], freq=7)\n"
        "print(repr((r.names, r.values, c.feature_names, c.values)))\n"
    )
    outputs = []
    for threads in ("1", "2"):
        env = dict(os.environ, RAYON_NUM_THREADS=threads)
        run = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, check=True)
        outputs.append(run.stdout)
    assert outputs[0] == outputs[1]


def test_cumulative_rows_equal_set_runs():
    series = noise(40, seed=8)
    table = q.extract_tsfeatures_cumulative_f(series, freq=4)
    assert type(table).__name__ == "CumulativeFeatures"
    assert table.feature_names == sorted(set(NAMES) | {"VALUE"})
    assert len(table.values) == 40
    for i, row in enumerate(table.values):
        r = q.tsfeatures_all_f(series[: i + 1], freq=4)
        expected = dict(zip(r.names, r.values))
        expected["VALUE"] = series[i]
        assert all(same(row[k], expected[name]) for k, name in enumerate(table.feature_names))


def test_cumulative_defaults():
    series = noise(25, seed=6)
    table = q.extract_tsfeatures_cumulative_f(series, value_column_name="close")
    assert len(table.feature_names) == 15 and table.feature_names[-1] == "x_pacf5"
    last = q.tsfeatures_all_f(series, freq=None)
    row = dict(zip(table.feature_names, table.values[-1]))
    # freq defaults to absent here, so stability is the sample variance.
    assert row["stability"] == last.values[3] == q.stability_f(series, freq=None)
    assert row["close"] == series[-1]
    empty = q.extract_tsfeatures_cumulative_f([])
    assert empty.feature_names == [] and empty.values == []


# ---- agreement with the tsfeatures package, where installed ----


@pytest.mark.parametrize("freq", [1, 12])
def test_agrees_with_tsfeatures_package(freq):
    tsf = pytest.importorskip("tsfeatures")
    rng = np.random.default_rng(freq)
    y = np.cumsum(rng.standard_normal(300)) * 0.1 + rng.standard_normal(300)
    r = q.tsfeatures_all_f(y.tolist(), freq=freq)
    ours = dict(zip(r.names, r.values))
    theirs = {}
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for f in (tsf.crossing_points, tsf.flat_spots, tsf.entropy, tsf.lumpiness, tsf.stability, tsf.hurst,
                  tsf.pacf_features, tsf.nonlinearity, tsf.arch_stat, tsf.unitroot_kpss, tsf.unitroot_pp):
            theirs.update(f(y, freq))
    assert len(theirs) == (14 if freq > 1 else 13)
    for name, value in theirs.items():
        assert ours[name] == pytest.approx(float(value), rel=1e-9), name
