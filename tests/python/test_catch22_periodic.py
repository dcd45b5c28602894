"""catch22 periodicity, local forecast, fluctuation, Welch and pNN40 features:
worked examples, golden values and the fixed values for degenerate input."""

import math

import pytest

import quorlex as q

nan = float("nan")
inf = float("inf")

PERIODICITY = q.pd_periodicitywang_f
PNN40 = q.md_hrv_classic_pnn40_f
TAURESRAT = q.fc_localsimple_mean1_tauresrat_f
STDERR = q.fc_localsimple_mean3_stderr_f
AREA = q.sp_summaries_welch_rect_area_5_1_f
CENTROID = q.sp_summaries_welch_rect_centroid_f
DFA = q.sc_fluctanal_2_dfa_50_1_2_logi_prop_r1_f
RSRANGE = q.sc_fluctanal_2_rsrangefit_50_1_2_logi_prop_r1_f
ALL = [PERIODICITY, PNN40, TAURESRAT, STDERR, AREA, CENTROID, DFA, RSRANGE]


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def sequential_sum(values):
    # Index order, one addition per element (sum() compensates from Python 3.12 on).
    total = 0.0
    for v in values:
        total += v
    return total


def zscore(y):
    n = len(y)
    m = sequential_sum(y) / n
    s = math.sqrt(sequential_sum((v - m) * (v - m) for v in y) / (n - 1))
    return [(v - m) / s for v in y]


def oscillation(n=150):
    return [math.sin(0.7 * i) + 0.01 * ((i * 37) % 23) for i in range(n)]


def drifting_walk(n=300, frequency=0.3):
    y, total = [], 0.0
    for j in range(n):
        total += math.sin(frequency * j) + ((j * 37) % 23) / 23 - 0.5
        y.append(total)
    return y


class TestWorkedExamples:
    @pytest.mark.parametrize("normalize", [True, False])
    def test_sine_of_period_20_peaks_at_index_19(self, normalize):
        y = [math.sin(2 * math.pi * i / 20) for i in range(200)]
        assert PERIODICITY(y, normalize) == 19.0

    @pytest.mark.parametrize("n, expected", [(6, 0.0), (7, 0.0)])
    def test_periodicity_of_short_series(self, n, expected):
        assert PERIODICITY([(-1.0) ** i * (i % 3) for i in range(n)]) == expected

    def test_pnn40_counts_differences_above_0_04(self):
        assert PNN40([0, 0.05, 0.06, 0.2], normalize=False) == 2 / 3

    def test_pnn40_with_normalize_ignores_units(self):
        y = [0.0, 0.01, 0.03, 0.02, 0.5, 0.49]
        assert PNN40([1000 * v for v in y]) == PNN40(y)
        assert PNN40([1000 * v for v in y], False) != PNN40(y, False)

    def test_stderr_of_a_single_bump(self):
        assert STDERR([0, 0, 0, 3, 0, 0], normalize=False) == 2.3094010767585034

    @pytest.mark.parametrize("n, expected", [(2, 0.0), (3, 0.0), (4, nan)])
    def test_stderr_of_two_to_four_values(self, n, expected):
        assert same(STDERR([1.0, 4.0, 2.0, 8.0][:n]), expected)

    def test_tauresrat_of_a_ramp_is_zero(self):
        assert TAURESRAT(list(range(10)), normalize=False) == 0.0

    def test_welch_of_two_values(self):
        # Nout = 2: no area terms; the centroid lands on w[1] = pi.
        assert AREA([1.0, 3.0]) == 0.0
        assert CENTROID([1.0, 3.0]) == math.pi

    def test_fluctuation_of_32_values_has_one_breakpoint(self):
        y = drifting_walk(32)
        assert DFA(y) == 0.5
        assert RSRANGE(y) == 0.5


class TestGoldenValues:
    # From an independent step-by-step evaluation of the definitions; the
    # Welch values differ from the C reference in the last digits because
    # the angular frequencies use the full-precision 2 pi.
    @pytest.mark.parametrize(
        "series, normalize, expected",
        [
            (oscillation(), True, [8.0, 0.9798657718120806, 1.0, 1.1971770195691158,
                                   0.02259945327593204, 0.7117670855789375, 0.15, 0.15]),
            (oscillation(), False, [8.0, 0.9731543624161074, 1.0, 0.8493879632174343,
                                    0.011376099813591018, 0.7117670855789375, 0.15, 0.15]),
            (drifting_walk(), True, [20.0, 0.903010033444816, 0.75, 0.458144822235845,
                                     0.9926059200375513, 0.2945243112740431, 31 / 44, 10 / 44]),
            (drifting_walk(), False, [20.0, 0.9665551839464883, 0.75, 1.3924444687758037,
                                      9.169107497104964, 0.2945243112740431, 31 / 44, 10 / 44]),
        ],
    )
    def test_features(self, series, normalize, expected):
        assert [f(series, normalize) for f in ALL] == expected


class TestDegenerateInput:
    # Expected values in the order of ALL.
    @pytest.mark.parametrize(
        "y, expected",
        [
            ([], [0.0, 0.0, nan, nan, nan, nan, nan, nan]),
            ([2.5], [0.0, nan, nan, nan, nan, nan, nan, nan]),
            ([1.0, nan, 3.0] * 20, [0.0, nan, nan, nan, nan, nan, nan, nan]),
            ([1.0, inf, 3.0] * 20, [0.0, nan, nan, nan, nan, nan, nan, nan]),
            ([1.0, -inf, 3.0] * 20, [0.0, nan, nan, nan, nan, nan, nan, nan]),
        ],
    )
    @pytest.mark.parametrize("normalize", [True, False])
    def test_fixed_values(self, y, expected, normalize):
        got = [f(y, normalize) for f in ALL]
        assert all(same(g, e) for g, e in zip(got, expected)), got

    def test_constant_series_normalized(self):
        # The z-score of a constant series is all NaN: no peak, no large
        # difference, NaN residuals, a NaN spectrum whose centroid search stops
        # at w[0], and NaN fluctuations giving 1 / ntau (21 scales for n = 50).
        got = [f([3.0] * 50) for f in ALL]
        expected = [0.0, 0.0, nan, nan, nan, 0.0, 1 / 21, 1 / 21]
        assert all(same(g, e) for g, e in zip(got, expected)), got

    def test_constant_series_raw(self):
        got = [f([3.0] * 50, False) for f in ALL]
        # Zero deviations: the autocorrelations are 0/0, the spectrum is zero,
        # every fluctuation is zero and its logarithm minus infinity.
        expected = [0.0, 0.0, nan, 0.0, 0.0, 0.0, 1 / 21, 1 / 21]
        assert all(same(g, e) for g, e in zip(got, expected)), got

    def test_area_of_a_constant_series_sums_nan_from_five_spectral_values(self):
        # Four values give Nout = 3 and an empty sum; five give Nout = 5 and one NaN term.
        assert AREA([3.0] * 4) == 0.0
        assert math.isnan(AREA([3.0] * 5))


class TestNormalizeArgument:
    @pytest.mark.parametrize("f", ALL)
    def test_default_and_none_mean_true(self, f):
        y = drifting_walk(120, 0.9)
        assert same(f(y), f(y, True))
        assert same(f(y, None), f(y, normalize=True))

    @pytest.mark.parametrize("f", ALL)
    def test_normalized_result_is_the_raw_result_of_the_zscore(self, f):
        y = drifting_walk(90, 1.7)
        assert same(f(y), f(zscore(y), False))
