"""catch22 autocorrelation, information and symbolic features: worked examples
and the fixed values for degenerate input."""

import math

import pytest

import quorlex as q

nan = float("nan")
inf = float("inf")

AUTOCORR = [q.co_f1ecac_f, q.co_first_min_ac_f]
HISTOGRAM_AMI = {  # function: tau
    q.co_histogram_ami_even_2_5_f: 2,
    q.co_histogram_ami_even_10_1_f: 1,
    q.co_histogram_ami_even_10_3_f: 3,
    q.co_histogram_ami_even_2_3_f: 3,
}
NAN_FOR_NON_FINITE = [
    *HISTOGRAM_AMI,
    q.in_automutualinfostats_40_gaussian_fmmi_f,
    q.co_embed2_dist_tau_d_expfit_meandiff_f,
    q.sb_binarystats_mean_longstretch1_f,
    q.sb_binarystats_diff_longsstretch0_f,
    q.sb_motifthree_quantile_hh_f,
    q.sb_transitionmatrix_3ac_sumdiagcov_f,
]
ALL = [*AUTOCORR, q.co_trev_1_num_f, *NAN_FOR_NON_FINITE]

WALK = [0.3, 1.1, 0.4, -0.9, -0.2, 0.8, 1.9, 1.2, 0.1, 0.6, -0.4, -1.3, -0.5, 0.2, 1.4, 0.9]



def sequential_sum(values):
    # Left to right, one addition per value: builtin sum() compensates from 3.12 on.
    total = 0.0
    for v in values:
        total += v
    return total

def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


class TestWorkedExamples:
    def test_time_reversal_is_the_mean_cubed_increment(self):
        assert q.co_trev_1_num_f([0, 1, 3], normalize=False) == 4.5

    def test_mean_stretch_ignores_the_last_value(self):
        assert q.sb_binarystats_mean_longstretch1_f([0, 1, 1, 1, 0], normalize=False) == 3.0
        # A final run of high values is cut at the last binarised position.
        assert q.sb_binarystats_mean_longstretch1_f([0, 0, 1, 1, 1], normalize=False) == 2.0

    @pytest.mark.parametrize("n", [3, 4, 9])
    def test_decrease_stretches_of_monotone_series(self, n):
        assert q.sb_binarystats_diff_longsstretch0_f(list(range(n, 0, -1))) == n - 2
        assert q.sb_binarystats_diff_longsstretch0_f(list(range(n))) == 1.0

    @pytest.mark.parametrize("y", [[1.0, 2.0], [2.0, 1.0], [5.0, -3.0]])
    def test_two_values_have_no_stretch(self, y):
        assert q.sb_binarystats_mean_longstretch1_f(y) == 0.0
        assert q.sb_binarystats_diff_longsstretch0_f(y) == 0.0

    def test_motif_entropy_of_a_ramp(self):
        # Words 11, 12, 22, 23, 33 at 1/5 each: ln 5 but for the last digit.
        assert q.sb_motifthree_quantile_hh_f([1, 2, 3, 4, 5, 6], normalize=False) == 1.6094379124341005

    def test_first_minimum_of_two_values_is_two(self):
        assert q.co_first_min_ac_f([1.0, 2.0]) == 2.0
        assert q.co_first_min_ac_f([2.0, 1.0], normalize=False) == 2.0

    def test_autocorrelation_without_crossing_or_minimum_gives_n(self):
        # Ramp of 4: autocorrelations 1, 0.25, -0.3, -0.45 fall steadily.
        assert q.co_first_min_ac_f([1.0, 2.0, 3.0, 4.0]) == 4.0
        # Two values leave no lag to interpolate between.
        assert q.co_f1ecac_f([1.0, 2.0]) == 2.0

    def test_f1ecac_interpolates_the_crossing(self):
        # Ramp of 3: autocorrelations 1, 0, ...: the crossing lies at 1 - 1/e.
        assert q.co_f1ecac_f([1.0, 2.0, 3.0]) == pytest.approx(1.0 - 0.36787944117144233, abs=1e-12)

    @pytest.mark.parametrize("n, tau", [(2, 1), (3, 2), (4, 2)])
    def test_gaussian_ami_of_short_series_returns_its_lag_count(self, n, tau):
        assert q.in_automutualinfostats_40_gaussian_fmmi_f(WALK[:n]) == tau

    def test_gaussian_ami_finds_the_first_minimum(self):
        # Period 12: the lagged correlation falls through 0 at lag 3, where the
        # information is least; lag 3 is index 2.
        y = [math.sin(2 * math.pi * t / 12) for t in range(48)]
        assert q.in_automutualinfostats_40_gaussian_fmmi_f(y) == 2.0

    def test_histogram_ami_needs_more_values_than_its_lag(self):
        assert math.isnan(q.co_histogram_ami_even_2_3_f([1.0, 2.0, 3.0]))
        assert q.co_histogram_ami_even_2_3_f([1.0, 2.0, 3.0, 4.0]) == 0.0
        assert math.isnan(q.co_histogram_ami_even_10_1_f([1.0]))

    def test_embedding_of_short_series_uses_lag_zero(self):
        # For n < 10 both coordinates are the same increment, so only the set of
        # increments matters, not their order.
        steps = [1.0, -3.0, 2.0, 0.5, -1.0, 4.0, -2.5, 1.5]
        walks = []
        for order in (steps, steps[::-1], sorted(steps)):
            y = [0.0]
            for d in order:
                y.append(y[-1] + d)
            walks.append(q.co_embed2_dist_tau_d_expfit_meandiff_f(y, False))
        assert walks[0] > 0.0
        assert walks[1] == pytest.approx(walks[0], rel=1e-12)
        assert walks[2] == pytest.approx(walks[0], rel=1e-12)


class TestFixedValues:
    @pytest.mark.parametrize("bad", [nan, inf, -inf])
    def test_non_finite_input(self, bad):
        y = WALK[:5] + [bad] + WALK[5:]
        for f in AUTOCORR:
            assert f(y) == 0.0
        for f in NAN_FOR_NON_FINITE:
            assert math.isnan(f(y)), f.__name__

    def test_time_reversal_rejects_only_nan(self):
        assert math.isnan(q.co_trev_1_num_f([1.0, nan, 3.0]))
        assert q.co_trev_1_num_f([1.0, inf], normalize=False) == inf
        assert q.co_trev_1_num_f([inf, 1.0], normalize=False) == -inf

    @pytest.mark.parametrize("y", [[], [2.5]])
    def test_fewer_than_two_values(self, y):
        for f in AUTOCORR:
            assert f(y) == 0.0
        for f in [q.co_trev_1_num_f, *NAN_FOR_NON_FINITE]:
            assert math.isnan(f(y)), f.__name__

    @pytest.mark.parametrize("n", [2, 7, 100])
    def test_constant_series_normalized(self, n):
        # The z-score of a constant is all NaN.
        y = [3.0] * n
        assert q.co_f1ecac_f(y) == n
        assert q.co_first_min_ac_f(y) == n
        assert math.isnan(q.co_trev_1_num_f(y))
        for f, tau in HISTOGRAM_AMI.items():
            assert same(f(y), nan if n <= tau else 0.0), f.__name__
        assert q.in_automutualinfostats_40_gaussian_fmmi_f(y) == min(math.ceil(n / 2), 40)
        assert q.co_embed2_dist_tau_d_expfit_meandiff_f(y) == 0.0
        assert q.sb_binarystats_mean_longstretch1_f(y) == n - 2
        assert q.sb_binarystats_diff_longsstretch0_f(y) == (0.0 if n == 2 else 1.0)
        assert q.sb_motifthree_quantile_hh_f(y) == 0.0
        assert math.isnan(q.sb_transitionmatrix_3ac_sumdiagcov_f(y))

    def test_constant_series_raw(self):
        y = [3.0] * 12
        assert q.co_f1ecac_f(y, False) == 12.0
        assert q.co_trev_1_num_f(y, False) == 0.0
        for f in HISTOGRAM_AMI:
            assert f(y, False) == 0.0
        assert q.in_automutualinfostats_40_gaussian_fmmi_f(y, False) == 6.0
        assert q.co_embed2_dist_tau_d_expfit_meandiff_f(y, False) == 0.0
        # Every value sits on the mean: every position breaks the stretch.
        assert q.sb_binarystats_mean_longstretch1_f(y, False) == 1.0
        assert math.isnan(q.sb_transitionmatrix_3ac_sumdiagcov_f(y, False))

    def test_transition_matrix_without_autocorrelation_time(self):
        # Finite, not constant, but the z-score overflows into zeros.
        assert math.isnan(q.sb_transitionmatrix_3ac_sumdiagcov_f([1e308, -1e308, 1e308, -1e308]))


class TestNormalize:
    @pytest.mark.parametrize("f", ALL, ids=lambda f: f.__name__)
    def test_default_and_none_mean_true(self, f):
        assert same(f(WALK), f(WALK, True))
        assert same(f(WALK), f(WALK, None))

    @pytest.mark.parametrize("f", ALL, ids=lambda f: f.__name__)
    def test_normalized_result_is_the_raw_result_of_the_zscore(self, f):
        n = len(WALK)
        m = sequential_sum(WALK) / n
        sd = math.sqrt(sequential_sum((v - m) * (v - m) for v in WALK) / (n - 1))
        z = [(v - m) / sd for v in WALK]
        assert same(f(WALK, True), f(z, False))
