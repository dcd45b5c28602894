"""catchaMouse16 speed per series of Gaussian noise: each module function, the
sixteen published features called one after another (single-threaded), and
the three further members of the set run, side by side with
pycatch22.catch22_all(y, catch24=True) as a yardstick.

Target: the sixteen together at length 10,000 in at most half the pycatch22 time."""

import timeit

import numpy as np

import quorlex as q

LENGTHS = [1_000, 10_000]

# The sixteen features of the published catchaMouse16 set.
SIXTEEN = {
    "SY_DriftingMean50_min": q.sy_driftingmean50_min_f,
    "ST_LocalExtrema_n100_diffmaxabsmin": lambda y: q.st_localextrema_n100_diffmaxabsmin_f(y, False),
    "PH_Walker_momentum_5_w_momentumzcross": q.ph_walker_momentum_5_w_momentumzcross_f,
    "PH_Walker_biasprop_05_01_sw_meanabsdiff": q.ph_walker_biasprop_05_01_sw_meanabsdiff_f,
    "IN_AutoMutualInfoStats_diff_20_gaussian_ami8": q.in_automutualinfostats_diff_20_gaussian_ami8_f,
    "FC_LoopLocalSimple_mean_stderr_chn": q.fc_looplocalsimple_mean_stderr_chn_f,
    "CO_TranslateShape_Circle_35_Pts_StatAv4_M": q.co_translateshape_circle_35_pts_statav4_m_f,
    "CO_TranslateShape_Circle_35_Pts_Std": q.co_translateshape_circle_35_pts_std_f,
    "CO_HistogramAMI_Even_10_3": q.co_histogram_ami_even_10_3_f,
    "CO_HistogramAMI_Even_2_3": q.co_histogram_ami_even_2_3_f,
    "AC_NL_035": q.ac_nl_035_f,
    "AC_NL_036": q.ac_nl_036_f,
    "AC_NL_112": q.ac_nl_112_f,
    "DN_RemovePoints_AbsClose_05_AC2Rat": q.dn_removepoints_absclose_05_ac2rat_f,
    "SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2": q.sc_fluctanal_2_dfa_50_2_logi_r2_se2_f,
    "CO_AddNoise_1_Even_10_AMI_At_10": q.co_addnoise_1_even_10_ami_at_10_f,
}
# The rest of the 19-task set run.
EXTRA = {
    "SY_SlidingWindow_Std_Std_5_2": lambda y: q.sy_slidingwindow_f(y, "std", "std", 5, 2, False),
    "SY_SlidingWindow_Mean_Std_5_2": lambda y: q.sy_slidingwindow_f(y, "mean", "std", 5, 2, False),
    "CO_HistogramAMI_Even_10_1": q.co_histogram_ami_even_10_1_f,
}


def seconds_per_call(function, budget=0.5):
    function()
    once = timeit.timeit(function, number=1)
    number = max(1, min(1000, int(budget / max(once, 1e-6))))
    return min(timeit.repeat(function, number=number, repeat=3)) / number


def all_of(functions, y):
    def run():
        for f in functions.values():
            f(y)

    return run


def main():
    import pycatch22

    columns = {}
    for n in LENGTHS:
        y = np.random.default_rng(n).normal(size=n).tolist()
        times = {name: seconds_per_call(lambda f=f: f(y)) for name, f in {**SIXTEEN, **EXTRA}.items()}
        times["all sixteen"] = seconds_per_call(all_of(SIXTEEN, y))
        times["all nineteen (set run members)"] = seconds_per_call(all_of({**SIXTEEN, **EXTRA}, y))
        times["pycatch22.catch22_all(catch24=True)"] = seconds_per_call(
            lambda: pycatch22.catch22_all(y, catch24=True)
        )
        columns[n] = times

    width = max(len(name) for name in columns[LENGTHS[0]])
    print(f"{'milliseconds per call':{width}s}" + "".join(f"{f'n = {n:,}':>14s}" for n in LENGTHS))
    for name in columns[LENGTHS[0]]:
        print(f"{name:{width}s}" + "".join(f"{columns[n][name] * 1e3:14.3f}" for n in LENGTHS))
    for n in LENGTHS:
        ratio = columns[n]["all sixteen"] / columns[n]["pycatch22.catch22_all(catch24=True)"]
        print(f"n = {n:,}: all sixteen take {ratio:.2f} of the pycatch22 time (target <= 0.50)")


if __name__ == "__main__":
    main()
