"""Dask front end: features of a long-format Dask DataFrame, one engine run per partition.

``roll`` gives the features of its rolling windows the same way.

``extract`` returns a lazy Dask DataFrame indexed by id. The rows of one id
must meet in one partition before its series can be computed, so the frame is
shuffled on the id column first, unless it is already indexed by the id with
known divisions (after ``set_index(column_id)``), which keeps every id in one
partition. The shuffle does not keep row order, so each row is numbered by its
partition and position beforehand and every partition is put back into input
order before the engine runs: rows without ``column_sort`` and ties within it
come out as the in-process ``extract`` sees them, and the values are the same
to the bit.
"""

from __future__ import annotations

from collections.abc import Hashable, Sequence
from typing import Any

from ._core import optional_import

optional_import("dask.dataframe", "dask")  # a missing Dask names the extra to install
import dask.dataframe as dd  # noqa: E402
import numpy as np
import pandas as pd

from ._core import Features, feature_names
from ._frame import extract as _extract_frame
from ._roll_frame import Size, Spans, arguments, rolled

_POSITION = "__quorlex_position__"
# Row numbers are partition << 40 | position: ordered as the input for up to
# 2**40 rows per partition and 2**23 partitions.
_POSITION_BITS = 40


def _numbered(frame: pd.DataFrame, partition_info: dict[str, Any] | None = None) -> pd.DataFrame:
    number = partition_info["number"] if partition_info is not None else 0
    return frame.assign(**{_POSITION: (np.int64(number) << _POSITION_BITS) + np.arange(len(frame), dtype=np.int64)})


def _in_order(frame: pd.DataFrame, column_id: Hashable) -> pd.DataFrame:
    """A shuffled partition's rows back in input order, with the id as a column."""
    if _POSITION in frame.columns:
        frame = frame.sort_values(_POSITION, kind="stable").drop(columns=_POSITION)
    if column_id not in frame.columns:  # indexed by id
        frame = frame.reset_index()
    return frame


def _partition(frame: pd.DataFrame, features: Features, column_id: Hashable, column_sort: Hashable | None,
               column_value: Hashable | None, column_kind: Hashable | None, meta: pd.DataFrame,
               n_jobs: int | None) -> pd.DataFrame:
    frame = _in_order(frame, column_id)
    if len(frame) == 0:
        return meta
    result = _extract_frame(frame, features, column_id=column_id, column_sort=column_sort,
                            column_value=column_value, column_kind=column_kind, n_jobs=n_jobs)
    return result.reindex(columns=meta.columns)


def _sorted(values: Sequence[Any]) -> list[Any]:
    try:
        return sorted(values)
    except TypeError:  # unorderable mixed types: first-seen order, as the in-process extract does
        return list(values)


def extract(ddf: dd.DataFrame, features: Features = "catch24", *, column_id: Hashable,
            column_sort: Hashable | None = None, column_value: Hashable | None = None,
            column_kind: Hashable | None = None, n_jobs: int | None = None) -> dd.DataFrame:
    """Features of every series of a long-format Dask DataFrame, lazily.

    The arguments mean what they mean for ``quorlex_batch.extract`` on a pandas
    frame; ``column_id`` may also name the frame's index. The result has one row
    per id, indexed by id, in no particular order across partitions (the
    in-process order is the input's; ``.compute().sort_index()`` gives a fixed
    one). ``n_jobs`` caps the
    engine's threads within each task.

    With ``column_kind`` the kinds are read once up front (one pass over that
    column), so that every partition yields the same columns.
    """
    ddf, indexed, labels = _kinds(ddf, column_id, column_sort, column_value, column_kind)
    names = feature_names(features)
    columns = names if labels is None else [f"{label}__{name}" for label in labels for name in names]
    id_dtype = ddf.index.dtype if indexed else ddf[column_id].dtype
    meta = pd.DataFrame({c: pd.Series(dtype=np.float64) for c in columns},
                        index=pd.Index([], dtype=id_dtype, name=column_id))
    result: dd.DataFrame = _by_id(ddf, column_id, indexed).map_partitions(  # type: ignore[no-untyped-call,unused-ignore]
        _partition, features, column_id, column_sort, column_value, column_kind, meta, n_jobs, meta=meta)
    return result


def _kinds(ddf: dd.DataFrame, column_id: Hashable, column_sort: Hashable | None, column_value: Hashable | None,
           column_kind: Hashable | None) -> tuple[dd.DataFrame, bool, list[Any] | None]:
    """Checks the columns; whether the frame is indexed by id with known
    divisions; the kinds (None for one value column)."""
    if not isinstance(ddf, dd.DataFrame):
        raise TypeError(f"expected a Dask DataFrame, got {type(ddf).__name__}")
    indexed = column_id not in ddf.columns and ddf.index.name == column_id
    for role, name in (("column_id", column_id), ("column_sort", column_sort), ("column_value", column_value),
                       ("column_kind", column_kind)):
        if name is not None and name not in ddf.columns and not (role == "column_id" and indexed):
            raise ValueError(f"column {name!r} is not in the data frame")
    if indexed and not ddf.known_divisions:
        ddf, indexed = ddf.reset_index(), False
    if column_kind is not None:
        labels: list[Any] | None = _sorted(ddf[column_kind].dropna().unique().compute().tolist())
    elif column_value is None:
        roles = {column_id, column_sort}
        labels = [c for c in ddf.columns if c not in roles]
        if not labels:
            raise ValueError("the data frame has no value column besides the id, sort and kind columns")
    else:
        labels = None
    return ddf, indexed, labels


def _by_id(ddf: dd.DataFrame, column_id: Hashable, indexed: bool) -> dd.DataFrame:
    """The frame with every id in one partition, rows numbered in input order."""
    if indexed:
        return ddf
    numbered = ddf.map_partitions(_numbered, meta=_numbered(ddf._meta))  # type: ignore[no-untyped-call,unused-ignore]
    shuffled: dd.DataFrame = numbered.shuffle(on=column_id)
    return shuffled


def _roll_partition(frame: pd.DataFrame, features: Features, window: Any, step: Any, min_window: Any,
                    horizon: Any, column_id: Hashable, column_sort: Hashable | None, column_value: Hashable | None,
                    column_kind: Hashable | None, meta: pd.DataFrame, n_jobs: int | None) -> pd.DataFrame:
    frame = _in_order(frame, column_id)
    if len(frame) == 0:
        return meta
    X, y = rolled(frame, features, window, step, min_window, horizon, column_id, column_sort, column_value,
                  column_kind, n_jobs, False, strict=False)
    table = X if y is None else pd.concat([y, X], axis=1)
    return table.reset_index(level="end").reindex(columns=meta.columns).astype({"end": meta["end"].dtype})


def roll(ddf: dd.DataFrame, features: Features, window: Size, step: Size = 1, *, min_window: Size | None = None,
         horizon: Size | None = None, column_id: Hashable, column_sort: Hashable | None = None,
         column_value: Hashable | None = None, column_kind: Hashable | None = None,
         n_jobs: int | None = None) -> dd.DataFrame:
    """Features of every window of every series of a long-format Dask
    DataFrame, lazily.

    The arguments mean what they mean for ``quorlex_batch.roll``; the rows of
    one id meet in one partition as for ``extract``. Dask frames have a single
    index, so the result is indexed by id with the window's end in the column
    "end", then the target column(s) when ``horizon`` is given, then the
    features. A window longer than every series gives no rows here rather than
    an error, as no partition sees every series.
    """
    checked = arguments(window, step, min_window, horizon)  # refused now, not at compute time
    ddf, indexed, labels = _kinds(ddf, column_id, column_sort, column_value, column_kind)
    names = feature_names(features)
    columns = names if labels is None else [f"{label}__{name}" for label in labels for name in names]
    if horizon is not None:
        columns = (["target"] if labels is None else [f"{label}__target" for label in labels]) + columns
    id_dtype = ddf.index.dtype if indexed else ddf[column_id].dtype
    if column_sort is None:
        end_dtype: Any = np.dtype(np.int64)
    else:
        end_dtype = ddf[column_sort].dtype
        if isinstance(end_dtype, pd.DatetimeTZDtype):
            end_dtype = pd.DatetimeTZDtype("ns", end_dtype.tz)
        elif pd.api.types.is_datetime64_dtype(end_dtype):
            end_dtype = np.dtype("M8[ns]")
        elif isinstance(checked, Spans):
            raise ValueError(f"window {checked.text!r} is a time span, but column_sort {column_sort!r} does not hold"
                             f" datetimes ({end_dtype})")
    meta = pd.DataFrame({"end": pd.Series(dtype=end_dtype), **{c: pd.Series(dtype=np.float64) for c in columns}},
                        index=pd.Index([], dtype=id_dtype, name=column_id))
    result: dd.DataFrame = _by_id(ddf, column_id, indexed).map_partitions(  # type: ignore[no-untyped-call,unused-ignore]
        _roll_partition, features, window, step, min_window, horizon, column_id, column_sort, column_value,
        column_kind, meta, n_jobs, meta=meta)
    return result
