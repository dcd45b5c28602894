"""pandas front end of the rolling windows: count windows on any input, and
time-span windows on long data frames whose sort column holds datetimes.

A time window ending at t holds the points in (t - span, t]. Its ends are the
last time stamp of the series and every step before it (a span, or a count of
points), for as long as the series reaches back min_window (default: the
whole span) from the end. The target of a time window is the value at or last
before end + horizon, NaN once that lies past the last time stamp.
"""

from __future__ import annotations

import datetime
from collections.abc import Hashable
from dataclasses import dataclass
from typing import Union, overload

import numpy as np
import numpy.typing as npt
import pandas as pd

from ._core import Batch, Features, Matrix, run
from ._frame import _codes, _column, _numbers, _numbers_frame
from ._roll import Counts, Ints, Placement, bounds, count, count_windows, counts, longer_than_every, roll_arrays
from ._roll import targets as count_targets

Span = Union[str, pd.Timedelta, datetime.timedelta, np.timedelta64]
Size = Union[int, Span]
Rolled = Union[pd.DataFrame, tuple[pd.DataFrame, Union[pd.Series, pd.DataFrame]]]


def _is_span(value: object) -> bool:
    return isinstance(value, (str, pd.Timedelta, datetime.timedelta, np.timedelta64))


def _span(value: object, name: str) -> int:
    """A positive time span in nanoseconds."""
    try:
        if isinstance(value, str) and not any(c.isalpha() for c in value):
            raise ValueError("a span needs a unit")
        span = pd.Timedelta(value)  # type: ignore[arg-type]
    except (TypeError, ValueError):
        raise ValueError(f"{name} {value!r} is neither a count of points nor a time span") from None
    if pd.isna(span) or span.value <= 0:
        raise ValueError(f"{name} must be a positive time span, got {value!r}")
    return int(span.value)


@dataclass(frozen=True)
class Spans:
    """Checked arguments of a time window, in nanoseconds; step is a count of
    points when step_points is set."""

    window: int
    step: int
    step_points: bool
    min_window: int
    horizon: int | None
    text: str  # the window as given, for messages


def spans(window: object, step: object, min_window: object, horizon: object) -> Spans:
    w = _span(window, "window")
    m = w if min_window is None else _span(min_window, "min_window") if _is_span(min_window) else None
    if m is None:
        raise ValueError(f"min_window must be a time span with a time window, got {min_window!r}")
    if m > w:
        raise ValueError(f"min_window ({min_window!r}) must not exceed window ({window!r})")
    if horizon is not None and not _is_span(horizon):
        raise ValueError(f"horizon must be a time span with a time window, got {horizon!r}")
    points = not _is_span(step)
    return Spans(w, count(step, "step") if points else _span(step, "step"), points, m,
                 None if horizon is None else _span(horizon, "horizon"), str(window))


def arguments(window: object, step: object, min_window: object, horizon: object) -> Counts | Spans:
    """Checked window arguments: a count window or a time window."""
    if isinstance(window, bool) or not (_is_span(window) or isinstance(window, (int, np.integer))):
        raise TypeError(f"window must be an int (a count of points) or a time span, got {type(window).__name__}")
    if _is_span(window):
        return spans(window, step, min_window, horizon)
    for name, value in (("step", step), ("min_window", min_window), ("horizon", horizon)):
        if _is_span(value):
            raise ValueError(f"{name} {value!r} is a time span, but window {window!r} is a count of points")
    return counts(window, step, min_window, horizon)


def _time_windows(times: Ints, offsets: Ints, s: Spans) -> tuple[Placement, Ints]:
    """The time windows of every series and their end times."""
    parts: list[tuple[Ints, Ints, Ints, Ints]] = []
    for i in range(len(offsets) - 1):
        t = times[offsets[i]:offsets[i + 1]]
        if len(t) == 0:
            continue
        if s.step_points:
            ends = t[np.arange(len(t) - 1, -1, -s.step)[::-1]]
            ends = ends[ends - t[0] >= s.min_window]
        else:
            reach = int(t[-1] - t[0]) - s.min_window
            ends = t[-1] - s.step * np.arange(reach // s.step if reach >= 0 else -1, -1, -1, dtype=np.int64)
        stop = np.searchsorted(t, ends, side="right").astype(np.int64)
        start = np.searchsorted(t, ends - s.window, side="right").astype(np.int64)
        keep = stop > start
        parts.append((np.full(int(keep.sum()), i, dtype=np.int64), start[keep], stop[keep], ends[keep]))
    if not parts:
        empty = np.empty(0, dtype=np.int64)
        return Placement(empty, empty, empty), empty
    series, start, stop, ends = (np.concatenate(p) for p in zip(*parts))
    return Placement(series, start, stop), ends


def _time_targets(values: npt.NDArray[np.float64], times: Ints, offsets: Ints, where: Placement, ends: Ints,
                  horizon: int) -> npt.NDArray[np.float64]:
    out: npt.NDArray[np.float64] = np.full(len(where), np.nan)
    for i in np.unique(where.series):
        rows = np.flatnonzero(where.series == i)
        t = times[offsets[i]:offsets[i + 1]]
        due = ends[rows] + horizon
        at = np.searchsorted(t, due, side="right") - 1
        inside = due <= t[-1]
        out[rows[inside]] = values[offsets[i] + at[inside]]
    return out


def _stamps(column: pd.Series) -> tuple[Ints, object]:
    """Datetimes as int64 nanoseconds (UTC for zoned ones) and their zone."""
    stamps = pd.DatetimeIndex(column).as_unit("ns")
    return stamps.asi8.copy(), stamps.tz


def _datetimes(nanoseconds: Ints, zone: object) -> pd.Index:
    ends = pd.DatetimeIndex(nanoseconds.view("M8[ns]"))
    return ends if zone is None else ends.tz_localize("UTC").tz_convert(zone)  # type: ignore[arg-type]


def _check_stamps(keys: npt.NDArray[np.intp], sort_values: npt.NDArray[np.generic],
                  missing: npt.NDArray[np.bool_], ids: pd.Index, column: Hashable) -> None:
    """Refuses NaN and repeated sort values within one series (keys: the
    series of each row, rows in order)."""
    if missing.any():
        key = keys[np.flatnonzero(missing)[0]]
        raise ValueError(f"column_sort {column!r} holds NaN time stamps for id {ids[key % len(ids)]!r}")
    same = (keys[1:] == keys[:-1]) & (sort_values[1:] == sort_values[:-1])
    if same.any():
        at = int(np.flatnonzero(same)[0])
        raise ValueError(f"column_sort {column!r} holds a time stamp twice for id {ids[keys[at] % len(ids)]!r}")


def _frame(matrix: Matrix, index: pd.MultiIndex, names: list[str], y: npt.NDArray[np.float64] | None,
           kind: Hashable | None) -> tuple[pd.DataFrame, pd.DataFrame | None]:
    prefix = "" if kind is None else f"{kind}__"
    frame = pd.DataFrame(matrix, index=index, columns=[prefix + n for n in names])
    target = None if y is None else pd.DataFrame({prefix + "target": y}, index=index)
    return frame, target


def _from_long(frame: pd.DataFrame, features: Features, a: Counts | Spans, column_id: Hashable,
               column_sort: Hashable | None, column_value: Hashable | None, column_kind: Hashable | None,
               n_jobs: int | None, progress: bool, strict: bool) -> tuple[pd.DataFrame, pd.DataFrame | None]:
    for name in (column_id, column_sort, column_value, column_kind):
        _column(frame, name)
    if isinstance(a, Spans) and column_sort is None:
        raise ValueError(f"window {a.text!r} is a time span: name a datetime column in column_sort")
    if isinstance(a, Spans) and not pd.api.types.is_datetime64_any_dtype(frame[column_sort]):
        raise ValueError(f"window {a.text!r} is a time span, but column_sort {column_sort!r} does not hold"
                         f" datetimes ({frame[column_sort].dtype})")
    id_codes, ids = _codes(frame[column_id], "ids", column_id, sort=False)
    used = {column_id, column_sort, column_kind}
    value_columns = [column_value] if column_value is not None else [c for c in frame.columns if c not in used]
    if not value_columns:
        raise ValueError("the data frame has no value column besides the id, sort and kind columns")
    if column_kind is not None and len(value_columns) != 1:
        raise ValueError(f"with column_kind, name the value column (column_value): candidates {value_columns}")

    # One series per (kind, id), ordered by kind, id and the sort column.
    if column_kind is not None:
        kind_codes, kind_index = _codes(frame[column_kind], "kinds", column_kind, sort=True)
        kinds: list[Hashable] | None = list(kind_index)
        row_keys = kind_codes * len(ids) + id_codes
        row_values = [_numbers(frame[value_columns[0]], value_columns[0])]
    else:
        kinds = list(value_columns) if column_value is None else None
        row_keys = id_codes.astype(np.intp)
        row_values = [_numbers(frame[c], c) for c in value_columns]
    sort_key: npt.NDArray[np.generic] | None = None
    zone: object = None
    dated = column_sort is not None and pd.api.types.is_datetime64_any_dtype(frame[column_sort])
    if column_sort is not None:
        sort_key, zone = _stamps(frame[column_sort]) if dated else (frame[column_sort].to_numpy(), None)
    order = np.lexsort([row_keys] if sort_key is None else [sort_key, row_keys])
    sorted_keys = row_keys[order]
    if column_sort is not None:
        assert sort_key is not None
        _check_stamps(sorted_keys, sort_key[order], frame[column_sort].isna().to_numpy()[order], ids, column_sort)
    kind_count = len(kinds) if kinds is not None else 1
    blocks = kind_count if column_kind is None else 1  # value columns repeat the same rows
    keys = np.concatenate([sorted_keys + k * len(ids) for k in range(blocks)])
    values = np.ascontiguousarray(np.concatenate([v[order] for v in row_values]))
    lengths = np.bincount(keys, minlength=kind_count * len(ids)).astype(np.int64)
    offsets = np.zeros(len(lengths) + 1, dtype=np.int64)
    np.cumsum(lengths, out=offsets[1:])
    sort_sorted = None if sort_key is None else np.tile(sort_key[order], blocks)
    batch = Batch(values, offsets)

    if isinstance(a, Spans):
        assert sort_sorted is not None
        times = sort_sorted.astype(np.int64)
        where, end_times = _time_windows(times, offsets, a)
        if strict and len(where) == 0 and len(values):
            longest = max(int(times[offsets[i + 1] - 1] - times[offsets[i]]) for i in range(len(lengths)) if lengths[i])
            raise ValueError(f"window {a.text!r} is longer than every series (the longest spans"
                             f" {pd.Timedelta(longest)})")
        ends = _datetimes(end_times, zone)
        y = None if a.horizon is None else _time_targets(values, times, offsets, where, end_times, a.horizon)
    else:
        where = count_windows(lengths, a)
        if strict and len(where) == 0 and len(values):
            raise longer_than_every(a, lengths)
        last = offsets[where.series] + where.stop - 1
        if sort_sorted is None:
            ends = pd.Index(where.stop - 1)
        else:
            ends = _datetimes(sort_sorted[last].astype(np.int64), zone) if dated else pd.Index(sort_sorted[last])
        y = None if a.horizon is None else count_targets(batch, where, a.horizon)[:, 0]
    matrix, names, _ = run(batch, features, n_jobs, progress, bounds=bounds(batch, where))
    id_code = where.series % max(len(ids), 1)
    kind_code = where.series // max(len(ids), 1)
    level_names = [column_id, "end"]
    if kinds is None:
        index = pd.MultiIndex.from_arrays([ids[id_code], ends], names=level_names)
        return _frame(matrix, index, names, y, None)
    parts = []
    for k, kind in enumerate(kinds):
        mine = kind_code == k
        index = pd.MultiIndex.from_arrays([ids[id_code[mine]], ends[mine]], names=level_names)
        parts.append(_frame(matrix[mine], index, names, None if y is None else y[mine], kind))
    first = parts[0][0].index
    if all(p[0].index.equals(first) for p in parts):  # the kinds share their windows: no join
        X = pd.concat([p[0] for p in parts], axis=1)
        Y = None if y is None else pd.concat([p[1] for p in parts], axis=1)
    else:
        X = pd.concat([p[0] for p in parts], axis=1, join="outer", sort=True)
        Y = None if y is None else pd.concat([p[1] for p in parts], axis=1, join="outer", sort=True)
    return X, Y


def rolled(data: object, features: Features, window: object, step: object, min_window: object, horizon: object,
           column_id: Hashable | None, column_sort: Hashable | None, column_value: Hashable | None,
           column_kind: Hashable | None, n_jobs: int | None, progress: bool,
           strict: bool = True) -> tuple[pd.DataFrame, pd.DataFrame | None]:
    """roll's features and targets (one column per kind). Not strict: no
    windows at all is no error."""
    a = arguments(window, step, min_window, horizon)
    if isinstance(data, pd.DataFrame) and column_id is not None:
        return _from_long(data, features, a, column_id, column_sort, column_value, column_kind, n_jobs, progress,
                          strict)
    if isinstance(data, pd.DataFrame):
        for option, value in (("column_sort", column_sort), ("column_value", column_value),
                              ("column_kind", column_kind)):
            if value is not None:
                raise ValueError(f"{option} applies to long data frames: name the id column (column_id) too")
    elif any(c is not None for c in (column_id, column_sort, column_value, column_kind)):
        raise ValueError("column_id, column_sort, column_value and column_kind apply to pandas data frames")
    if isinstance(a, Spans):
        raise ValueError(f"window {a.text!r} is a time span: time windows need a long data frame whose"
                         " column_sort holds datetimes")
    arrays = _numbers_frame(data) if isinstance(data, pd.DataFrame) else data
    if isinstance(data, pd.Series):  # one series
        arrays = _numbers(data, data.name)
    matrix, names, rows, y = roll_arrays(arrays, features, a, n_jobs, progress, strict)
    if isinstance(data, pd.DataFrame):
        ids: pd.Index | Ints = data.index[rows[:, 0]]
        level = data.index.name if data.index.name is not None else "id"
    else:
        ids, level = rows[:, 0], "id"
    index = pd.MultiIndex.from_arrays([ids, rows[:, 1]], names=[level, "end"])
    frame = pd.DataFrame(matrix, index=index, columns=names)
    if y is None:
        return frame, None
    columns = ["target"] if y.ndim == 1 else [f"{channel}__target" for channel in range(y.shape[1])]
    return frame, pd.DataFrame(y.reshape(len(y), -1), index=index, columns=columns)


@overload
def roll(data: object, features: Features, window: Size, step: Size = 1, *, min_window: Size | None = None,
         horizon: None = None, column_id: Hashable | None = None, column_sort: Hashable | None = None,
         column_value: Hashable | None = None, column_kind: Hashable | None = None, n_jobs: int | None = None,
         progress: bool = False) -> pd.DataFrame: ...


@overload
def roll(data: object, features: Features, window: Size, step: Size = 1, *, min_window: Size | None = None,
         horizon: Size, column_id: Hashable | None = None, column_sort: Hashable | None = None,
         column_value: Hashable | None = None, column_kind: Hashable | None = None, n_jobs: int | None = None,
         progress: bool = False) -> tuple[pd.DataFrame, pd.Series | pd.DataFrame]: ...


def roll(data: object, features: Features, window: Size, step: Size = 1, *, min_window: Size | None = None,
         horizon: Size | None = None, column_id: Hashable | None = None, column_sort: Hashable | None = None,
         column_value: Hashable | None = None, column_kind: Hashable | None = None, n_jobs: int | None = None,
         progress: bool = False) -> Rolled:
    """Features of every window of every series as a DataFrame indexed by
    (id, end).

    ``data`` is what ``extract`` takes (arrays, sequences of series, long or
    wide DataFrames), or one series (1-D array or pandas Series, ends by
    position); ``features`` as for ``extract``.

    - ``window`` points, or a time span ("7D", a ``pandas.Timedelta``) when
      ``column_sort`` holds datetimes: a time window ending at t holds the
      points in (t - span, t].
    - Windows end at the last point of each series and every ``step`` (points,
      or a span for time windows) before it.
    - ``min_window`` (default ``window``) lets shorter windows in at the start
      of each series; ``min_window=1`` with ``step=1`` gives every prefix up
      to ``window`` points long.
    - end is the sort value of the window's last point (its position without
      ``column_sort``), or the end time t of a time window.
    - Columns are those of ``extract``, kinds and channels prefixed
      "<kind>__"; an (id, end) some kind has no window for is NaN there.
    - ``horizon=h`` returns ``(X, y)``: y is the value h points (or h of time)
      after each window's end, NaN past the end of the series; a Series named
      "target", or one "<kind>__target" column per kind.

    Every row equals ``extract`` on that window's values bit for bit; windows
    are read in place, never copied.
    """
    frame, y = rolled(data, features, window, step, min_window, horizon, column_id, column_sort, column_value,
                      column_kind, n_jobs, progress)
    if y is None:
        return frame
    return frame, y["target"] if list(y.columns) == ["target"] else y
