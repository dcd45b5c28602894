"""The relevance table, select, extract_relevant and FeatureSelector: agreement
with tsfresh 0.21's relevance table (live when installed, else the golden
file relevance_golden.json), missing values, bad input and the selector's
place in a scikit-learn pipeline."""

import importlib.util
import json
import pathlib
import warnings

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
stats = pytest.importorskip("scipy.stats")
pytest.importorskip("sklearn")

import quorlex_batch as qb  # noqa: E402
import v1_reference  # noqa: E402

GOLDEN = pathlib.Path(__file__).with_name("relevance_golden.json")
HAVE_TSFRESH = importlib.util.find_spec("tsfresh") is not None


def tsfresh_table(X, y, **options):
    """tsfresh's relevance table of the finite columns of X (it refuses NaN)."""
    from tsfresh.feature_selection.relevance import calculate_relevance_table

    task = "regression" if options.pop("task", None) == "regression" else "classification"
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return calculate_relevance_table(X.loc[:, np.isfinite(X).all()], y, ml_task=task, n_jobs=0, **options)


def assert_agrees(mine, theirs, exceptions=()):
    """Same type, p-values within 1e-12 relative (NaN where NaN) and the same
    relevant set, on every feature tsfresh lists except the named ones."""
    theirs = theirs.drop(index=list(exceptions))
    mine = mine.loc[theirs.index]
    assert mine["type"].tolist() == theirs["type"].tolist()
    for column in [c for c in theirs.columns if c.startswith(("p_value", "relevant"))]:
        if column.startswith("relevant"):
            assert mine[column].tolist() == theirs[column].tolist(), column
            continue
        np.testing.assert_allclose(mine[column].to_numpy(float), theirs[column].to_numpy(float), rtol=1e-12,
                                   atol=0, err_msg=column)
    assert mine["relevant"].tolist() == theirs["relevant"].tolist()


# --- Agreement on UCR data bundled with aeon ---------------------------------

def ucr(name):
    """The series and labels of a univariate UCR set bundled in aeon's wheel,
    train then test (the data the catch22 v1 checks install)."""
    if not (v1_reference.REFERENCE_DIR / "aeon").is_dir():
        pytest.skip("aeon's bundled UCR data are not installed (scripts/check installs them)")
    cases = v1_reference.ucr_cases(name)
    return np.array([channels[0] for channels, _ in cases]), pd.Series([label for _, label in cases])


def catch24_and_tsfeatures(series):
    return pd.concat([qb.extract(series, "catch24"), qb.extract(series, "tsfeatures")], axis=1)


needs_tsfresh = pytest.mark.skipif(not HAVE_TSFRESH, reason="tsfresh is not installed (the golden cases still run)")


@needs_tsfresh
@pytest.mark.parametrize("options", [{}, {"test_for_binary_target_real_feature": "smir"},
                                     {"hypotheses_independent": True}, {"fdr_level": 0.001}])
def test_gunpoint_binary_agrees_with_tsfresh(options):
    series, labels = ucr("GunPoint")
    X = catch24_and_tsfeatures(series)
    mine = qb.relevance(X, labels, **options)
    assert_agrees(mine, tsfresh_table(X, labels, **options))
    assert 0 < mine["relevant"].sum() < len(mine)


@needs_tsfresh
@pytest.mark.parametrize("n_significant", [1, 2, 3])
def test_arrowhead_one_class_against_the_rest_agrees_with_tsfresh(n_significant):
    series, labels = ucr("ArrowHead")  # three classes
    X = catch24_and_tsfeatures(series)
    mine = qb.relevance(X, labels, multiclass=True, n_significant=n_significant)
    assert_agrees(mine, tsfresh_table(X, labels, multiclass=True, n_significant=n_significant))
    assert (mine["n_significant"] >= n_significant).tolist() == mine["relevant"].tolist()
    smallest = mine[["p_value_0", "p_value_1", "p_value_2"]].min(axis=1).to_numpy()
    assert np.all(np.diff(smallest[~np.isnan(smallest)]) >= 0)  # tsfresh leaves this table unsorted


@needs_tsfresh
def test_real_target_agrees_with_tsfresh_except_where_its_kendall_p_value_is_approximate():
    series, _ = ucr("GunPoint")
    half = series.shape[1] // 2
    X = catch24_and_tsfeatures(series[:, :half])
    future = pd.Series(series[:, half:].mean(axis=1))  # the mean of the held-out half
    mine = qb.relevance(X, future)
    theirs = tsfresh_table(X, future, task="regression")
    # GunPoint's series are z-normalised, so the first half's mean is minus the second's: a perfect rank
    # correlation. Its exact p-value, 2 / 200!, is below the smallest double; tsfresh always takes the normal
    # approximation of Kendall's tau and reports 3.6e-98.
    assert mine.loc["DN_Mean", "p_value"] == stats.kendalltau(X["DN_Mean"], future, method="exact").pvalue == 0.0
    assert theirs.loc["DN_Mean", "p_value"] > 1e-100
    assert_agrees(mine, theirs, exceptions=["DN_Mean"])
    assert mine.loc["DN_Mean", "relevant"] and theirs.loc["DN_Mean", "relevant"]


# --- Agreement on small synthetic cases: live tsfresh, else the golden file ---

def golden_cases():
    """Inputs covering every test and both corrections; values rounded so that
    ties occur, one feature is binary with values other than 0 and 1."""
    rng = np.random.default_rng(24)
    rows = 48
    classes = rng.integers(0, 3, rows)
    shift = classes.astype(float)
    X = pd.DataFrame({
        "strong": (rng.normal(size=rows) + shift).round(2),
        "weak": (rng.normal(size=rows) + 0.3 * shift).round(1),
        "noise": rng.normal(size=rows).round(2),
        "ties": rng.integers(0, 5, rows).astype(float),
        "switch": np.where(rng.normal(size=rows) + shift > 1.0, 7.5, -2.0),
        "coin": rng.integers(0, 2, rows).astype(float),
        "flat": np.full(rows, 3.25),
    })
    binary = pd.Series(np.where(classes == 2, "yes", "no"))
    real = pd.Series((X["strong"] + rng.normal(size=rows)).round(3))
    return {
        "binary": (X, binary, {}),
        "binary_smir": (X, binary, {"test_for_binary_target_real_feature": "smir"}),
        "binary_bh": (X, binary, {"hypotheses_independent": True, "fdr_level": 0.2}),
        "multiclass": (X, pd.Series(classes), {"multiclass": True}),
        "multiclass_2": (X, pd.Series(classes), {"multiclass": True, "n_significant": 2}),
        "regression": (X, real, {"task": "regression"}),
    }


def golden_tables():
    with open(GOLDEN) as handle:
        stored = json.load(handle)
    return {name: pd.DataFrame(table["rows"], columns=table["columns"]).set_index("feature", drop=False)
            for name, table in stored.items()}


def write_golden():
    tables = {}
    for name, (X, y, options) in golden_cases().items():
        table = tsfresh_table(X, y, **options)
        columns = [c for c in table.columns if c == "feature" or c == "type" or c.startswith(("p_value", "relevant"))]
        rows = [[None if isinstance(v, float) and np.isnan(v) else v for v in row]
                for row in table[columns].astype(object).itertuples(index=False)]
        tables[name] = {"columns": columns, "rows": rows}
    with open(GOLDEN, "w") as handle:  # one line per case
        cases = (f"{json.dumps(name)}: {json.dumps(table, default=lambda v: v.item())}" for name, table in tables.items())
        handle.write("{\n" + ",\n".join(cases) + "\n}\n")


@pytest.mark.parametrize("name", list(golden_cases()))
def test_small_cases_agree_with_tsfresh(name):
    X, y, options = golden_cases()[name]
    expected = tsfresh_table(X, y, **options) if HAVE_TSFRESH else golden_tables()[name]
    mine = qb.relevance(X, y, **options)
    assert_agrees(mine, expected)
    if "multiclass" not in options:
        assert list(mine.columns) == ["feature", "type", "p_value", "relevant", "testable", "n_left_out"]


@needs_tsfresh
def test_golden_file_is_tsfresh_output():
    for name, stored in golden_tables().items():
        X, y, options = golden_cases()[name]
        assert_agrees(stored, tsfresh_table(X, y, **options))


# --- What the table says -----------------------------------------------------

def test_tests_and_columns_follow_the_feature_and_target_types():
    rng = np.random.default_rng(7)
    y = pd.Series(np.repeat(["a", "b"], 30), index=[f"s{i}" for i in range(60)])
    X = pd.DataFrame({"real": rng.normal(size=60) + (y == "b"), "binary": rng.integers(0, 2, 60) * 2.0 - 1,
                      "constant": np.zeros(60)}, index=y.index)
    table = qb.relevance(X, y)
    first, second = X[y == "a"], X[y == "b"]
    assert table.loc["real", "p_value"] == stats.mannwhitneyu(second["real"], first["real"]).pvalue
    counts = pd.crosstab(X["binary"], y).to_numpy()
    assert table.loc["binary", "p_value"] == pytest.approx(stats.fisher_exact(counts).pvalue, rel=1e-14)
    assert table["type"].to_dict() == {"real": "real", "binary": "binary", "constant": "constant"}
    assert np.isnan(table.loc["constant", "p_value"]) and not table.loc["constant", "relevant"]
    assert table.index[-1] == "constant"
    adjusted = stats.false_discovery_control(table["p_value"].to_numpy()[:2], method="by")
    assert table["relevant"].tolist()[:2] == (adjusted <= 0.05).tolist()


@pytest.mark.parametrize("test", ["mann", "smir"])
def test_small_groups_get_the_p_value_of_a_test_per_feature(test):
    # Below nine rows a group's Mann-Whitney p-value is exact unless that feature has ties.
    rng = np.random.default_rng(8)
    y = np.array([0, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1, 1])
    X = pd.DataFrame({"untied": rng.normal(size=12) + y, "tied": rng.integers(0, 4, 12) + 2.0 * y,
                      "also_untied": rng.normal(size=12) - y})
    X.loc[3, "also_untied"] = np.nan
    table = qb.relevance(X, y, test_for_binary_target_real_feature=test)
    for name in X.columns:
        usable = np.isfinite(X[name]).to_numpy()
        one, other = X.loc[usable & (y == 1), name], X.loc[usable & (y == 0), name]
        alone = stats.mannwhitneyu(one, other) if test == "mann" else stats.ks_2samp(one, other)
        assert table.loc[name, "p_value"] == alone.pvalue, name


def test_left_out_rows_and_untestable_features():
    rng = np.random.default_rng(3)
    y = np.repeat([0, 1], 20)
    X = pd.DataFrame({"full": rng.normal(size=40) + 2 * y, "holes": rng.normal(size=40) + 2 * y,
                      "other_holes": rng.normal(size=40) + 2 * y, "one_left": rng.normal(size=40) + 2 * y,
                      "two_values_left": np.where(y == 1, 5.0, 1.0)})
    X.loc[[0, 5, 33], "holes"] = [np.nan, np.inf, -np.inf]
    X.loc[[7, 8], "other_holes"] = np.nan
    X.loc[1:, "one_left"] = np.nan  # only row 0 of class 0 usable
    table = qb.relevance(X, y)
    assert table["n_left_out"].to_dict() == {"full": 0, "holes": 3, "other_holes": 2, "one_left": 39,
                                             "two_values_left": 0}
    for name in ("holes", "other_holes"):
        usable = np.isfinite(X[name]).to_numpy()
        alone = qb.relevance(X.loc[usable, [name]], y[usable])
        assert table.loc[name, "p_value"] == alone.loc[name, "p_value"]
    assert table.loc["one_left", "type"] == "constant"  # one usable value
    X.loc[0:2, "one_left"] = [1.0, 2.0, 3.0]  # three values in class 0, none in class 1: not testable
    table = qb.relevance(X, y)
    assert table.loc["one_left", "type"] == "real" and np.isnan(table.loc["one_left", "p_value"])
    assert table["testable"].to_dict() == {"full": True, "holes": True, "other_holes": True, "one_left": False,
                                           "two_values_left": True}
    assert not table.loc["one_left", "relevant"] and table.index[-1] == "one_left"
    assert table.loc["two_values_left", "relevant"]


def test_targets_align_by_index_or_by_position():
    rng = np.random.default_rng(5)
    X = pd.DataFrame({"f": np.arange(20.0), "g": rng.normal(size=20)}, index=[f"id{i}" for i in range(20)])
    y = pd.Series(np.repeat(["x", "y"], 10), index=X.index)
    expected = qb.relevance(X, y)
    pd.testing.assert_frame_equal(qb.relevance(X, y.iloc[::-1]), expected)  # by index
    pd.testing.assert_frame_equal(qb.relevance(X, y.to_numpy()), expected)  # by position
    pd.testing.assert_frame_equal(qb.relevance(X, list(y)), expected)
    from_array = qb.relevance((X.to_numpy(), ["f", "g"]), y.to_numpy())
    pd.testing.assert_frame_equal(from_array, expected)
    assert qb.relevance(X.to_numpy(), y.to_numpy())["feature"].tolist() == [0, 1]
    assert qb.select(X, y).columns.tolist() == ["f"]


def test_multiclass_auto_and_the_choice_of_task():
    rng = np.random.default_rng(9)
    y = np.repeat([0, 1, 2], 15)
    X = pd.DataFrame({"f": rng.normal(size=45) + y, "g": rng.normal(size=45)})
    explicit = qb.relevance(X, y, multiclass=True)
    pd.testing.assert_frame_equal(qb.relevance(X, y, multiclass="auto"), explicit)
    assert list(explicit.columns) == ["feature", "type", "p_value_0", "relevant_0", "p_value_1", "relevant_1",
                                      "p_value_2", "relevant_2", "n_significant", "relevant", "testable",
                                      "n_left_out"]
    as_number = qb.relevance(X, y.astype(float))  # floats are a regression target: Kendall's tau
    assert as_number.loc["f", "p_value"] == stats.kendalltau(X["f"], y).pvalue
    as_classes = qb.relevance(X, y.astype(float), task="classification", multiclass=True)
    assert as_classes["p_value_2.0"].tolist() == explicit["p_value_2"].tolist()


@pytest.mark.parametrize("y, options, message", [
    (np.repeat([0, 1], 10)[:19], {}, "y does not align with X: 19 labels for 20 rows"),
    (pd.Series(np.repeat([0, 1], 10), index=range(1, 21)), {},
     "y does not align with X: 1 of X's 20 rows have no label in y (e.g. 0)"),
    (pd.Series(np.repeat([0, 1], 11)), {}, "y does not align with X: y has 2 labels for rows that X lacks (e.g. 20)"),
    (np.zeros(20, dtype=int), {}, "y has a single class (0): a test needs at least two"),
    (np.array(["a"] * 19 + [None], dtype=object), {},
     "y has 1 missing label (NaN or None): drop those rows or fill them in"),
    (np.r_[np.arange(19.0), np.nan], {}, "y has 1 missing label (NaN or None): drop those rows or fill them in"),
    (np.arange(20) % 3, {}, "y has 3 classes: pass multiclass=True to test each class against the rest"
                            " (or task='regression' for a numeric target)"),
    (np.arange(20) % 3, {"multiclass": True, "n_significant": 4}, "n_significant is 4, but y has only 3 classes"),
    (np.ones(20), {}, "y is constant: no feature can be related to it"),
    (np.arange(20.0), {"multiclass": True}, "multiclass=True applies to classes, but y is a regression target"),
    (np.arange(20) % 2, {"fdr_level": 0}, "fdr_level must be between 0 and 1 (exclusive), got 0"),
    (np.arange(20) % 2, {"fdr_level": 1.0}, "fdr_level must be between 0 and 1 (exclusive), got 1.0"),
    (np.arange(20) % 2, {"fdr_level": -0.5}, "fdr_level must be between 0 and 1 (exclusive), got -0.5"),
    (np.arange(20) % 2, {"fdr_level": float("nan")}, "fdr_level must be between 0 and 1 (exclusive), got nan"),
    (np.arange(20) % 2, {"test_for_binary_target_real_feature": "t"},
     "test_for_binary_target_real_feature must be 'mann' (Mann-Whitney U) or 'smir' (Kolmogorov-Smirnov), got 't'"),
    (np.arange(20) % 2, {"task": "ranking"},
     "task must be one of 'auto', 'classification', 'regression', got 'ranking'"),
])
def test_bad_input_is_refused_clearly(y, options, message):
    X = pd.DataFrame({"f": np.arange(20.0), "g": np.arange(20.0) % 7})
    with pytest.raises(ValueError) as error:
        qb.relevance(X, y, **options)
    assert str(error.value) == message


def test_extract_relevant_is_extract_then_select():
    rng = np.random.default_rng(11)
    y = np.repeat([0, 1], 25)
    series = rng.normal(size=(50, 120)) * (1 + 2 * y[:, None])  # class 1 varies more
    long = pd.DataFrame({"id": np.repeat(np.arange(50), 120), "value": series.ravel()})
    labels = pd.Series(y, index=np.arange(50))
    chosen = qb.extract_relevant(long, labels, "catch24", column_id="id", column_value="value", fdr_level=0.01)
    expected = qb.select(qb.extract(series, "catch24"), y, fdr_level=0.01)
    pd.testing.assert_frame_equal(chosen, expected.rename_axis("id"))
    assert "SD_Mean" not in chosen.columns and "DN_Spread_Std" in chosen.columns


# --- FeatureSelector ---------------------------------------------------------

def test_selector_passes_the_estimator_checks():
    from sklearn.utils.estimator_checks import check_estimator

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        check_estimator(qb.FeatureSelector())


def test_selector_in_a_pipeline_sees_the_training_folds_only(monkeypatch):
    from sklearn.linear_model import LogisticRegression
    from sklearn.model_selection import StratifiedKFold, cross_validate
    from sklearn.pipeline import make_pipeline
    from sklearn.preprocessing import StandardScaler

    from quorlex_batch import _relevance

    rng = np.random.default_rng(2)
    y = np.repeat([0, 1], 30)
    series = rng.normal(size=(60, 100)) * (1 + y[:, None])
    # Every series' feature row is distinct, so the rows that reach the selector's fit can be named.
    row_of = {row.tobytes(): i for i, row in enumerate(qb.extract_array(series, "catch24")[0])}
    assert len(row_of) == 60
    fitted_rows = []
    table = _relevance.table

    def recording(data, *args, **kwargs):
        fitted_rows.append({row_of[row.tobytes()] for row in data})
        return table(data, *args, **kwargs)

    monkeypatch.setattr(_relevance, "table", recording)
    pipeline = make_pipeline(qb.FeatureTransformer("catch24"), qb.FeatureSelector(), StandardScaler(),
                             LogisticRegression())
    folds = list(StratifiedKFold(n_splits=3, shuffle=True, random_state=0).split(series, y))
    result = cross_validate(pipeline, series, y, cv=folds, return_estimator=True)
    assert result["test_score"].min() > 0.8
    assert len(fitted_rows) == len(folds)
    for (train, test), rows, fitted in zip(folds, fitted_rows, result["estimator"]):
        assert rows == set(train) and not rows & set(test)
        assert fitted[1].n_features_in_ == 24 and 0 < fitted[1].support_.sum() < 24


def test_selector_names_and_pandas_output():
    from sklearn.pipeline import make_pipeline

    rng = np.random.default_rng(4)
    y = np.repeat(["calm", "wild"], 20)
    series = rng.normal(size=(40, 80)) * np.where(y == "wild", 3.0, 1.0)[:, None]
    pipeline = make_pipeline(qb.FeatureTransformer("catch24"), qb.FeatureSelector(fdr_level=0.01))
    pipeline.set_output(transform="pandas")
    out = pipeline.fit_transform(series, y)
    selector = pipeline[-1]
    names = selector.relevance_.index[selector.relevance_["relevant"]].tolist()
    assert isinstance(out, pd.DataFrame) and out.columns.tolist() == names
    assert pipeline.get_feature_names_out().tolist() == names and "DN_Spread_Std" in names
    assert selector.relevance_.index.tolist() == qb.feature_names("catch24")
    full = qb.extract(series, "catch24")
    np.testing.assert_array_equal(out.to_numpy(), full[names].to_numpy())


if __name__ == "__main__":  # rewrites the golden file from the installed tsfresh
    write_golden()
