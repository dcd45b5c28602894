import math
import warnings

import numpy as np
import pytest

import quorlex as q

nan, inf = float("nan"), math.inf


def noise(n, seed=0):
    return np.random.default_rng(seed).standard_normal(n).tolist()


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


# (function, expected, inputs that all give it)
FIXED = [
    ("crossing_points_f", 3.0, [[1.0, 2.0, 1.0, 2.0]]),  # median 1.5
    ("crossing_points_f", 0.0, [[1.0, 2.0, nan, 1.0, 2.0], [5.0], []]),
    ("flat_spots_f", 1.0, [[nan], [0.0, 1.0] * 5]),
    ("flat_spots_f", nan, [[nan, nan], [], [1.0, inf, 2.0], [inf]]),
    ("flat_spots_f", 4.0, [[3.0, 3.0, nan, 3.0]]),  # constant finite part: the full length
    ("flat_spots_f", 2.0, [[0.0, 0.0, nan, 0.0, 0.0, 10.0]]),  # a NaN splits the run
    ("flat_spots_f", 3.0, [[0.0, 0.05, 0.05, 0.15, 1.0]]),  # the widened lowest break takes the minimum
    ("entropy_f", nan, [[4.0] * 10, [1.0], [1.0, nan, 2.0], [1.0, inf, 2.0]]),
    ("entropy_f", 0.0, [[1.0, 2.0]]),  # all power in the last entry
    ("lumpiness_f", 0.0, [noise(19)]),
    ("lumpiness_f", nan, [[]]),
    ("stability_f", 0.0, [noise(19), [1.0, 2.0]]),
    ("hurst_f", 0.0, [[nan]]),
    ("hurst_f", nan, [[1.0, 2.0], [7.0] * 50, [1.0, nan, 3.0], [1.0, inf]]),
    ("nonlinearity_f", nan, [[3.0] * 20, [1.0], [1.0, inf, 2.0]]),
    ("unitroot_kpss_f", 0.5, [[1.0, 3.0]]),
    ("unitroot_kpss_f", nan, [[2.0], [], [2.0] * 30, [1.0, nan, 2.0]]),
    ("unitroot_pp_f", nan, [[1.0, 2.0], [1.0], [1.0, 2.0, nan, 3.0], [4.0] * 10]),
    # 20 values leave 8 rows for 13 coefficients
    ("arch_stat_f", nan, [noise(13), noise(20), [nan] + noise(30)]),
]


@pytest.mark.parametrize("name, expected, y", [(f, e, y) for f, e, ys in FIXED for y in ys])
def test_fixed_values(name, expected, y):
    assert same(getattr(q, name)(y), expected)


# Each within 1e-15 of an O(n^2) DFT of the same series: odd and even lengths
# count the last spectrum bin differently, and 1009 is prime.
@pytest.mark.parametrize("n, expected", [(7, 0.5079544630497297), (8, 0.7294233750100536), (1009, 0.936399376490392)])
def test_entropy_worked_values(n, expected):
    assert q.entropy_f(noise(n, seed=n)) == pytest.approx(expected, rel=1e-12)


def test_block_widths():
    y = noise(60, seed=5)
    assert q.stability_f(y) == q.stability_f(y, freq=1) == q.stability_f(y, freq=10)
    assert q.lumpiness_f(y) == q.lumpiness_f(y, freq=None) == q.lumpiness_f(y, freq=10)
    # None means blocks of one value for stability: the sample variance.
    assert q.stability_f(y, freq=None) == pytest.approx(np.var(y, ddof=1), rel=1e-12)
    assert math.isnan(q.stability_f(y[:10] + [nan], freq=None))

    by_hand = [1.0, 2.0, 3.0, 10.0, 20.0, 30.0, 5.0, 5.0, 6.0]
    assert q.lumpiness_f(by_hand, freq=3) == pytest.approx(np.var([1.0, 100.0, 1 / 3], ddof=1), rel=1e-14)
    assert q.stability_f(by_hand, freq=3) == pytest.approx(np.var([2.0, 20.0, 16 / 3], ddof=1), rel=1e-14)
    # An all-NaN block is skipped by lumpiness and spoils stability.
    assert q.lumpiness_f(by_hand + [nan] * 3, freq=3) == q.lumpiness_f(by_hand, freq=3)
    assert math.isnan(q.stability_f(by_hand + [nan] * 3, freq=3))


def test_zero_stability_width_panics():
    for call in (q.stability_f, q.tsfeatures_all_f, q.extract_tsfeatures_cumulative_f):
        with pytest.raises(BaseException) as excinfo:
            call(noise(30), freq=0)
        assert type(excinfo.value).__name__ == "PanicException"
        assert str(excinfo.value) == "attempt to divide by zero"
    assert q.tsfeatures_all_f([1.0, 2.0, 3.0]).names == NAMES  # the pool still works


def test_pacf_feature_keys_and_lengths():
    keys = ["diff1x_pacf5", "diff2x_pacf5", "x_pacf5"]
    assert all(math.isnan(v) for v in q.pacf_features_f(noise(9)).values())
    assert math.isfinite(q.pacf_features_f(noise(10))["x_pacf5"])
    # pacf(y, 12) needs 24 values; the differences use lag 5.
    short = q.pacf_features_f(noise(20), freq=12)
    assert [math.isnan(short[k]) for k in ["x_pacf5", "seas_pacf"] + keys[:2]] == [True, True, False, False]

    y = noise(40)
    assert sorted(q.pacf_features_f(y)) == sorted(q.pacf_features_f(y, freq=None)) == keys
    assert sorted(q.pacf_features_f(y, freq=2)) == sorted(keys + ["seas_pacf"])
    assert math.isnan(q.pacf_features_f(y[:4], freq=4)["seas_pacf"])
    for unusable in (y + [nan], []):
        f = q.pacf_features_f(unusable, freq=4)
        assert sorted(f) == keys and all(math.isnan(v) for v in f.values())


NAMES = [
    "crossing_points", "flat_spots", "lumpiness", "stability", "x_pacf5", "diff1x_pacf5",
    "diff2x_pacf5", "seas_pacf", "hurst", "unitroot_pp", "unitroot_kpss", "nonlinearity",
    "arch_lm", "entropy",
]


def test_set_run_equals_single_functions():
    y = noise(120, seed=2)
    r = q.tsfeatures_all_f(y)
    assert r.names == q.tsfeatures_all_f(y, freq=None).names == NAMES
    pacf = q.pacf_features_f(y)
    singles = [
        q.crossing_points_f(y), q.flat_spots_f(y), q.lumpiness_f(y), q.stability_f(y),
        pacf["x_pacf5"], pacf["diff1x_pacf5"], pacf["diff2x_pacf5"], nan, q.hurst_f(y), q.unitroot_pp_f(y),
        q.unitroot_kpss_f(y), q.nonlinearity_f(y), q.arch_stat_f(y), q.entropy_f(y),
    ]
    assert all(map(same, r.values, singles))

    seasonal = q.tsfeatures_all_f(y, freq=4)
    assert seasonal.names == NAMES + ["seas_pacf"]
    assert seasonal.values[7] == seasonal.values[14] == q.pacf_features_f(y, freq=4)["seas_pacf"]


def test_normalize_hands_the_z_score_to_every_routine():
    y = [v * 3.0 + 7.0 for v in noise(80, seed=4)]
    # Lumpiness scales with the fourth power of the spread.
    ratio = q.tsfeatures_all_f(y, normalize=True).values[2] / q.tsfeatures_all_f(y).values[2]
    assert ratio == pytest.approx(np.std(y, ddof=1) ** -4, rel=1e-9)
    # A NaN makes the z-score the one-element series [NaN].
    held_nan = q.tsfeatures_all_f([1.0, nan, 3.0] * 10, normalize=True)
    assert all(map(same, held_nan.values, q.tsfeatures_all_f([nan]).values))


@pytest.mark.parametrize(
    "options, freq, column", [({"freq": 4}, 4, "VALUE"), ({"value_column_name": "close"}, None, "close")]
)
def test_cumulative_rows_equal_set_runs(options, freq, column):
    series = noise(30, seed=8)
    table = q.extract_tsfeatures_cumulative_f(series, **options)
    # One "seas_pacf" column even when the run names it twice.
    assert table.feature_names == sorted(set(NAMES) | {column}) and len(table.values) == 30
    for i, row in enumerate(table.values):
        r = q.tsfeatures_all_f(series[: i + 1], freq=freq)
        expected = dict(zip(r.names, r.values), **{column: series[i]})
        assert all(same(row[k], expected[name]) for k, name in enumerate(table.feature_names))
    empty = q.extract_tsfeatures_cumulative_f([], **options)
    assert empty.feature_names == [] and empty.values == []


@pytest.mark.parametrize("freq, lags, demean", [(1, 12, True), (12, 1, False), (4, 3, True)])
def test_agrees_with_tsfeatures_package(freq, lags, demean):
    tsf = pytest.importorskip("tsfeatures")
    rng = np.random.default_rng(freq)
    y = np.cumsum(rng.standard_normal(300)) * 0.1 + rng.standard_normal(300)
    r = q.tsfeatures_all_f(y.tolist(), freq=freq, lags=lags, demean=demean)
    ours = dict(zip(r.names, r.values))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        theirs = dict(tsf.arch_stat(y, freq, lags, demean))
        for f in (tsf.crossing_points, tsf.flat_spots, tsf.entropy, tsf.lumpiness, tsf.stability, tsf.hurst,
                  tsf.pacf_features, tsf.nonlinearity, tsf.unitroot_kpss, tsf.unitroot_pp):
            theirs.update(f(y, freq))
    assert len(theirs) == (14 if freq > 1 else 13)
    for name, value in theirs.items():
        assert ours[name] == pytest.approx(float(value), rel=1e-9), name
