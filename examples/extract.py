"""Extract every available feature set from the bundled real series and print
one table per family: a row per feature, a column per series."""

import csv
import math
import pathlib
import sys
import time

import quorlex

DATA = pathlib.Path(__file__).with_name("data") / "series.csv"

CATCHAMOUSE16 = [
    ("SY_DriftingMean50_min", "sy_driftingmean50_min_f", ()),
    ("SY_SlidingWindow_Std_Std_5_2", "sy_slidingwindow_f", ("std", "std", 5, 2, False)),
    ("SY_SlidingWindow_Mean_Std_5_2", "sy_slidingwindow_f", ("mean", "std", 5, 2, False)),
    ("ST_LocalExtrema_n100_diffmaxabsmin", "st_localextrema_n100_diffmaxabsmin_f", (False,)),
    ("PH_Walker_momentum_5_w_momentumzcross", "ph_walker_momentum_5_w_momentumzcross_f", ()),
    ("PH_Walker_biasprop_05_01_sw_meanabsdiff", "ph_walker_biasprop_05_01_sw_meanabsdiff_f", ()),
    ("IN_AutoMutualInfoStats_diff_20_gaussian_ami8", "in_automutualinfostats_diff_20_gaussian_ami8_f", ()),
    ("FC_LoopLocalSimple_mean_stderr_chn", "fc_looplocalsimple_mean_stderr_chn_f", ()),
    ("CO_TranslateShape_Circle_35_Pts_StatAv4_M", "co_translateshape_circle_35_pts_statav4_m_f", ()),
    ("CO_TranslateShape_Circle_35_Pts_Std", "co_translateshape_circle_35_pts_std_f", ()),
    ("CO_HistogramAMI_Even_10_1", "co_histogram_ami_even_10_1_f", ()),
    ("CO_HistogramAMI_Even_10_3", "co_histogram_ami_even_10_3_f", ()),
    ("CO_HistogramAMI_Even_2_3", "co_histogram_ami_even_2_3_f", ()),
    ("AC_NL_035", "ac_nl_035_f", ()),
    ("AC_NL_036", "ac_nl_036_f", ()),
    ("AC_NL_112", "ac_nl_112_f", ()),
    ("DN_RemovePoints_AbsClose_05_AC2Rat", "dn_removepoints_absclose_05_ac2rat_f", ()),
    ("SC_FluctAnal_2_DFA_50_2_Logi_R2_SE2", "sc_fluctanal_2_dfa_50_2_logi_r2_se2_f", ()),
    ("CO_AddNoise_1_Even_10_AMI_At_10", "co_addnoise_1_even_10_ami_at_10_f", ()),
]


def load(path):
    with open(path, newline="") as handle:
        return [(row[0], [float(v) for v in row[1:]]) for row in csv.reader(handle) if row]


def catch22(series):
    return quorlex.catch22_all_f(series, catch24=True)


def catchamouse16(series):
    names, values = [], []
    for name, function, extra in CATCHAMOUSE16:
        if hasattr(quorlex, function):
            names.append(name)
            values.append(getattr(quorlex, function)(series, *extra))
    return names, values


def tsfeatures(series):
    return quorlex.tsfeatures_all_f(series)


def family_runs():
    if hasattr(quorlex, "catch22_all_f"):
        yield "catch24 (catch22 with DN_Spread_Std)", lambda s: _split(catch22(s))
    else:
        yield "distribution features", lambda s: (
            ["DN_Spread_Std", "DN_OutlierInclude_p_001_mdrmd", "DN_OutlierInclude_n_001_mdrmd"],
            [quorlex.dn_spread_std_f(s), quorlex.dn_outlierinclude_p_001_mdrmd_f(s),
             quorlex.dn_outlierinclude_n_001_mdrmd_f(s)],
        )
    if any(hasattr(quorlex, function) for _, function, _ in CATCHAMOUSE16):
        yield "catchaMouse16 (normalised where the feature defaults to it)", catchamouse16
    if hasattr(quorlex, "tsfeatures_all_f"):
        yield "tsfeatures", lambda s: _split(tsfeatures(s))


def _split(result):
    return result.names, result.values


def fmt(value):
    if math.isnan(value):
        return "nan"
    return f"{value:.4g}"


def print_table(title, feature_names, columns):
    width = max(len(n) for n in feature_names)
    print(f"\n== {title}")
    header = " " * width + "".join(f"{label:>11}" for label, _ in columns)
    print(header)
    for i, name in enumerate(feature_names):
        print(f"{name:<{width}}" + "".join(f"{fmt(values[i]):>11}" for _, values in columns))


def main():
    dataset = load(sys.argv[1] if len(sys.argv) > 1 else DATA)
    print(f"{len(dataset)} series from {DATA.name}:")
    for i, (name, values) in enumerate(dataset, 1):
        print(f"  S{i:<3} {name} ({len(values)} values)")
    for title, run in family_runs():
        start = time.perf_counter()
        columns, names = [], None
        for i, (_, values) in enumerate(dataset, 1):
            names, row = run(values)
            columns.append((f"S{i}", row))
        elapsed = time.perf_counter() - start
        print_table(f"{title}: {elapsed * 1000:.1f} ms for all series", names, columns)


if __name__ == "__main__":
    main()
