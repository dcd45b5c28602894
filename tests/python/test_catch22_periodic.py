"""Golden values of the catch22 periodicity, local forecast, pNN40, Welch and
fluctuation features."""

import math
from itertools import accumulate

import pytest

import quorlex as q

ALL = [
    q.pd_periodicitywang_f, q.md_hrv_classic_pnn40_f,
    q.fc_localsimple_mean1_tauresrat_f, q.fc_localsimple_mean3_stderr_f,
    q.sp_summaries_welch_rect_area_5_1_f, q.sp_summaries_welch_rect_centroid_f,
    q.sc_fluctanal_2_dfa_50_1_2_logi_prop_r1_f, q.sc_fluctanal_2_rsrangefit_50_1_2_logi_prop_r1_f,
]
OSCILLATION = [math.sin(0.7 * i) + 0.01 * ((i * 37) % 23) for i in range(150)]
DRIFTING_WALK = list(accumulate(math.sin(0.3 * j) + ((j * 37) % 23) / 23 - 0.5 for j in range(300)))


# From an independent step-by-step evaluation of the definitions; the Welch
# values differ from the C reference in the last digits because the angular
# frequencies use the full-precision 2 pi.
@pytest.mark.parametrize(
    "series, normalize, expected",
    [
        (OSCILLATION, True, [8.0, 0.9798657718120806, 1.0, 1.1971770195691158,
                             0.02259945327593204, 0.7117670855789375, 0.15, 0.15]),
        (OSCILLATION, False, [8.0, 0.9731543624161074, 1.0, 0.8493879632174343,
                              0.011376099813591018, 0.7117670855789375, 0.15, 0.15]),
        (DRIFTING_WALK, True, [20.0, 0.903010033444816, 0.75, 0.458144822235845,
                               0.9926059200375513, 0.2945243112740431, 31 / 44, 10 / 44]),
        (DRIFTING_WALK, False, [20.0, 0.9665551839464883, 0.75, 1.3924444687758037,
                                9.169107497104964, 0.2945243112740431, 31 / 44, 10 / 44]),
    ],
    ids=["oscillation", "oscillation-raw", "walk", "walk-raw"],
)
def test_golden_values(series, normalize, expected):
    assert [f(series, normalize) for f in ALL] == expected


def test_pnn40_with_normalize_ignores_units():
    y = [0.0, 0.01, 0.03, 0.02, 0.5, 0.49]
    pnn40 = q.md_hrv_classic_pnn40_f
    assert pnn40([1000 * v for v in y]) == pnn40(y)
    assert pnn40([1000 * v for v in y], False) != pnn40(y, False)
