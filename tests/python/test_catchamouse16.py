"""catchaMouse16 features: worked examples, length thresholds, fixed values for
degenerate input, argument rules and the seeded noise feature."""

import math
import random
import threading

import numpy as np
import pytest

import quorlex as q

nan = float("nan")
inf = float("inf")

DEFAULT_FALSE = [
    q.sy_driftingmean50_min_f,
    q.ph_walker_momentum_5_w_momentumzcross_f,
    q.ph_walker_biasprop_05_01_sw_meanabsdiff_f,
    q.in_automutualinfostats_diff_20_gaussian_ami8_f,
    q.fc_looplocalsimple_mean_stderr_chn_f,
    q.co_translateshape_circle_35_pts_statav4_m_f,
    q.co_translateshape_circle_35_pts_std_f,
]
DEFAULT_TRUE = [
    q.co_addnoise_1_even_10_ami_at_10_f,
    q.ac_nl_035_f,
    q.ac_nl_036_f,
    q.ac_nl_112_f,
    q.dn_removepoints_absclose_05_ac2rat_f,
    q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f,
]


def sliding_std(y, normalize):
    return q.sy_slidingwindow_f(y, "std", "std", 5, 2, normalize)


def sliding_mean(y, normalize):
    return q.sy_slidingwindow_f(y, "mean", "std", 5, 2, normalize)


# Every feature as f(y, normalize).
ALL = [*DEFAULT_FALSE, *DEFAULT_TRUE, q.st_localextrema_n100_diffmaxabsmin_f, sliding_std, sliding_mean]


def noise(n, seed=0):
    rng = random.Random(seed)
    return [rng.gauss(0.0, 1.0) for _ in range(n)]


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def name_of(f):
    return getattr(f, "__name__", str(f))


class TestNormalizeDefaults:
    @pytest.mark.parametrize("f", DEFAULT_FALSE, ids=name_of)
    def test_omitted_or_none_means_false(self, f):
        y = noise(120, 1)
        assert same(f(y), f(y, normalize=False))
        assert same(f(y, None), f(y, False))

    @pytest.mark.parametrize("f", DEFAULT_TRUE, ids=name_of)
    def test_omitted_or_none_means_true(self, f):
        y = [v * 3.0 + 1.0 for v in noise(120, 2)]
        assert same(f(y), f(y, normalize=True))
        assert same(f(y, None), f(y, True))

    def test_required_normalize_where_none_means_false(self):
        y = noise(250, 3)
        f = q.st_localextrema_n100_diffmaxabsmin_f
        assert f(y, None) == f(y, False)
        assert q.sy_slidingwindow_f(y, "mean", "std", 5, 2, None) == sliding_mean(y, False)
        with pytest.raises(TypeError) as excinfo:
            f(y)
        assert str(excinfo.value) == (
            "st_localextrema_n100_diffmaxabsmin_f() missing 1 required positional argument: 'normalize'"
        )


class TestWorkedExamples:
    def test_nonlinear_autocorrelation_of_a_ramp(self):
        # 3 * 2 * 2 * 1 over one product.
        assert q.ac_nl_112_f([1, 2, 3], False) == 12.0
        assert math.isnan(q.ac_nl_112_f([1, 2], False))
        assert math.isnan(q.ac_nl_035_f([1, 2, 3, 4, 5], False))
        # y5 * y5 * y2 * y0 over one product.
        assert q.ac_nl_035_f([2, 0, 5, 1, 0, 3], False) == 90.0

    def test_drifting_mean_uses_whole_segments_of_50(self):
        assert math.isnan(q.sy_driftingmean50_min_f(noise(49)))
        y = noise(149, 4)
        # The last 49 values take no part.
        assert q.sy_driftingmean50_min_f(y) == q.sy_driftingmean50_min_f(y[:100])
        assert q.sy_driftingmean50_min_f(y[:100] + [1e9] * 49) == q.sy_driftingmean50_min_f(y[:100])
        segments = [y[:50], y[50:100]]
        means = [np.mean(s) for s in segments]
        variances = [np.var(s, ddof=1) for s in segments]
        assert q.sy_driftingmean50_min_f(y) == pytest.approx(min(means) / np.mean(variances), rel=1e-12)
        assert q.sy_driftingmean50_min_f(noise(150, 4)) != q.sy_driftingmean50_min_f(noise(150, 4)[:100])

    def test_local_extrema_by_length(self):
        f = q.st_localextrema_n100_diffmaxabsmin_f
        y = noise(99, 5)
        assert f(y, False) == abs(max(y) - abs(min(y)))
        for n in (100, 150, 199):
            assert math.isnan(f(noise(n, 5), False)), n
        y = noise(200, 5)
        pairs = [y[i : i + 2] for i in range(0, 200, 2)]
        expected = sum(abs(max(p) - abs(min(p))) for p in pairs) / 100
        assert f(y, False) == pytest.approx(expected, rel=1e-14)

    def test_walkers(self):
        assert q.ph_walker_momentum_5_w_momentumzcross_f([1.0, 2.0, 3.0, 2.5, 4.0, 0.5]) == 0.0
        # w = 1, -1, then the inertial -3 moved a fifth of the way to 5: -1.4.
        assert q.ph_walker_momentum_5_w_momentumzcross_f([1.0, -1.0, 5.0]) == 0.5
        # w = 0, then 0.2 (slowly, as 2 -> 1 falls), then 0.6 (quickly, as 1 -> 4 rises).
        assert q.ph_walker_biasprop_05_01_sw_meanabsdiff_f([2.0, 1.0, 4.0]) == pytest.approx(6.2 / 3, rel=1e-15)
        assert q.ph_walker_biasprop_05_01_sw_meanabsdiff_f([-2.5]) == 2.5
        assert math.isnan(q.ph_walker_momentum_5_w_momentumzcross_f([1.0]))

    def test_translate_shape_lengths(self):
        y = noise(12, 6)
        assert math.isnan(q.co_translateshape_circle_35_pts_std_f(y[:6]))
        assert math.isnan(q.co_translateshape_circle_35_pts_statav4_m_f(y[:6]))
        # Seven values have one centre, so one count and no spread.
        assert math.isnan(q.co_translateshape_circle_35_pts_std_f(y[:7]))
        # Twelve values give six counts in windows of one: their spread over itself.
        spiky = [0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0]
        assert q.co_translateshape_circle_35_pts_statav4_m_f(spiky) == 1.0
        assert math.isnan(q.co_translateshape_circle_35_pts_statav4_m_f([0.0] * 12))

    def test_lag_8_automutual_information_needs_14_values(self):
        f = q.in_automutualinfostats_diff_20_gaussian_ami8_f
        assert math.isnan(f(noise(13, 7)))
        y = noise(14, 7)
        d = np.diff(y)
        r = np.corrcoef(d[:-8], d[8:])[0, 1]
        assert f(y) == pytest.approx(-0.5 * math.log(1 - r * r), rel=1e-10)

    def test_loop_local_simple_needs_two_residuals_at_every_length(self):
        f = q.fc_looplocalsimple_mean_stderr_chn_f
        assert math.isnan(f(noise(10, 8)))
        assert math.isnan(f(noise(11, 8)))
        assert math.isfinite(f(noise(12, 8)))

    def test_remove_points_needs_three_values(self):
        f = q.dn_removepoints_absclose_05_ac2rat_f
        assert math.isnan(f([1.0, 2.0]))
        assert math.isfinite(f(noise(3, 9)))

    @pytest.mark.parametrize("normalize", [False, True])
    def test_robust_fluctuation_below_32_values_is_zero(self, normalize):
        f = q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f
        for n in range(0, 32):
            assert f(noise(n, n), normalize) == 0.0, n
        assert f(noise(32, 32), normalize) > 0.0


class TestDegenerateInput:
    @pytest.mark.parametrize("f", ALL, ids=name_of)
    @pytest.mark.parametrize("normalize", [False, True])
    def test_nan_anywhere_gives_nan(self, f, normalize):
        y = noise(300, 10)
        y[123] = nan
        assert math.isnan(f(y, normalize))

    @pytest.mark.parametrize("f", ALL, ids=name_of)
    @pytest.mark.parametrize("normalize", [False, True])
    def test_empty_series(self, f, normalize):
        expected = 0.0 if f is q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f else nan
        assert same(f([], normalize), expected)

    @pytest.mark.parametrize("f", ALL, ids=name_of)
    @pytest.mark.parametrize("n", [1, 2, 3])
    def test_very_short_series_give_a_number(self, f, n):
        for normalize in (False, True):
            assert isinstance(f(noise(n, n), normalize), float)

    @pytest.mark.parametrize("f", ALL, ids=name_of)
    def test_infinity_gives_a_number(self, f):
        y = noise(300, 11)
        y[7] = inf
        for normalize in (False, True):
            assert isinstance(f(y, normalize), float)
        assert math.isnan(q.co_addnoise_1_even_10_ami_at_10_f(y, False))

    def test_constant_series_normalised(self):
        y = [3.0] * 300
        expected = {
            q.sy_driftingmean50_min_f: nan,
            sliding_std: nan,
            sliding_mean: nan,
            q.st_localextrema_n100_diffmaxabsmin_f: nan,
            q.ph_walker_momentum_5_w_momentumzcross_f: 0.0,
            q.ph_walker_biasprop_05_01_sw_meanabsdiff_f: nan,
            q.in_automutualinfostats_diff_20_gaussian_ami8_f: nan,
            q.fc_looplocalsimple_mean_stderr_chn_f: nan,
            q.co_translateshape_circle_35_pts_statav4_m_f: nan,
            q.ac_nl_035_f: nan,
            q.ac_nl_036_f: nan,
            q.ac_nl_112_f: nan,
            q.dn_removepoints_absclose_05_ac2rat_f: nan,
            q.co_addnoise_1_even_10_ami_at_10_f: nan,
            q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f: nan,
        }
        for f, value in expected.items():
            assert same(f(y, True), value), name_of(f)

    def test_constant_series_raw(self):
        y = [3.0] * 300
        # Every circle holds all seven points.
        assert q.co_translateshape_circle_35_pts_std_f(y) == 0.0
        assert q.ac_nl_112_f(y, False) == 81.0
        assert q.ph_walker_momentum_5_w_momentumzcross_f(y) == 0.0
        assert q.st_localextrema_n100_diffmaxabsmin_f(y, False) == 0.0
        assert math.isnan(q.st_localextrema_n100_diffmaxabsmin_f(y[:150], False))
        assert q.st_localextrema_n100_diffmaxabsmin_f(y[:99], False) == 0.0


class TestSlidingWindowArguments:
    @pytest.mark.parametrize(
        "window_stat, across_win_stat", [("Std", "std"), ("median", "std"), ("mean", "mean"), ("std", "Std")]
    )
    def test_unknown_statistic_gives_nan(self, window_stat, across_win_stat):
        assert math.isnan(q.sy_slidingwindow_f(noise(100), window_stat, across_win_stat, 5, 2, False))

    def test_more_segments_than_values_gives_nan(self):
        assert math.isnan(q.sy_slidingwindow_f(noise(10), "mean", "std", 11, 1, False))

    def test_zero_segments_is_an_internal_failure_and_the_module_keeps_working(self):
        y = noise(100, 12)
        for num_seg, inc_move in [(0, 1), (5, 0)]:
            with pytest.raises(BaseException) as excinfo:
                q.sy_slidingwindow_f(y, "mean", "std", num_seg, inc_move, False)
            assert type(excinfo.value).__name__ == "PanicException"
            assert str(excinfo.value) == "attempt to divide by zero"
        assert q.sy_slidingwindow_f(y, "mean", "std", 5, 2, False) == sliding_mean(y, False)
        assert math.isfinite(q.ac_nl_035_f(y))

class TestAddedNoise:
    def test_same_value_on_every_call(self):
        y = noise(500, 13)
        first = q.co_addnoise_1_even_10_ami_at_10_f(y)
        assert math.isfinite(first)
        assert all(q.co_addnoise_1_even_10_ami_at_10_f(y) == first for _ in range(5))

    def test_same_value_from_threads_and_interleaved_with_the_robust_fit(self):
        y = noise(800, 14)
        expected = q.co_addnoise_1_even_10_ami_at_10_f(y)
        fluct = q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f(y)
        results = []

        def work():
            for _ in range(10):
                results.append((q.co_addnoise_1_even_10_ami_at_10_f(y), q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f(y)))

        threads = [threading.Thread(target=work) for _ in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert results == [(expected, fluct)] * 40

    def test_too_short_or_non_finite(self):
        f = q.co_addnoise_1_even_10_ami_at_10_f
        assert math.isnan(f([1.0], False))
        assert math.isfinite(f([1.0, 2.0], False))
        assert math.isnan(f([1.0, inf, 2.0], False))
