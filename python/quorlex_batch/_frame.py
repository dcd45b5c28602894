"""pandas front end: long data frames as tsfresh takes them, and wide ones."""

from __future__ import annotations

from collections.abc import Hashable

import numpy as np
import numpy.typing as npt
import pandas as pd

from ._core import Batch, Features, extract_array, run


def _column(frame: pd.DataFrame, name: Hashable | None) -> None:
    if name is not None and name not in frame.columns:
        raise ValueError(f"column {name!r} is not in the data frame")


def _codes(values: pd.Series, what: str, column: Hashable, sort: bool) -> tuple[npt.NDArray[np.intp], pd.Index]:
    if values.isna().any():
        raise ValueError(f"column {column!r} holds NaN {what}")
    try:
        codes, uniques = pd.factorize(values, sort=sort)
    except TypeError:  # unorderable mixed types: first-seen order
        codes, uniques = pd.factorize(values, sort=False)
    return codes, pd.Index(uniques)


def _numbers(values: pd.Series, column: Hashable) -> npt.NDArray[np.float64]:
    try:
        return values.to_numpy(dtype=np.float64, na_value=np.nan)
    except (TypeError, ValueError):
        raise ValueError(f"column {column!r} holds values that are not numbers") from None


def _from_long(frame: pd.DataFrame, features: Features, column_id: Hashable, column_sort: Hashable | None,
               column_value: Hashable | None, column_kind: Hashable | None, n_jobs: int | None,
               progress: bool) -> pd.DataFrame:
    for name in (column_id, column_sort, column_value, column_kind):
        _column(frame, name)
    # Ids in the order the frame first gives them, as the command line writes them.
    id_codes, ids = _codes(frame[column_id], "ids", column_id, sort=False)
    used = {column_id, column_sort, column_kind}
    if column_value is not None:
        value_columns = [column_value]
    else:
        value_columns = [c for c in frame.columns if c not in used]
        if not value_columns:
            raise ValueError("the data frame has no value column besides the id, sort and kind columns")
        if column_kind is not None and len(value_columns) != 1:
            raise ValueError(f"with column_kind, name the value column (column_value): candidates {value_columns}")

    # One series per (kind, id): stable order by kind, id and then the sort column.
    keys: list[npt.NDArray[np.intp]] = []
    if column_sort is not None:
        keys.append(frame[column_sort].to_numpy())
    keys.append(id_codes)
    if column_kind is not None:
        kind_codes, kinds = _codes(frame[column_kind], "kinds", column_kind, sort=True)
        keys.append(kind_codes)
        order = np.lexsort(keys)
        series_key = kind_codes[order] * len(ids) + id_codes[order]
        values = _numbers(frame[value_columns[0]], value_columns[0])[order]
        labels: list[Hashable] | None = list(kinds)
    else:
        order = np.lexsort(keys)
        per_kind = id_codes[order]
        series_key = np.concatenate([per_kind + k * len(ids) for k in range(len(value_columns))])
        values = np.concatenate([_numbers(frame[c], c)[order] for c in value_columns])
        labels = value_columns if column_value is None else None
    kind_count = len(labels) if labels is not None else 1
    counts = np.bincount(series_key, minlength=kind_count * len(ids))
    offsets = np.zeros(len(counts) + 1, dtype=np.int64)
    np.cumsum(counts, out=offsets[1:])
    matrix, names, _ = run(Batch(np.ascontiguousarray(values), offsets), features, n_jobs, progress)
    matrix[counts == 0] = np.nan  # an id without rows of some kind
    width = len(names)
    matrix = matrix.reshape(kind_count, len(ids), width).transpose(1, 0, 2).reshape(len(ids), kind_count * width)
    columns = names if labels is None else [f"{label}__{name}" for label in labels for name in names]
    return pd.DataFrame(matrix, index=pd.Index(ids, name=column_id), columns=columns)


def extract(data: object, features: Features = "catch24", *, column_id: Hashable | None = None,
            column_sort: Hashable | None = None, column_value: Hashable | None = None,
            column_kind: Hashable | None = None, n_jobs: int | None = None,
            progress: bool = False) -> pd.DataFrame:
    """Features of every series as a DataFrame.

    - A numpy array or a sequence of series: one row per series (or per case of a
      3-D array, channel columns prefixed "<channel>__"), indexed by row number.
    - A DataFrame with ``column_id``: long format as tsfresh takes it. Rows are
      ordered by ``column_sort`` within each id (input order without it). With
      ``column_kind`` each kind is a series of its own and columns are prefixed
      "<kind>__"; without it, ``column_value`` names the one value column, or
      else every other column is a kind of its own.
    - A DataFrame without ``column_id``: wide format, one series per row, indexed
      by the frame's index.

    The rows of a long frame follow its ids in the order it first gives them
    (as the command line writes them); kinds and value columns keep the order
    described above.
    """
    if isinstance(data, pd.DataFrame):
        if column_id is not None:
            return _from_long(data, features, column_id, column_sort, column_value, column_kind, n_jobs, progress)
        for option, value in (("column_sort", column_sort), ("column_value", column_value),
                              ("column_kind", column_kind)):
            if value is not None:
                raise ValueError(f"{option} applies to long data frames: name the id column (column_id) too")
        matrix, names = extract_array(_numbers_frame(data), features, n_jobs=n_jobs, progress=progress)
        return pd.DataFrame(matrix, index=data.index, columns=names)
    if any(c is not None for c in (column_id, column_sort, column_value, column_kind)):
        raise ValueError("column_id, column_sort, column_value and column_kind apply to pandas data frames")
    matrix, names = extract_array(data, features, n_jobs=n_jobs, progress=progress)
    return pd.DataFrame(matrix, columns=names)


def _numbers_frame(frame: pd.DataFrame) -> npt.NDArray[np.float64]:
    try:
        return frame.to_numpy(dtype=np.float64, na_value=np.nan)
    except (TypeError, ValueError):
        raise ValueError("a wide data frame must hold only numbers (one series per row)") from None
