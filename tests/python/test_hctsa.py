"""The hctsa distribution functions, the hctsa set run and the combined run."""

import math
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import quorlex as q

nan, inf = float("nan"), math.inf
NAMES = (pathlib.Path(__file__).parent / "hctsa_names.txt").read_text().split()


def noise(n, seed=0):
    return np.random.default_rng(seed).standard_normal(n).tolist()


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


def same_lists(a, b):
    return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))


# (function, expected, inputs that all give it)
FIXED = [
    ("dn_mean_arithmetic_f", 2.0, [[1.0, 2.0, 3.0]]),
    ("dn_median_f", 2.5, [[4.0, 1.0, 3.0, 2.0]]),
    ("dn_harmonic_mean_f", 3 / 1.75, [[1.0, 2.0, 4.0]]),
    # The geometric mean, not the product of the values.
    ("dn_geometric_mean_f", 2.0, [[1.0, 2.0, 4.0]]),
    ("dn_geometric_mean_f", 0.0, [[1.0, 0.0, 4.0]]),
    ("dn_geometric_mean_f", nan, [[], [1.0, -2.0, 4.0], [1.0, nan]]),
    ("dn_rms_mean_f", math.sqrt(12.5), [[3.0, 4.0]]),
    ("dn_iqm_mean_f", 3.0, [[1.0, 2.0, 3.0, 4.0, 100.0]]),
    ("dn_midhinge_mean_f", (1.5 + 3.5) * 0.5, [[1.0, 2.0, 3.0, 4.0]]),
    ("dn_histogrammode_5_f", 2.0, [[0.0, 1.0, 2.0, 3.0, 4.0]]),  # every bin holds one value
    ("dn_histogrammode_10_f", nan, [[1.0, inf, 2.0], [1.0, nan]]),
    ("dn_trimmed_mean_50_f", 76.75, [[1.0, 2.0, 3.0, 4.0, 100.0, 200.0, 300.0, 400.0]]),
    ("dn_trimmed_mean_50_f", 1.5, [[1.0, 2.0]]),  # k = 0 keeps both
    ("dn_trimmed_mean_1_f", nan, [[], [1.0, nan, 3.0]]),
]


@pytest.mark.parametrize("name,expected,inputs", FIXED)
def test_fixed_values(name, expected, inputs):
    for y in inputs:
        assert same(getattr(q, name)(y), expected), (name, y)


def test_geometric_mean_of_a_long_series_does_not_overflow():
    assert q.dn_geometric_mean_f([1e200] * 3000) == pytest.approx(1e200, rel=1e-10)


def test_empty_series_failures():
    for name in ("dn_iqm_mean_f", "dn_midhinge_mean_f"):
        with pytest.raises(BaseException) as excinfo:
            getattr(q, name)([])
        assert type(excinfo.value).__name__ == "PanicException"


class TestSetRun:
    def test_names_are_the_published_list(self):
        r = q.compute_hctsa_parallel_f(noise(60), False)
        assert type(r).__name__ == "HCTSAResult" and type(r).__module__ == "builtins"
        assert r.names == NAMES and len(set(NAMES)) == 512
        assert r.names[259] == "CO_HistogramAMI_even_2bin_ami2"
        assert "AC_13" not in NAMES and NAMES[NAMES.index("AC_40") + 1] == "AC_52"

    def test_argument_rules(self):
        y = noise(30)
        assert q.compute_hctsa_parallel_f.__text_signature__ == "(y, normalize)"
        with pytest.raises(TypeError) as excinfo:
            q.compute_hctsa_parallel_f(y)
        assert str(excinfo.value) == "compute_hctsa_parallel_f() missing 1 required positional argument: 'normalize'"
        for bad, type_name in ((None, "NoneType"), (1, "int")):
            with pytest.raises(TypeError) as excinfo:
                q.compute_hctsa_parallel_f(y, bad)
            assert str(excinfo.value) == f"argument 'normalize': '{type_name}' object cannot be converted to 'PyBool'"
        assert same_lists(q.compute_hctsa_parallel_f(y, np.True_).values, q.compute_hctsa_parallel_f(y, True).values)

    def test_empty_series_fails_on_the_first_quantile(self):
        with pytest.raises(BaseException) as excinfo:
            q.compute_hctsa_parallel_f([], True)
        assert type(excinfo.value).__name__ == "PanicException"
        assert str(excinfo.value) == "index out of bounds: the len is 0 but the index is 0"

    def test_nan_input_gives_every_member_its_value_on_nan(self):
        on_nan = q.compute_hctsa_parallel_f([nan], False).values
        assert same_lists(q.compute_hctsa_parallel_f([1.0, nan, 3.0], True).values, on_nan)
        assert math.isnan(on_nan[0]) and on_nan[NAMES.index("firstZero_acf_tau")] == 1.0

    def test_normalisation(self):
        y = [v * 3.0 + 10.0 for v in noise(200, 3)]
        raw = dict(zip(NAMES, q.compute_hctsa_parallel_f(y, False).values))
        assert raw["mean"] == q.dn_mean_arithmetic_f(y)
        assert raw["median"] == q.dn_median_f(y)
        assert raw["trimmed_mean_25"] == q.dn_trimmed_mean_25_f(y)
        assert raw["DN_HistogramMode_10"] == q.dn_histogrammode_10_f(y)
        assert raw["quantile_50"] == raw["median"]
        z = dict(zip(NAMES, q.compute_hctsa_parallel_f(y, True).values))
        assert abs(z["mean"]) < 1e-12 and z["standard_deviation"] == pytest.approx(1.0, abs=1e-12)

    def test_worked_values(self):
        r = dict(zip(NAMES, q.compute_hctsa_parallel_f([1.0, 2.0, 3.0, 4.0], False).values))
        assert r["AC_1"] == pytest.approx(0.25, abs=1e-15)
        assert math.isnan(r["AC_4"]) and math.isnan(r["AC_52"])
        assert r["maximum"] == 4.0 and r["minimum"] == 1.0
        assert r["AC_nl_12"] == 15.0  # (3*2*1 + 4*3*2) / 2
        const = dict(zip(NAMES, q.compute_hctsa_parallel_f([2.0] * 20, False).values))
        assert all(math.isnan(const[f"AC_{k}"]) for k in (1, 5, 12))
        ten = dict(zip(NAMES, q.compute_hctsa_parallel_f([float(v) for v in range(1, 11)], False).values))
        assert ten["DN_Outliertest_10_mean"] == 5.5  # kept 2 .. 9
        assert ten["coeff_var_1"] == q.dn_spread_std_f(list(range(1, 11))) / 5.5
        negative = dict(zip(NAMES, q.compute_hctsa_parallel_f([-1.0, -2.0, -3.0], False).values))
        assert math.isnan(negative["coeff_var_1"]) and math.isnan(negative["coeff_var_2"])
        assert negative["DN_HistogramAsymmetry_5_densityDiff"] == -3.0
        assert negative["IN_AutoMutualInfoStats_40_gaussian_fmmi"] == 40.0  # no minimum: the lag argument


def run_in_subprocess(code, threads):
    env = dict(os.environ, RAYON_NUM_THREADS=str(threads))
    env.pop("RAYON_RS_NUM_CPUS", None)
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True).stdout


def test_results_do_not_depend_on_the_thread_count():
    code = (
        "import numpy as np, quorlex as q\n"
        "for seed, n in ((1, 300), (2, 37), (3, 1000)):\n"
        "    y = np.random.default_rng(seed).standard_normal(n).cumsum().tolist()\n"
        "    print([v.hex() for v in q.compute_hctsa_parallel_f(y, True).values])\n"
        "    print([v.hex() for v in q.combined_all_f(y, hctsa=True, catch24=True, freq=4).values])\n"
        "    print([r for r in q.extract_combined_features_cumulative_f(y[:12], hctsa=True).values])\n"
    )
    one, two = (run_in_subprocess(code, threads) for threads in (1, 2))
    assert one == two


class TestCombined:
    Y = noise(120, 5)

    def test_shapes(self):
        y = self.Y
        default = q.combined_all_f(y)
        assert type(default).__name__ == "CombinedResult" and len(default.names) == 52
        assert default.names[0] == "CO_f1ecac" and "seas_pacf" not in default.names
        assert len(q.combined_all_f(y, catchamouse16=False).names) == 33
        assert q.combined_all_f(y, freq=12).names[-1] == "seas_pacf"
        assert q.combined_all_f(y, freq=1).names == default.names
        with_hctsa = q.combined_all_f(y, hctsa=True, catch24=True)
        assert with_hctsa.names[:512] == NAMES and with_hctsa.names[512] == "CO_f1ecac"
        assert with_hctsa.names[532] == "DN_Spread_Std" and len(with_hctsa.names) == 512 + 21 + 19 + 13

    def test_values_are_the_single_runs(self):
        y = self.Y
        for normalize in (False, True):
            c = q.combined_all_f(y, normalize, True, True, True, 4)
            values = dict(zip(c.names[512:], c.values[512:]))
            assert same_lists(c.values[:512], q.compute_hctsa_parallel_f(y, normalize).values)
            ts = q.tsfeatures_all_f(y, normalize, 4)
            for name, value in zip(ts.names, ts.values):
                assert same(values[name], value), name
            if not normalize:
                c22 = q.catch22_all_f(y, False, True)
                assert same_lists(c.values[512:533], c22.values)
                assert values["AC_NL_035"] == q.ac_nl_035_f(y, False)
                assert values["SY_DriftingMean50_min"] == q.sy_driftingmean50_min_f(y, False)

    def test_cumulative(self):
        series = noise(14, 7)
        table = q.extract_combined_features_cumulative_f(series)
        assert len(table.feature_names) == 53 and table.feature_names == sorted(table.feature_names)
        assert len(table.values) == 14
        for i in (0, 5, 13):
            run = q.combined_all_f(series[: i + 1])
            row = dict(zip(table.feature_names, table.values[i]))
            assert row["VALUE"] == series[i]
            for name, value in zip(run.names, run.values):
                assert same(row[name], value), (i, name)
        small = q.extract_combined_features_cumulative_f(series[:6], hctsa=True, value_column_name="mean")
        # Two hctsa names recur among the catch22 and catchaMouse16 names, and
        # "mean" holds the feature, not the raw value: the later value wins.
        assert len(small.feature_names) == 512 + 52 - 2
        for i in range(6):
            run = q.combined_all_f(series[: i + 1], hctsa=True)
            row = dict(zip(small.feature_names, small.values[i]))
            assert all(same(row[n], v) for n, v in dict(zip(run.names, run.values)).items())
        assert q.extract_combined_features_cumulative_f([]).feature_names == []
