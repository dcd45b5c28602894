"""The catch22 set run, the worker pool and cumulative extraction."""

import json
import multiprocessing
import os
import subprocess
import sys

import numpy as np
import pytest

import quorlex
from conftest import same

# Each feature of the set, in set order, and the module function computing it alone.
SINGLES = {
    "CO_f1ecac": "co_f1ecac_f", "CO_FirstMin_ac": "co_first_min_ac_f",
    "CO_HistogramAMI_even_2_5": "co_histogram_ami_even_2_5_f", "CO_trev_1_num": "co_trev_1_num_f",
    "MD_hrv_classic_pnn40": "md_hrv_classic_pnn40_f",
    "SB_BinaryStats_mean_longstretch1": "sb_binarystats_mean_longstretch1_f",
    "SB_TransitionMatrix_3ac_sumdiagcov": "sb_transitionmatrix_3ac_sumdiagcov_f",
    "PD_PeriodicityWang_th0_01": "pd_periodicitywang_f",
    "CO_Embed2_Dist_tau_d_expfit_meandiff": "co_embed2_dist_tau_d_expfit_meandiff_f",
    "IN_AutoMutualInfoStats_40_gaussian_fmmi": "in_automutualinfostats_40_gaussian_fmmi_f",
    "FC_LocalSimple_mean1_tauresrat": "fc_localsimple_mean1_tauresrat_f",
    "DN_OutlierInclude_p_001_mdrmd": "dn_outlierinclude_p_001_mdrmd_f",
    "DN_OutlierInclude_n_001_mdrmd": "dn_outlierinclude_n_001_mdrmd_f",
    "SP_Summaries_welch_rect_area_5_1": "sp_summaries_welch_rect_area_5_1_f",
    "SB_BinaryStats_diff_longstretch0": "sb_binarystats_diff_longsstretch0_f",
    "SB_MotifThree_quantile_hh": "sb_motifthree_quantile_hh_f",
    "SC_FluctAnal_2_rsrangefit_50_1_logi_prop_r1": "sc_fluctanal_2_rsrangefit_50_1_2_logi_prop_r1_f",
    "SC_FluctAnal_2_dfa_50_1_2_logi_prop_r1": "sc_fluctanal_2_dfa_50_1_2_logi_prop_r1_f",
    "SP_Summaries_welch_rect_centroid": "sp_summaries_welch_rect_centroid_f",
    "FC_LocalSimple_mean3_stderr": "fc_localsimple_mean3_stderr_f",
}
CATCH22_NAMES = list(SINGLES)

RNG = np.random.default_rng(7)
NOISE = RNG.normal(size=300)
WALK = RNG.normal(size=300).cumsum()


class TestCatch22Set:
    def test_names_and_catch24(self):
        assert quorlex.catch22_all_f(NOISE).names == CATCH22_NAMES
        r = quorlex.catch22_all_f(NOISE, catch24=True)
        assert r.names == CATCH22_NAMES + ["DN_Spread_Std"]
        assert type(r).__name__ == "Catch22Result"
        for normalize in (True, False):
            value = quorlex.catch22_all_f(WALK, normalize, True).values[-1]
            assert value == quorlex.dn_spread_std_f(WALK)

    @pytest.mark.parametrize("normalize", [True, False])
    @pytest.mark.parametrize("series", [NOISE, WALK, np.sin(np.arange(200) * 2 * np.pi / 20)], ids=["noise", "walk", "sine"])
    def test_set_equals_single_functions(self, series, normalize):
        r = quorlex.catch22_all_f(series, normalize)
        singles = [getattr(quorlex, SINGLES[name])(series, normalize) for name in r.names]
        assert same(r.values, singles)


def run_in_subprocess(code, threads):
    env = dict(os.environ, RAYON_NUM_THREADS=str(threads))
    env.pop("RAYON_RS_NUM_CPUS", None)
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


class TestWorkerPool:
    CODE = (
        "import json, numpy as np, quorlex\n"
        "y = np.random.default_rng(3).normal(size=400)\n"
        "r = quorlex.catch22_all_f(y, catch24=True)\n"
        "c = quorlex.extract_catch22_features_cumulative_f(y[:40])\n"
        "t = quorlex.tsfeatures_all_f(y, freq=7)\n"
        "u = quorlex.extract_tsfeatures_cumulative_f(y[:60], freq=7)\n"
        "print(json.dumps([r.names, t.names, u.feature_names]\n"
        "                 + [[v.hex() for v in row] for row in [r.values, t.values, *c.values, *u.values]]))\n"
    )

    def test_results_do_not_depend_on_thread_count(self):
        runs = [run_in_subprocess(self.CODE, threads) for threads in (1, 2, 7)]
        assert runs[0] == runs[1] == runs[2]

    def test_thread_count_variables(self):
        code = "import quorlex; quorlex.catch22_all_f([1.0, 2.0, 3.0]); import threading, os; print(len(os.listdir('/proc/self/task')))"
        for value in ("1", "0", "-3", "two", ""):
            env = dict(os.environ, RAYON_NUM_THREADS=value, RAYON_RS_NUM_CPUS="1")
            out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
            # Falls back to RAYON_RS_NUM_CPUS for anything but a positive integer:
            # the calling thread and the pool's one worker.
            assert int(out.stdout) == 2

    def test_forked_child_gets_a_working_pool(self):
        expected = quorlex.catch22_all_f(NOISE).values
        context = multiprocessing.get_context("fork")
        with context.Pool(2) as pool:
            results = pool.map(_catch22_values, [NOISE] * 4, chunksize=1)
        assert all(same(r, expected) for r in results)


def _catch22_values(series):
    return quorlex.catch22_all_f(series).values


class TestCumulative:
    def test_table_shape_and_value_column(self):
        c = quorlex.extract_catch22_features_cumulative_f([])
        assert c.feature_names == [] and c.values == []
        assert type(c).__name__ == "CumulativeFeatures"
        c = quorlex.extract_catch22_features_cumulative_f([1.0, 2.0, 3.0])
        assert len(c.values) == 3 and all(len(row) == 21 for row in c.values)
        # Byte order: "CO_FirstMin_ac" before "CO_f1ecac".
        assert c.feature_names == sorted(CATCH22_NAMES + ["VALUE"], key=lambda s: s.encode())
        assert [row[c.feature_names.index("VALUE")] for row in c.values] == [1.0, 2.0, 3.0]
        assert len(quorlex.extract_catch22_features_cumulative_f([1.0, 2.0], catch24=True).feature_names) == 22
        c = quorlex.extract_catch22_features_cumulative_f([1.0, 2.0, 3.0], value_column_name="close")
        assert c.feature_names[-1] == "close"
        # A value column named like a feature replaces it.
        c = quorlex.extract_catch22_features_cumulative_f(WALK[:30], value_column_name="CO_f1ecac")
        assert len(c.feature_names) == 20
        column = c.feature_names.index("CO_f1ecac")
        assert same([row[column] for row in c.values], [quorlex.co_f1ecac_f(WALK[: i + 1]) for i in range(30)])

    @pytest.mark.parametrize("normalize,catch24", [(True, False), (False, True)])
    def test_rows_equal_prefix_runs(self, normalize, catch24):
        series = WALK[:60]
        c = quorlex.extract_catch22_features_cumulative_f(series, normalize, catch24)
        for i, row in enumerate(c.values):
            run = quorlex.catch22_all_f(series[: i + 1], normalize, catch24)
            expected = dict(zip(run.names, run.values), VALUE=series[i])
            assert same(row, [expected[name] for name in c.feature_names])
