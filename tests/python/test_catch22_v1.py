"""catch22 v1 ("catch22-v1", "catch24-v1", catch22_v1) against pycatch22 1.0.2:
every value equal or within 1e-12 relative, the same masked flags, masking on and
off. The full comparison needs the reference scripts/check installs (see
v1_reference.py); the small reference file keeps a check where it is absent."""

import math

import numpy as np
import pytest

import quorlex_batch as qb
from conftest import SERIES_CSV, bits, bundled
from v1_reference import available, generated, non_finite, pycatch22_v1, read_reference_file, ucr, UCR

needs_reference = pytest.mark.skipif(not available(), reason="pycatch22 1.0.2 and aeon are not installed")


def agree(ours, reference):
    """Equal, or within 1e-12 relative, NaN equal to NaN: a boolean per value."""
    ours, reference = np.asarray(ours), np.asarray(reference)
    with np.errstate(invalid="ignore"):
        close = np.abs(ours - reference) <= 1e-12 * np.abs(reference)
    return (ours == reference) | close | (np.isnan(ours) & np.isnan(reference))


def assert_matches(series, mask, where=""):
    names, short_names, values, masked = pycatch22_v1(series, mask)
    matrix, our_names, flags = qb.extract_array(list(series), qb.FeatureSet("catch24-v1", mask=mask),
                                                return_masked=True)
    assert our_names == names
    assert qb.feature_names(qb.FeatureSet("catch24-v1", short_names=True)) == short_names
    ok = agree(matrix, values)
    if not ok.all():
        row, col = np.argwhere(~ok)[0]
        raise AssertionError(f"{where}: {(~ok).sum()} values differ, first {names[col]} of series {row}"
                             f" (length {len(series[row])}): {matrix[row, col]!r} vs {values[row, col]!r}")
    assert (flags == masked).all(), f"{where}: masked flags differ"


@needs_reference
@pytest.mark.parametrize("mask", [True, False])
@pytest.mark.parametrize("name", UCR)
def test_ucr_datasets_match_pycatch22(name, mask):
    assert_matches(ucr(name), mask, name)


@needs_reference
@pytest.mark.parametrize("mask", [True, False])
def test_generated_series_match_pycatch22(mask):
    assert_matches(generated(), mask, "generated")


@needs_reference
@pytest.mark.parametrize("mask", [True, False])
def test_non_finite_input_matches_pycatch22(mask):
    assert_matches(non_finite(), mask, "non-finite")


@pytest.mark.parametrize("key", ["mask", "nan"])
def test_reference_file(key):
    record = read_reference_file()
    values, masked = record[key]
    matrix, names, flags = qb.extract_array(record["series"], qb.FeatureSet("catch24-v1", mask=key == "mask"),
                                            return_masked=True)
    assert names == record["names"]
    assert agree(matrix, values).all()
    assert (flags == masked).all()


def test_masking_rules():
    # A constant series masks all 22 features of its z-score; the mean and the
    # standard deviation are those of the raw series.
    matrix, names, flags = qb.extract_array([np.full(30, 1.5)], "catch24-v1", return_masked=True)
    row = dict(zip(names, matrix[0]))
    assert flags[0, :22].all() and not flags[0, 22:].any()
    assert row["CO_FirstCrossing_acf_1e_pointOfCrossing"] == 29.0
    assert row["CO_FirstMin_ac"] == 30.0
    assert row["IN_AutoMutualInfoStats_40_gaussian_fmmi"] == 15.0
    assert row["SB_TransitionMatrix_quantile_3_ac_sumdiagcov"] == 1 / 9
    assert row["DN_mean"] == 1.5 and row["DN_Spread_std"] == 0.0
    # Unmasked: NaN and no flags.
    matrix, _, flags = qb.extract_array([np.full(30, 1.5)], qb.FeatureSet("catch24-v1", mask=False),
                                        return_masked=True)
    assert np.isnan(matrix[0, :22]).all() and not flags.any()
    # dfa needs 79 values (10 integrated values of every second one, and 16
    # timescales): masked below, estimated from there.
    y = np.random.default_rng(1).normal(size=200)
    for n, expect in ((78, True), (79, False)):
        _, names, flags = qb.extract_array([y[:n]], "catch22-v1", return_masked=True)
        assert flags[0, names.index("SC_FluctAnal_2_dfa_50_1_2_logi_prop_r1")] == expect
    # Non-finite input: NaN everywhere, nothing masked; classic sets ask for no mask.
    for bad in (np.nan, np.inf):
        matrix, _, flags = qb.extract_array([np.r_[y[:20], bad]], "catch24-v1", return_masked=True)
        assert np.isnan(matrix).all() and not flags.any()
    _, _, flags = qb.extract_array([np.full(30, 1.5)], "catch24", return_masked=True)
    assert not flags.any()


def test_per_series_function_and_options():
    y = np.random.default_rng(2).normal(size=150)
    matrix, names = qb.extract_array([y], "catch24-v1")
    full = qb.catch22_v1(y, catch24=True)
    assert list(full) == names and bits(list(full.values())).tolist() == bits(matrix[0]).tolist()
    short = qb.catch22_v1(list(y), short_names=True)
    assert list(short)[:5] == ["mode_5", "mode_10", "outlier_timing_pos", "outlier_timing_neg", "acf_timescale"]
    assert len(short) == 22 and all(isinstance(v, float) for v in short.values())
    assert list(short.values()) == list(full.values())[:22]
    assert math.isnan(qb.catch22_v1([1.0, 1.0], mask=False)["CO_FirstMin_ac"])
    assert "catch22-v1" in qb.sets() and "catch24-v1" in qb.sets()
    with pytest.raises(ValueError) as excinfo:
        qb.FeatureSet("catch24-v1", normalize=False)
    assert str(excinfo.value) == "feature set 'catch24-v1' takes no option 'normalize'"
    with pytest.raises(ValueError) as excinfo:
        qb.FeatureSet("catch24", mask=True)
    assert str(excinfo.value) == "feature set 'catch24' takes no option 'mask'"
    with pytest.raises(TypeError) as excinfo:
        qb.catch22_v1(y, mask=1)
    assert str(excinfo.value) == "mask must be True or False"
    with pytest.raises(ValueError) as excinfo:
        qb.catch22_v1(np.zeros((2, 3)))
    assert str(excinfo.value) == "expected a 1-D sequence of numbers, got 2 dimensions"


def test_engine_returns_the_masked_flags_with_the_matrix():
    from quorlex_batch import _engine

    out, names, masked = _engine.run("catch22-v1", None, np.ones(5), np.array([0, 5]), 0, None, True)
    assert len(out) == 8 * len(masked) and len(masked) == len(names) == 22
    assert len(_engine.run("catch22-v1", None, np.ones(5), np.array([0, 5]), 0, None)) == 2


def test_front_ends_take_the_v1_sets():
    pandas = pytest.importorskip("pandas")
    rng = np.random.default_rng(4)
    X = rng.normal(size=(6, 60))
    matrix, names = qb.extract_array(X, "catch22-v1")
    # 3-D input, threads and the DataFrame and scikit-learn front ends give the same bits.
    cube, cube_names, flags = qb.extract_array(X.reshape(3, 2, 60), "catch22-v1", return_masked=True, n_jobs=2)
    assert bits(cube.reshape(6, 22)).tolist() == bits(matrix).tolist() and flags.shape == cube.shape
    assert cube_names[:2] == ["0__DN_HistogramMode_5", "0__DN_HistogramMode_10"]
    frame = qb.extract(pandas.DataFrame(X), "catch22-v1")
    assert list(frame.columns) == names and bits(frame.to_numpy()).tolist() == bits(matrix).tolist()
    pytest.importorskip("sklearn")
    transformed = qb.FeatureTransformer(qb.FeatureSet("catch22-v1", short_names=True)).fit_transform(X)
    assert bits(np.asarray(transformed)).tolist() == bits(matrix).tolist()


def test_command_line_takes_the_v1_sets(tmp_path, capsys):
    pandas = pytest.importorskip("pandas")
    pytest.importorskip("tqdm")
    from quorlex_batch import cli

    out = tmp_path / "features.csv"
    assert cli.main([str(SERIES_CSV), "-o", str(out), "--features", "catch24-v1", "--quiet"]) == 0, capsys.readouterr()
    table = pandas.read_csv(out, index_col=0)
    expected, names = qb.extract_array([y for _, y in bundled()], "catch24-v1")
    assert list(table.columns) == names
    np.testing.assert_array_equal(bits(table), bits(expected))


def test_dask_takes_the_v1_sets():
    pandas = pytest.importorskip("pandas")
    dd = pytest.importorskip("dask.dataframe")
    from quorlex_batch import dask as qdask

    rng = np.random.default_rng(6)
    frame = pandas.concat([pandas.DataFrame({"id": i, "value": rng.normal(size=50 + i)}) for i in range(6)],
                          ignore_index=True)
    features = qb.FeatureSet("catch24-v1", short_names=True)
    lazy = qdask.extract(dd.from_pandas(frame, npartitions=3), features, column_id="id")
    got = lazy.compute(scheduler="synchronous").sort_index()
    expected = qb.extract(frame, features, column_id="id")
    assert list(got.columns) == list(expected.columns)
    np.testing.assert_array_equal(bits(got), bits(expected))
