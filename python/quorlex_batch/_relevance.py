"""Which features carry information about a target: one hypothesis test per
feature, then a false-discovery-rate correction over all of them (FRESH, as
tsfresh's relevance table does it).

The tests come from scipy.stats and run on many columns per call: a feature's
test uses the rows where that feature is finite, so the columns are grouped by
their pattern of usable rows and each group goes through scipy at once (on
finished feature matrices nearly every column falls in the one group of fully
finite columns). Features and targets are typed once, without a Python loop
over columns.
"""

from __future__ import annotations

from collections.abc import Hashable, Iterator, Sequence
from dataclasses import dataclass
from typing import Any

import numpy as np
import numpy.typing as npt
import pandas as pd

TASKS = ("auto", "classification", "regression")
REAL_FEATURE_TESTS = ("mann", "smir")  # tsfresh's names: Mann-Whitney U, Smirnov (two-sample Kolmogorov-Smirnov)
# A group (a class, the rest, one value of a binary feature) needs this many usable rows to be tested.
MIN_GROUP_ROWS = 2

Matrix = npt.NDArray[np.float64]
Mask = npt.NDArray[np.bool_]


@dataclass
class Target:
    """A validated target, aligned with the rows of X. Classification: codes
    into ``classes`` (sorted where they can be). Regression: float values."""

    task: str
    values: npt.NDArray[Any]
    classes: list[Any]
    one_vs_rest: bool = False  # each class tested against the rest


@dataclass
class Options:
    task: str
    fdr_level: float
    hypotheses_independent: bool
    test_for_binary_target_real_feature: str
    multiclass: bool | str  # "auto": one class against the rest when y has more than two
    n_significant: int


def options(task: str = "auto", fdr_level: float = 0.05, hypotheses_independent: bool = False,
            test_for_binary_target_real_feature: str = "mann", multiclass: bool | str = False,
            n_significant: int = 1) -> Options:
    """Checks the relevance options; the same checks serve every front end."""
    if task not in TASKS:
        raise ValueError(f"task must be one of {', '.join(map(repr, TASKS))}, got {task!r}")
    if isinstance(fdr_level, bool) or not isinstance(fdr_level, (int, float, np.integer, np.floating)):
        raise TypeError(f"fdr_level must be a number, got {type(fdr_level).__name__}")
    if not 0 < fdr_level < 1:
        raise ValueError(f"fdr_level must be between 0 and 1 (exclusive), got {fdr_level}")
    if test_for_binary_target_real_feature not in REAL_FEATURE_TESTS:
        raise ValueError("test_for_binary_target_real_feature must be 'mann' (Mann-Whitney U) or 'smir'"
                         f" (Kolmogorov-Smirnov), got {test_for_binary_target_real_feature!r}")
    if not (isinstance(multiclass, (bool, np.bool_)) or multiclass == "auto"):
        raise ValueError(f"multiclass must be True, False or 'auto', got {multiclass!r}")
    if isinstance(n_significant, bool) or not isinstance(n_significant, (int, np.integer)):
        raise TypeError(f"n_significant must be an int, got {type(n_significant).__name__}")
    if n_significant < 1:
        raise ValueError(f"n_significant must be at least 1, got {n_significant}")
    return Options(task, float(fdr_level), bool(hypotheses_independent), test_for_binary_target_real_feature,
                   multiclass if multiclass == "auto" else bool(multiclass), int(n_significant))


def feature_matrix(X: object) -> tuple[Matrix, list[Hashable], pd.Index | None]:
    """X as a float64 matrix, its column names and, for a DataFrame, its index.
    X is a DataFrame, a ``(matrix, names)`` pair as ``extract_array`` returns,
    or a 2-D array (columns named by position)."""
    names: list[Hashable] | None = None
    index = None
    if isinstance(X, pd.DataFrame):
        names, index = list(X.columns), X.index
        try:
            data = X.to_numpy(dtype=np.float64, na_value=np.nan)
        except (TypeError, ValueError):
            raise ValueError("X must hold only numbers (one feature per column)") from None
    else:
        values = X
        if isinstance(X, tuple) and len(X) == 2:
            values, names = X[0], list(X[1])
        try:
            data = np.asarray(values, dtype=np.float64)
        except (TypeError, ValueError):
            raise ValueError("X must be a 2-D array of numbers (one feature per column)") from None
    if data.ndim != 2:
        raise ValueError(f"X must be 2-D (one row per series, one column per feature), got {data.ndim}"
                         f" dimension{'s' if data.ndim != 1 else ''}")
    if names is None:
        names = list(range(data.shape[1]))
    if len(names) != data.shape[1]:
        raise ValueError(f"X has {data.shape[1]} columns but {len(names)} names")
    return data, names, index


def target(y: object, rows: int, index: pd.Index | None, task: str, multiclass: bool | str) -> Target:
    """y aligned with the rows of X (by index when both have one, else by
    position) and checked: no missing labels, at least two classes or values."""
    if isinstance(y, pd.DataFrame):
        if y.shape[1] != 1:
            raise ValueError(f"y must be one column of labels, got a data frame with {y.shape[1]} columns")
        y = y.iloc[:, 0]
    if isinstance(y, pd.Series) and index is not None:
        if y.index.has_duplicates:
            raise ValueError(f"y's index repeats labels (e.g. {y.index[y.index.duplicated()][0]!r}): it cannot be"
                             " aligned with X")
        if not y.index.equals(index):
            missing = index.difference(y.index, sort=False)
            if len(missing):
                raise ValueError(f"y does not align with X: {len(missing)} of X's {rows} rows have no label in y"
                                 f" (e.g. {missing[0]!r})")
            extra = y.index.difference(index, sort=False)
            if len(extra):
                raise ValueError(f"y does not align with X: y has {len(extra)} labels for rows that X lacks"
                                 f" (e.g. {extra[0]!r})")
            y = y.reindex(index)
    if isinstance(y, pd.Series):
        series = y
    else:
        labels = np.asarray(y)
        if labels.ndim != 1:
            raise ValueError(f"y must be one-dimensional, got shape {labels.shape}")
        series = pd.Series(labels)
    if len(series) != rows:
        raise ValueError(f"y does not align with X: {len(series)} labels for {rows} rows")
    missing_count = int(series.isna().sum())
    if missing_count:
        raise ValueError(f"y has {missing_count} missing label{'s' if missing_count != 1 else ''} (NaN or None):"
                         " drop those rows or fill them in")
    if task == "auto":
        numeric = pd.api.types.is_float_dtype(series.dtype) or pd.api.types.is_complex_dtype(series.dtype)
        task = "regression" if numeric else "classification"
    if task == "regression":
        if multiclass is True:
            raise ValueError("multiclass=True applies to classes, but y is a regression target")
        try:
            values = series.to_numpy(dtype=np.float64)
        except (TypeError, ValueError):
            raise ValueError("a regression target must be numbers") from None
        if not np.isfinite(values).all():
            raise ValueError("y holds infinite values: a regression target must be finite")
        if rows and values.min() == values.max():
            raise ValueError("y is constant: no feature can be related to it")
        if rows < MIN_GROUP_ROWS:
            raise ValueError(f"y has {rows} value{'s' if rows != 1 else ''}: a test needs at least {MIN_GROUP_ROWS}")
        return Target("regression", values, [])
    try:
        codes, uniques = pd.factorize(series, sort=True)
    except TypeError:  # unorderable mixed labels: first-seen order
        codes, uniques = pd.factorize(series, sort=False)
    classes = list(uniques)
    if len(classes) < 2:
        seen = f" ({classes[0]!r})" if classes else ""
        raise ValueError(f"y has a single class{seen}: a test needs at least two")
    if len(classes) > 2 and multiclass is False:
        raise ValueError(f"y has {len(classes)} classes: pass multiclass=True to test each class against the rest"
                         " (or task='regression' for a numeric target)")
    return Target("classification", codes.astype(np.intp), classes, multiclass is True or len(classes) > 2)


# Feature types, as tsfresh's relevance table names them.
REAL, BINARY, CONSTANT = "real", "binary", "constant"


def feature_types(data: Matrix, finite: Mask) -> tuple[npt.NDArray[np.object_], Matrix]:
    """Each column's type over its finite values: "constant" for fewer than two
    distinct values, "binary" for exactly two, "real" otherwise; and the larger
    value of each binary column (its second level)."""
    with np.errstate(invalid="ignore"):
        lowest = np.where(finite, data, np.inf).min(axis=0, initial=np.inf)
        highest = np.where(finite, data, -np.inf).max(axis=0, initial=-np.inf)
        two_levels = ((data == lowest) | (data == highest) | ~finite).all(axis=0)
    types = np.full(data.shape[1], REAL, dtype=object)
    types[two_levels] = BINARY
    types[~(lowest < highest)] = CONSTANT
    return types, highest


def _usable_groups(finite: Mask, columns: npt.NDArray[np.intp]) -> Iterator[tuple[Mask | None, npt.NDArray[np.intp]]]:
    """The columns in groups that share their usable rows: (rows, columns),
    rows None for the fully finite ones."""
    complete = finite[:, columns].all(axis=0)
    if complete.any():
        yield None, columns[complete]
    partial = columns[~complete]
    if len(partial) == 0:
        return
    patterns = np.packbits(finite[:, partial], axis=0).T
    _, group_of = np.unique(patterns, axis=0, return_inverse=True)
    for group in range(int(group_of.max()) + 1):
        members = partial[group_of.ravel() == group]
        yield finite[:, members[0]], members


def _splits(target: Target, rows: Mask | None) -> list[Mask]:
    """The first group of each test among the usable rows: class 1 of a
    binary target (against class 0), or each class against the rest."""
    codes = target.values if rows is None else target.values[rows]
    if not target.one_vs_rest:
        return [codes == 1]
    return [codes == c for c in range(len(target.classes))]


def _sorted_columns(data: Matrix, rows: Mask | None,
                    columns: npt.NDArray[np.intp]) -> tuple[Matrix, npt.NDArray[np.intp], Mask]:
    """Each column's usable values in ascending order, one column per row, the
    row of X each value comes from, and which columns hold ties."""
    block = data[:, columns] if rows is None else data[np.ix_(rows, columns)]
    by_column = np.ascontiguousarray(block.T)
    order = np.argsort(by_column, axis=1)
    ascending = np.take_along_axis(by_column, order, axis=1)
    return ascending, order, (ascending[:, 1:] == ascending[:, :-1]).any(axis=1)


def _real_vs_classes(ascending: Matrix, order: npt.NDArray[np.intp], tied: Mask, first: Mask, test: str) -> Matrix:
    """Mann-Whitney U or Kolmogorov-Smirnov of real features, one group
    against the other, all columns in one scipy call.

    Both tests depend on the values in each group, not on their order. The
    columns come sorted once for every split (each class against the rest
    reuses the sort), so each group arrives in ascending order and the sort
    inside scipy's test meets two sorted runs. The ranks and their sums are
    whole or half numbers, exact in any order, so the p-values are the same
    bits as from unsorted groups."""
    from scipy import stats  # type: ignore[import-untyped,unused-ignore]

    inside = first[order]
    count = int(first.sum())
    features = len(ascending)
    one, other = ascending[inside].reshape(features, count), ascending[~inside].reshape(features, -1)
    if test == "smir":
        result = stats.ks_2samp(one, other, alternative="two-sided", axis=1)
        return np.asarray(result.pvalue, dtype=np.float64).reshape(features)
    # For small groups scipy picks the exact distribution unless the call holds ties anywhere; the tied and
    # untied columns go in separate calls so that each feature gets the choice a call of its own would.
    def mann_whitney(one: Matrix, other: Matrix) -> Matrix:
        result = stats.mannwhitneyu(one, other, use_continuity=True, alternative="two-sided", axis=1)
        return np.asarray(result.pvalue, dtype=np.float64).reshape(len(one))

    if tied.all() or not tied.any():
        return mann_whitney(one, other)
    p = np.empty(features)
    p[tied] = mann_whitney(one[tied], other[tied])
    p[~tied] = mann_whitney(one[~tied], other[~tied])
    return p


def _fisher(data: Matrix, rows: Mask | None, columns: npt.NDArray[np.intp], upper: Matrix, first: Mask) -> Matrix:
    """Fisher's exact test of binary features against two groups; one scipy
    call per distinct 2 x 2 table, since many binary features share one."""
    from scipy import stats

    block = data[:, columns] if rows is None else data[np.ix_(rows, columns)]
    high = block == upper[columns]
    high_first = (high & first[:, None]).sum(axis=0)
    high_second = (high & ~first[:, None]).sum(axis=0)
    tables = np.stack([first.sum() - high_first, (~first).sum() - high_second, high_first, high_second], axis=1)
    distinct, which = np.unique(tables, axis=0, return_inverse=True)
    p = np.array([stats.fisher_exact(table.reshape(2, 2), alternative="two-sided").pvalue for table in distinct])
    return p[which.ravel()]


def _kendall(data: Matrix, rows: Mask | None, columns: npt.NDArray[np.intp], values: Matrix) -> Matrix:
    """Kendall's tau of real features against a real target."""
    from scipy import stats

    block = data[:, columns] if rows is None else data[np.ix_(rows, columns)]
    target = values if rows is None else values[rows]
    result = stats.kendalltau(block, np.broadcast_to(target[:, None], block.shape), axis=0)
    return np.asarray(result.pvalue, dtype=np.float64).reshape(len(columns))


def _real_target_vs_binary(data: Matrix, rows: Mask | None, columns: npt.NDArray[np.intp], upper: Matrix,
                           values: Matrix) -> Matrix:
    """Kolmogorov-Smirnov of a real target split by each binary feature's two
    values (the test tsfresh uses here too); one call per distinct split."""
    from scipy import stats

    block = data[:, columns] if rows is None else data[np.ix_(rows, columns)]
    target = values if rows is None else values[rows]
    high = block == upper[columns]
    p = np.full(len(columns), np.nan)
    patterns = np.packbits(high, axis=0).T
    _, first_of, which = np.unique(patterns, axis=0, return_index=True, return_inverse=True)
    for split, column in enumerate(first_of):
        chosen = high[:, column]
        if chosen.sum() >= MIN_GROUP_ROWS and (~chosen).sum() >= MIN_GROUP_ROWS:
            p[which.ravel() == split] = stats.ks_2samp(target[chosen], target[~chosen]).pvalue
    return p


def p_values(data: Matrix, types: npt.NDArray[np.object_], upper: Matrix, finite: Mask, target: Target,
             settings: Options) -> list[Matrix]:
    """One p-value per feature for each test: the binary or regression test,
    or one per class for multiclass. NaN where a feature was not tested."""
    count = len(target.classes) if target.one_vs_rest else 1
    result = [np.full(data.shape[1], np.nan) for _ in range(count)]
    tested = np.flatnonzero(types != CONSTANT)
    for rows, columns in _usable_groups(finite, tested):
        real = columns[types[columns] == REAL]
        binary = columns[types[columns] == BINARY]
        if target.task == "regression":
            if len(real) and (rows is None or rows.sum() >= MIN_GROUP_ROWS):
                result[0][real] = _kendall(data, rows, real, target.values)
            if len(binary):
                result[0][binary] = _real_target_vs_binary(data, rows, binary, upper, target.values)
            continue
        ascending, order, tied = _sorted_columns(data, rows, real)
        for p, first in zip(result, _splits(target, rows)):
            if first.sum() < MIN_GROUP_ROWS or (~first).sum() < MIN_GROUP_ROWS:
                continue
            if len(real):
                p[real] = _real_vs_classes(ascending, order, tied, first,
                                           settings.test_for_binary_target_real_feature)
            if len(binary):
                p[binary] = _fisher(data, rows, binary, upper, first)
    return result


def rejected(p: Matrix, settings: Options) -> Mask:
    """The hypotheses rejected at the false discovery rate: Benjamini-Yekutieli
    (any dependence between the tests), or Benjamini-Hochberg when they are
    independent. Untested features (NaN) are neither counted nor rejected."""
    from scipy import stats

    tested = ~np.isnan(p)
    out = np.zeros(len(p), dtype=bool)
    if tested.any():
        adjusted = stats.false_discovery_control(p[tested], method="bh" if settings.hypotheses_independent else "by")
        out[tested] = adjusted <= settings.fdr_level
    return out


def _order(p: Matrix) -> npt.NDArray[np.intp]:
    """Ascending p-value, untested last, ties in column order."""
    key = np.where(np.isnan(p), np.inf, p)
    order: npt.NDArray[np.intp] = np.argsort(key, kind="stable")
    return order


def relevance(X: object, y: object, *, task: str = "auto", fdr_level: float = 0.05,
              hypotheses_independent: bool = False, test_for_binary_target_real_feature: str = "mann",
              multiclass: bool | str = False, n_significant: int = 1) -> pd.DataFrame:
    """The relevance table: one hypothesis test per feature against the target y
    and a false-discovery-rate correction over the features, as FRESH defines it.

    X is a DataFrame (as ``extract`` returns), a ``(matrix, names)`` pair or a
    2-D array; y is a Series aligned by index with a DataFrame X, or anything
    one-dimensional aligned by position. ``task`` is "classification",
    "regression" or "auto" (float targets are regression, anything else classes).

    Tests: a real feature against two classes by Mann-Whitney U (or
    Kolmogorov-Smirnov with ``test_for_binary_target_real_feature="smir"``), a
    binary feature against two classes by Fisher's exact test, a real feature
    against a real target by Kendall's tau, a binary feature against a real
    target by Kolmogorov-Smirnov. With ``multiclass=True`` each class is tested
    against the rest and corrected on its own, and a feature is relevant when it
    is significant for at least ``n_significant`` classes (``multiclass="auto"``
    does so when y has more than two classes). The correction is
    Benjamini-Yekutieli at ``fdr_level``, Benjamini-Hochberg when
    ``hypotheses_independent``.

    A feature's NaN and infinite rows are left out of its test (``n_left_out``
    counts them); with fewer than two usable rows in a group it is not tested
    (p-value NaN) and not relevant. A constant feature is never relevant.

    Returns one row per feature, indexed by name, sorted by p-value (for
    multiclass by the smallest class p-value): ``feature``, ``type`` ("real",
    "binary", "constant"), ``p_value`` or ``p_value_<class>`` and
    ``relevant_<class>`` per class with ``n_significant`` (the number of
    classes it is significant for), ``relevant``, ``testable`` (False for a
    constant feature and where a test could not be made) and ``n_left_out``.
    """
    settings = options(task, fdr_level, hypotheses_independent, test_for_binary_target_real_feature, multiclass,
                       n_significant)
    data, names, index = feature_matrix(X)
    goal = target(y, data.shape[0], index, settings.task, settings.multiclass)
    if goal.one_vs_rest and settings.n_significant > len(goal.classes):
        raise ValueError(f"n_significant is {settings.n_significant}, but y has only {len(goal.classes)} classes")
    return table(data, names, goal, settings)


def table(data: Matrix, names: Sequence[Hashable], goal: Target, settings: Options, *,
          by_p_value: bool = True) -> pd.DataFrame:
    """The relevance table of a checked matrix and target, sorted by p-value or in column order."""
    finite = np.isfinite(data)
    types, upper = feature_types(data, finite)
    tests = p_values(data, types, upper, finite, goal, settings)
    columns: dict[str, Any] = {"feature": list(names), "type": types.astype(str)}
    if goal.one_vs_rest:
        significant = np.zeros(data.shape[1], dtype=np.int64)
        for label, p in zip(goal.classes, tests):
            chosen = rejected(p, settings)
            columns[f"p_value_{label}"] = p
            columns[f"relevant_{label}"] = chosen
            significant += chosen
        columns["n_significant"] = significant
        relevant = significant >= settings.n_significant
        with np.errstate(invalid="ignore"):
            key = np.fmin.reduce(np.vstack(tests), axis=0)
    else:
        key = tests[0]
        columns["p_value"] = key
        relevant = rejected(key, settings)
    columns["relevant"] = relevant
    columns["testable"] = ~np.isnan(np.vstack(tests)).any(axis=0)
    columns["n_left_out"] = data.shape[0] - finite.sum(axis=0)
    frame = pd.DataFrame(columns, index=pd.Index(list(names), dtype=object))
    return frame.iloc[_order(key)] if by_p_value else frame


def select(X: object, y: object, **options: Any) -> pd.DataFrame:
    """The relevant columns of X (a DataFrame, in their original order), by
    ``relevance(X, y, **options)``."""
    found = relevance(X, y, **options)
    if not isinstance(X, pd.DataFrame):
        data, names, _ = feature_matrix(X)
        X = pd.DataFrame(data, columns=names)
    keep = set(found.index[found["relevant"].to_numpy()])
    return X.loc[:, [name in keep for name in X.columns]]


EXTRACT_OPTIONS = ("column_id", "column_sort", "column_value", "column_kind", "n_jobs", "progress")


def extract_relevant(data: object, y: object, features: Any = "catch24", **options: Any) -> pd.DataFrame:
    """``extract`` then ``select`` in one call: the features of every series
    that are relevant to y. Options go to ``extract`` (column_id, column_sort,
    column_value, column_kind, n_jobs, progress) or to ``relevance``."""
    from ._frame import extract

    extract_options = {key: options.pop(key) for key in EXTRACT_OPTIONS if key in options}
    frame = extract(data, features, **extract_options)
    return select(frame, y, **options)
