"""What both packages show a user: one PanicException class, versions, one column
per feature name, result reprs, generated docstrings and the scikit-learn rules."""

import inspect
import math
import os

import numpy as np
import pytest

import quorlex as q
from conftest import bits

qb = pytest.importorskip("quorlex_batch")
pd = pytest.importorskip("pandas")

Y = np.random.default_rng(22).normal(size=120)


def test_one_panic_exception_class_for_both_packages():
    assert qb.PanicException is q.PanicException
    assert issubclass(q.PanicException, BaseException) and not issubclass(q.PanicException, Exception)
    assert "PanicException" not in q.__all__ and "PanicException" in qb.__all__
    with pytest.raises(q.PanicException):
        q.dn_iqm_mean_f([])
    from quorlex_batch import _engine

    assert _engine.PanicException is q.PanicException


def test_allocation_failure_is_the_same_panic_in_both_packages():
    # arch_stat's (lags + 1)^2 table of doubles outgrows physical memory.
    physical = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
    lags = math.isqrt(physical // 8) + 10
    y = np.random.default_rng(6).normal(size=lags + 1000)
    for call in (lambda: q.arch_stat_f(y, lags),
                 lambda: qb.extract_array([y], qb.FeatureSet("tsfeatures", lags=lags))):
        with pytest.raises(q.PanicException, match="^memory allocation failed$"):
            call()


def test_versions_agree():
    assert isinstance(q.__version__, str) and q.__version__
    assert qb.__version__ == q.__version__


def test_a_name_a_run_gives_twice_is_one_column():
    seasonal = qb.FeatureSet("tsfeatures", freq=12)
    names = qb.feature_names(seasonal)
    module = q.tsfeatures_all_f(Y, freq=12)
    assert module.names.count("seas_pacf") == 2  # the module's own result keeps both entries
    assert names == list(dict.fromkeys(module.names))
    frame = qb.extract([Y, Y[:60]], seasonal)
    assert isinstance(frame["seas_pacf"], pd.Series)
    assert bits(frame.loc[0, "seas_pacf"]) == bits(module.values[module.names.index("seas_pacf")])

    matrix, twice = qb.extract_array([Y], ["entropy", "hurst", "entropy"])
    assert twice == ["entropy", "hurst"]
    assert bits(matrix[0]).tolist() == bits([q.entropy_f(Y), q.hurst_f(Y)]).tolist()
    transformer = qb.FeatureTransformer(seasonal).fit(np.ones((2, 30)))
    assert list(transformer.get_feature_names_out()) == names


def test_result_reprs_show_the_set_the_count_and_the_first_values():
    r = q.catch22_all_f(Y)
    assert repr(r) == (f"<Catch22Result: 20 features: {r.names[0]}={r.values[0]!r}, {r.names[1]}={r.values[1]!r},"
                       f" {r.names[2]}={r.values[2]!r}, ...>")
    nan = q.tsfeatures_all_f([])
    assert repr(nan).startswith(f"<TSFeaturesResult: {len(nan.names)} features: {nan.names[0]}=0.0,"
                                f" {nan.names[1]}=nan, ")
    table = q.extract_catch22_features_cumulative_f(Y[:5])
    last = table.values[-1]
    assert repr(table) == (f"<CumulativeFeatures: 5 rows x {len(table.feature_names)} columns:"
                           f" {table.feature_names[0]}={last[0]!r}, {table.feature_names[1]}={last[1]!r},"
                           f" {table.feature_names[2]}={last[2]!r}, ...>")
    assert repr(q.extract_catch22_features_cumulative_f([])).startswith("<CumulativeFeatures: 0 rows x ")


def test_every_function_has_a_generated_one_line_docstring():
    for name in q.__all__:
        function = getattr(q, name)
        if isinstance(function, type):
            continue
        doc = function.__doc__
        assert doc and "\n" not in doc and doc.endswith("."), name
        inspect.signature(function)  # the signature still comes from the same text
    assert q.co_f1ecac_f.__doc__ == ("The feature co_f1ecac of y as a float. The series is z-scored first unless"
                                     " normalize=False.")
    assert q.dn_spread_std_f.__doc__ == "The feature dn_spread_std of y as a float."
    assert q.pacf_features_f.__doc__ == "The pacf features of y as a dict of floats."
    assert q.compute_hctsa_parallel_f.__doc__.startswith("The hctsa feature set of y")
    assert q.extract_tsfeatures_cumulative_f.__doc__.startswith("The tsfeatures set of every prefix of series")


def test_feature_transformer_passes_check_estimator():
    pytest.importorskip("sklearn")
    from sklearn.utils.estimator_checks import check_estimator

    check_estimator(qb.FeatureTransformer(["entropy", "crossing_points"]))
    transformer = qb.FeatureTransformer(["entropy"]).fit(np.ones((3, 40)))
    assert transformer.n_features_in_ == 40
    with pytest.raises(ValueError, match="X has 30 features, but FeatureTransformer is expecting 40"):
        transformer.transform(np.ones((3, 30)))
    # Sequences of series of several lengths stay welcome.
    ragged = [Y, Y[:50]]
    assert qb.FeatureTransformer(["entropy"]).fit(ragged).transform(ragged).shape == (2, 1)


def test_long_frames_keep_their_id_order():
    frame = pd.DataFrame({"id": ["z", "z", "a", "a", "m"], "value": [1.0, 2.0, 3.0, 5.0, 8.0]})
    result = qb.extract(frame, ["crossing_points"], column_id="id")
    assert list(result.index) == ["z", "a", "m"]
    assert bits(result.loc["a"]).tolist() == bits([q.crossing_points_f([3.0, 5.0])]).tolist()
