"""catchaMouse16 features: worked examples, length thresholds, fixed values for
degenerate input, argument rules and the seeded noise feature."""

import math
import random

import pytest

import quorlex as q

nan, inf = math.nan, math.inf
FINITE = object()


def noise(n, seed=0):
    rng = random.Random(seed)
    return [rng.gauss(0.0, 1.0) for _ in range(n)]


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def sliding_std(y, normalize):
    return q.sy_slidingwindow_f(y, "std", "std", 5, 2, normalize)


def sliding_mean(y, normalize):
    return q.sy_slidingwindow_f(y, "mean", "std", 5, 2, normalize)


# Each feature with its normalize default (None: required), then its value on
# an empty series, a constant one z-scored (all NaN) and raw (None: any float).
FEATURES = [
    (q.sy_driftingmean50_min_f, False, nan, nan, inf),  # lowest mean 3 over variance 0
    (sliding_std, None, nan, nan, nan),
    (sliding_mean, None, nan, nan, nan),
    (q.st_localextrema_n100_diffmaxabsmin_f, None, nan, nan, 0.0),
    (q.ph_walker_momentum_5_w_momentumzcross_f, False, nan, 0.0, 0.0),  # a NaN product is no crossing
    (q.ph_walker_biasprop_05_01_sw_meanabsdiff_f, False, nan, nan, None),
    (q.in_automutualinfostats_diff_20_gaussian_ami8_f, False, nan, nan, nan),
    (q.fc_looplocalsimple_mean_stderr_chn_f, False, nan, nan, nan),
    (q.co_translateshape_circle_35_pts_statav4_m_f, False, nan, nan, nan),
    (q.co_translateshape_circle_35_pts_std_f, False, nan, 0.0, 0.0),  # NaN: no point counts; raw: all seven
    (q.ac_nl_035_f, True, nan, nan, 81.0),
    (q.ac_nl_036_f, True, nan, nan, 81.0),
    (q.ac_nl_112_f, True, nan, nan, 81.0),
    (q.dn_removepoints_absclose_05_ac2rat_f, True, nan, nan, nan),
    (q.co_addnoise_1_even_10_ami_at_10_f, True, nan, nan, None),
    (q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f, True, 0.0, nan, None),
]


@pytest.mark.parametrize("f, default", [row[:2] for row in FEATURES if row[1] is not None])
def test_omitted_or_none_normalize_means_the_default(f, default):
    y = [v * 3.0 + 1.0 for v in noise(120, 2)]
    assert same(f(y), f(y, default)) and same(f(y, None), f(y, default))


@pytest.mark.parametrize("f, empty, constant_z, constant_raw", [row[:1] + row[2:] for row in FEATURES],
                         ids=lambda v: getattr(v, "__name__", None))
def test_degenerate_input(f, empty, constant_z, constant_raw):
    with_nan, with_inf = noise(300, 10), noise(300, 11)
    with_nan[123], with_inf[7] = nan, inf
    for normalize in (False, True):
        assert math.isnan(f(with_nan, normalize))
        assert same(f([], normalize), empty)
        assert all(isinstance(f(y, normalize), float) for y in (noise(1, 1), noise(2, 2), noise(3, 3), with_inf))
    assert same(f([3.0] * 300, True), constant_z)
    raw = f([3.0] * 300, False)
    assert isinstance(raw, float) if constant_raw is None else same(raw, constant_raw)


def test_required_normalize_where_none_means_false():
    y = noise(250, 3)
    assert sliding_mean(y, None) == sliding_mean(y, False)
    with pytest.raises(TypeError) as excinfo:
        q.st_localextrema_n100_diffmaxabsmin_f(y)
    assert str(excinfo.value) == "st_localextrema_n100_diffmaxabsmin_f() missing 1 required positional argument: 'normalize'"


Y99 = noise(99, 5)

EXAMPLES = [
    (q.ac_nl_112_f, [1, 2, 3], False, 12.0),  # 3 * 2 * 2 * 1 over one product
    (q.ac_nl_035_f, [2, 0, 5, 1, 0, 3], False, 90.0),  # y5 * y5 * y2 * y0
    (q.ac_nl_035_f, [1, 2, 3, 4, 5], False, nan),
    (q.sy_driftingmean50_min_f, noise(49), False, nan),
    (q.st_localextrema_n100_diffmaxabsmin_f, Y99, False, abs(max(Y99) - abs(min(Y99)))),
    *[(q.st_localextrema_n100_diffmaxabsmin_f, noise(n), False, nan) for n in (100, 150, 199)],
    (q.ph_walker_momentum_5_w_momentumzcross_f, [1.0, 2.0, 3.0, 2.5, 4.0, 0.5], False, 0.0),
    # w = 1, -1, then the inertial -3 moved a fifth of the way to 5: -1.4
    (q.ph_walker_momentum_5_w_momentumzcross_f, [1.0, -1.0, 5.0], False, 0.5),
    (q.ph_walker_momentum_5_w_momentumzcross_f, [1.0], False, nan),
    # w = 0, 0.2 (slowly, as 2 -> 1 falls), 0.6 (quickly, as 1 -> 4 rises): 6.2 / 3 in doubles
    (q.ph_walker_biasprop_05_01_sw_meanabsdiff_f, [2.0, 1.0, 4.0], False, 2.0666666666666664),
    (q.ph_walker_biasprop_05_01_sw_meanabsdiff_f, [-2.5], False, 2.5),
    *[(f, noise(6), False, nan) for f in (q.co_translateshape_circle_35_pts_std_f, q.co_translateshape_circle_35_pts_statav4_m_f)],
    (q.co_translateshape_circle_35_pts_std_f, noise(7), False, nan),  # one centre, one count
    # six counts in windows of one: their spread over itself
    (q.co_translateshape_circle_35_pts_statav4_m_f, [0, 0, 0, 0, 5] + [0] * 7, False, 1.0),
    (q.in_automutualinfostats_diff_20_gaussian_ami8_f, noise(13), False, nan),
    (q.in_automutualinfostats_diff_20_gaussian_ami8_f, noise(14), False, FINITE),
    # every training length up to 10 needs two residuals
    (q.fc_looplocalsimple_mean_stderr_chn_f, noise(11), False, nan),
    (q.fc_looplocalsimple_mean_stderr_chn_f, noise(12), False, FINITE),
    (q.dn_removepoints_absclose_05_ac2rat_f, [1.0, 2.0], True, nan),
    (q.dn_removepoints_absclose_05_ac2rat_f, noise(3), True, FINITE),
    (q.co_addnoise_1_even_10_ami_at_10_f, [1.0], False, nan),
    (q.co_addnoise_1_even_10_ami_at_10_f, [1.0, 2.0], False, FINITE),
    (q.co_addnoise_1_even_10_ami_at_10_f, [1.0, inf, 2.0], False, nan),
]


@pytest.mark.parametrize("f, y, normalize, expected", EXAMPLES)
def test_worked_examples_and_length_thresholds(f, y, normalize, expected):
    got = f(y, normalize)
    assert math.isfinite(got) if expected is FINITE else same(got, expected)


def test_drifting_mean_ignores_values_after_the_last_whole_segment():
    f, y = q.sy_driftingmean50_min_f, noise(150, 4)
    assert f(y[:149]) == f(y[:100]) == f(y[:100] + [1e9] * 49) != f(y)


@pytest.mark.parametrize("normalize", [False, True])
def test_robust_fluctuation_below_32_values_is_zero(normalize):
    f = q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f
    assert [f(noise(n, n), normalize) for n in range(32)] == [0.0] * 32
    assert f(noise(32, 32), normalize) > 0.0


@pytest.mark.parametrize("window_stat, across_win_stat, num_seg, n", [
    ("Std", "std", 5, 100), ("median", "std", 5, 100), ("mean", "mean", 5, 100), ("std", "Std", 5, 100),
    ("mean", "std", 11, 10)])
def test_sliding_window_unknown_statistic_or_more_segments_than_values_gives_nan(window_stat, across_win_stat, num_seg, n):
    assert math.isnan(q.sy_slidingwindow_f(noise(n), window_stat, across_win_stat, num_seg, 2, False))


@pytest.mark.parametrize("num_seg, inc_move", [(0, 1), (5, 0)])
def test_sliding_window_without_segments_or_steps_is_an_internal_failure(num_seg, inc_move):
    with pytest.raises(BaseException) as excinfo:
        q.sy_slidingwindow_f(noise(100), "mean", "std", num_seg, inc_move, False)
    assert type(excinfo.value).__name__ == "PanicException" and str(excinfo.value) == "attempt to divide by zero"


def test_added_noise_is_the_same_on_every_call():
    y = noise(500, 13)
    values = [q.co_addnoise_1_even_10_ami_at_10_f(y) for _ in range(5)]
    assert math.isfinite(values[0]) and values == values[:1] * 5
