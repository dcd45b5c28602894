"""catch22 single-feature functions: worked examples, fixed values for degenerate
input and the normalize argument."""

import math
from itertools import accumulate

import numpy as np
import pytest

import quorlex as q

nan = N = float("nan")
inf = float("inf")

# Column order of the expected values below.
FUNCS = [
    q.co_f1ecac_f, q.co_first_min_ac_f, q.co_trev_1_num_f,
    q.co_histogram_ami_even_2_5_f, q.co_histogram_ami_even_10_1_f,
    q.co_histogram_ami_even_10_3_f, q.co_histogram_ami_even_2_3_f,
    q.in_automutualinfostats_40_gaussian_fmmi_f, q.co_embed2_dist_tau_d_expfit_meandiff_f,
    q.sb_binarystats_mean_longstretch1_f, q.sb_binarystats_diff_longsstretch0_f,
    q.sb_motifthree_quantile_hh_f, q.sb_transitionmatrix_3ac_sumdiagcov_f,
    q.pd_periodicitywang_f, q.md_hrv_classic_pnn40_f,
    q.fc_localsimple_mean1_tauresrat_f, q.fc_localsimple_mean3_stderr_f,
    q.sp_summaries_welch_rect_area_5_1_f, q.sp_summaries_welch_rect_centroid_f,
    q.sc_fluctanal_2_dfa_50_1_2_logi_prop_r1_f, q.sc_fluctanal_2_rsrangefit_50_1_2_logi_prop_r1_f,
]
GAUSS_AMI = q.in_automutualinfostats_40_gaussian_fmmi_f
MEAN_STRETCH = q.sb_binarystats_mean_longstretch1_f
DIFF_STRETCH = q.sb_binarystats_diff_longsstretch0_f
STDERR = q.fc_localsimple_mean3_stderr_f

WALK = [0.3, 1.1, 0.4, -0.9, -0.2, 0.8, 1.9, 1.2, 0.1, 0.6, -0.4, -1.3, -0.5, 0.2, 1.4, 0.9]


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


@pytest.mark.parametrize(
    "f, y, normalize, expected",
    [
        (q.co_trev_1_num_f, [0, 1, 3], False, 4.5),
        (q.co_trev_1_num_f, [1.0, inf], False, inf),  # only NaN is rejected
        (q.co_trev_1_num_f, [inf, 1.0], False, -inf),
        (q.co_f1ecac_f, [1.0, 2.0], True, 2.0),  # no lag to interpolate between
        (q.co_f1ecac_f, [1.0, 2.0, 3.0], True, 0.6321205588285577),  # ac 1, 0: crossing at 1 - 1/e
        (q.co_first_min_ac_f, [1.0, 2.0], True, 2.0),
        (q.co_first_min_ac_f, [1.0, 2.0, 3.0, 4.0], True, 4.0),  # ac 1, 0.25, -0.3, -0.45 fall steadily
        (q.co_histogram_ami_even_2_3_f, [1.0, 2.0, 3.0], True, nan),
        (q.co_histogram_ami_even_2_3_f, [1.0, 2.0, 3.0, 4.0], True, 0.0),
        (GAUSS_AMI, WALK[:2], True, 1.0),
        (GAUSS_AMI, WALK[:3], True, 2.0),
        (GAUSS_AMI, WALK[:4], True, 2.0),
        # Period 12: the information is least at lag 3, index 2.
        (GAUSS_AMI, [math.sin(2 * math.pi * t / 12) for t in range(48)], True, 2.0),
        (MEAN_STRETCH, [0, 1, 1, 1, 0], False, 3.0),
        (MEAN_STRETCH, [0, 0, 1, 1, 1], False, 2.0),  # the last value is not binarised
        (MEAN_STRETCH, [5.0, -3.0], True, 0.0),
        (DIFF_STRETCH, [5.0, -3.0], True, 0.0),
        (DIFF_STRETCH, list(range(9, 0, -1)), True, 7.0),
        (DIFF_STRETCH, list(range(9)), True, 1.0),
        # Words 11, 12, 22, 23, 33 at 1/5 each: ln 5 but for the last digit.
        (q.sb_motifthree_quantile_hh_f, [1, 2, 3, 4, 5, 6], False, 1.6094379124341005),
        (q.pd_periodicitywang_f, [(-1.0) ** i * (i % 3) for i in range(6)], True, 0.0),
        (q.pd_periodicitywang_f, [(-1.0) ** i * (i % 3) for i in range(7)], True, 0.0),
        (q.md_hrv_classic_pnn40_f, [0, 0.05, 0.06, 0.2], False, 2 / 3),
        (q.fc_localsimple_mean1_tauresrat_f, list(range(10)), False, 0.0),  # constant residuals
        (STDERR, [0, 0, 0, 3, 0, 0], False, 2.3094010767585034),
        (STDERR, [1.0, 4.0, 2.0], True, 0.0),
        (STDERR, [1.0, 4.0, 2.0, 8.0], True, nan),
        # Nout = 2: no area terms; the centroid lands on w[1] = pi.
        (q.sp_summaries_welch_rect_area_5_1_f, [1.0, 3.0], True, 0.0),
        (q.sp_summaries_welch_rect_centroid_f, [1.0, 3.0], True, math.pi),
    ],
)
def test_worked_examples(f, y, normalize, expected):
    assert same(f(y, normalize), expected)


def test_embedding_below_ten_values_uses_lag_zero():
    # Both coordinates are then the same increment: only the set of increments matters.
    steps = [1.0, -3.0, 2.0, 0.5, -1.0, 4.0, -2.5, 1.5]
    got = [
        q.co_embed2_dist_tau_d_expfit_meandiff_f(list(accumulate(s, initial=0.0)), False)
        for s in (steps, steps[::-1], sorted(steps))
    ]
    assert got[0] > 0.0
    assert got[1:] == pytest.approx([got[0]] * 2, rel=1e-12)


NON_FINITE = [0, 0] + [N] * 11 + [0] + [N] * 7


@pytest.mark.parametrize("normalize", [True, False])
@pytest.mark.parametrize(
    "y, expected",
    [
        ([], [0, 0] + [N] * 11 + [0, 0] + [N] * 6),
        ([2.5], NON_FINITE),
        (WALK[:5] + [nan] + WALK[5:], NON_FINITE),
        (WALK[:5] + [inf] + WALK[5:], NON_FINITE),
        (WALK[:5] + [-inf] + WALK[5:], NON_FINITE),
    ],
    ids=["empty", "one", "nan", "inf", "-inf"],
)
def test_short_and_non_finite_input(y, expected, normalize):
    got = [f(y, normalize) for f in FUNCS]
    assert all(same(g, e) for g, e in zip(got, expected)), got


@pytest.mark.parametrize(
    "y, normalize, expected",
    [
        # The z-score of a constant is all NaN.
        ([3.0] * 2, True, [2, 2, N, N, 0, N, N, 1, 0, 0, 0, 0, N, 0, 0, N, 0, 0, 0, 0, 0]),
        ([3.0] * 7, True, [7, 7, N, 0, 0, 0, 0, 4, 0, 5, 1, 0, N, 0, 0, N, N, N, 0, 0, 0]),
        ([3.0] * 50, True, [50, 50, N, 0, 0, 0, 0, 25, 0, 48, 1, 0, N, 0, 0, N, N, N, 0, 1 / 21, 1 / 21]),
        # Raw, every deviation is zero and every value sits on the mean.
        ([3.0] * 50, False, [50, 50, 0, 0, 0, 0, 0, 25, 0, 1, 1, 0, N, 0, 0, N, 0, 0, 0, 1 / 21, 1 / 21]),
        # Finite and not constant, but the z-score overflows into signed zeros.
        ([1e308, -1e308] * 2, True, [4, 4, 0, 0, 0, 0, 0, 2, 0, 1, 1, 0, N, 0, 0, N, N, 0, 0, 0, 0]),
    ],
    ids=["const2", "const7", "const50", "const50-raw", "overflow"],
)
def test_constant_series(y, normalize, expected):
    got = [f(y, normalize) for f in FUNCS]
    assert all(same(g, e) for g, e in zip(got, expected)), got


# Small in scale, so that the scale-dependent features tell normalised from raw.
DRIFT = list(accumulate(0.02 * (math.sin(1.7 * j) + ((j * 37) % 23) / 23 - 0.5) for j in range(90)))


def zscore(y):
    # np.cumsum adds in index order; builtin sum() compensates from Python 3.12 on.
    y = np.asarray(y)
    m = np.cumsum(y)[-1] / len(y)
    return (y - m) / math.sqrt(np.cumsum((y - m) * (y - m))[-1] / (len(y) - 1))


@pytest.mark.parametrize("f", FUNCS, ids=lambda f: f.__name__)
def test_normalize_defaults_to_true_and_means_the_zscore(f):
    expected = f(zscore(DRIFT), False)
    for got in (f(DRIFT), f(DRIFT, None), f(DRIFT, True), f(DRIFT, normalize=True)):
        assert same(got, expected)
