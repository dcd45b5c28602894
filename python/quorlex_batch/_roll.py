"""Rolling windows without pandas: where the windows of each series lie, and
their features from one engine run.

Windows end at the last point of each series and step backwards from it, so
the most recent window is always among them. A window is a (start, end) pair
of positions in the values converted once; the engine reads it in place, so
memory is the input plus the output however much the windows overlap, and
every row equals the features of that window's values as ``extract`` computes
them, bit for bit.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass
from typing import overload

import numpy as np
import numpy.typing as npt

from ._core import Batch, Features, Matrix, run, to_batch

Ints = npt.NDArray[np.int64]


@dataclass
class Placement:
    """Window i holds positions start[i] .. stop[i] - 1 of series series[i];
    ordered by series, then by end."""

    series: Ints
    start: Ints
    stop: Ints

    def __len__(self) -> int:
        return len(self.series)

    def take(self, keep: npt.NDArray[np.bool_]) -> Placement:
        return Placement(self.series[keep], self.start[keep], self.stop[keep])


def count(value: object, name: str) -> int:
    """A positive count of points."""
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{name} must be an int (a count of points), got {type(value).__name__}")
    if value < 1:
        raise ValueError(f"{name} must be at least 1, got {value}")
    return int(value)


@dataclass(frozen=True)
class Counts:
    """Checked count arguments: window, step, min_window and horizon in points."""

    window: int
    step: int
    min_window: int
    horizon: int | None


def counts(window: object, step: object, min_window: object, horizon: object) -> Counts:
    if isinstance(window, str) or isinstance(step, str):
        span = window if isinstance(window, str) else step
        raise ValueError(f"{'window' if span is window else 'step'} {span!r} is a time span: time windows need a"
                         " data frame whose column_sort holds datetimes")
    w = count(window, "window")
    m = w if min_window is None else count(min_window, "min_window")
    if m > w:
        raise ValueError(f"min_window ({m}) must not exceed window ({w})")
    return Counts(w, count(step, "step"), m, None if horizon is None else count(horizon, "horizon"))


def count_windows(lengths: Ints, c: Counts) -> Placement:
    """The windows of series of the given lengths: ends at the last point and
    every step before it, as long as the window holds min_window points."""
    per = np.where(lengths >= c.min_window, (lengths - c.min_window) // c.step + 1, 0).astype(np.int64)
    series = np.repeat(np.arange(len(lengths), dtype=np.int64), per)
    first = np.cumsum(per) - per
    back = np.repeat(first + per - 1, per) - np.arange(len(series), dtype=np.int64)  # steps from the last window
    stop = lengths[series] - back * c.step
    return Placement(series, np.maximum(stop - c.window, 0), stop)


def longer_than_every(c: Counts, lengths: Ints) -> ValueError:
    name, size = ("window", c.window) if c.min_window == c.window else ("min_window", c.min_window)
    return ValueError(f"{name} ({size}) is longer than every series (the longest has {int(lengths.max())} points)")


def bounds(batch: Batch, where: Placement, channels: int = 1) -> Ints:
    """(start, end) positions in batch.values of every window of every channel,
    the channels of one window next to each other."""
    first = batch.offsets[:-1][where.series[:, None] * channels + np.arange(channels)]
    return np.stack([first + where.start[:, None], first + where.stop[:, None]], axis=-1).reshape(-1, 2)


def targets(batch: Batch, where: Placement, horizon: int, channels: int = 1) -> Matrix:
    """The value `horizon` points after each window's last point, per channel;
    NaN past the end of the series."""
    rows = where.series[:, None] * channels + np.arange(channels)
    position = np.broadcast_to(where.stop[:, None] - 1 + horizon, rows.shape)
    inside = position < batch.offsets[rows + 1] - batch.offsets[rows]
    out: Matrix = np.full(position.shape, np.nan)
    out[inside] = batch.values[(batch.offsets[rows] + position)[inside]]
    return out


def _one_series(data: object) -> bool:
    if isinstance(data, np.ndarray):
        return data.ndim == 1 and data.dtype != object
    return (isinstance(data, Sequence) and not isinstance(data, (str, bytes)) and len(data) > 0
            and all(isinstance(x, (int, float, np.number)) for x in data))


def roll_arrays(data: object, features: Features, c: Counts, n_jobs: int | None, progress: bool,
                strict: bool = True) -> tuple[Matrix, list[str], Ints, Matrix | None]:
    """roll_array's parts; y is a vector, or (rows x channels) for channels,
    when horizon is set. Not strict: no windows at all is no error."""
    batch = to_batch([np.asarray(data, dtype=np.float64)] if _one_series(data) else data)
    channels = batch.channels or 1
    lengths = np.diff(batch.offsets)[::channels] if batch.channels else np.diff(batch.offsets)
    where = count_windows(lengths, c)
    if strict and len(where) == 0 and len(lengths) > 0:
        raise longer_than_every(c, lengths)
    matrix, names, _ = run(batch, features, n_jobs, progress, bounds=bounds(batch, where, channels))
    rows = np.stack([where.series, where.stop - 1], axis=1)
    y = None if c.horizon is None else targets(batch, where, c.horizon, channels)
    if batch.channels is None:
        return matrix, names, rows, None if y is None else y[:, 0]
    return (matrix.reshape(len(where), channels * len(names)),
            [f"{channel}__{name}" for channel in range(channels) for name in names], rows, y)


@overload
def roll_array(data: object, features: Features, window: int, step: int = 1, *, min_window: int | None = None,
               horizon: None = None, n_jobs: int | None = None,
               progress: bool = False) -> tuple[Matrix, list[str], Ints]: ...


@overload
def roll_array(data: object, features: Features, window: int, step: int = 1, *, min_window: int | None = None,
               horizon: int, n_jobs: int | None = None,
               progress: bool = False) -> tuple[Matrix, list[str], Ints, Matrix]: ...


def roll_array(data: object, features: Features, window: int, step: int = 1, *, min_window: int | None = None,
               horizon: int | None = None, n_jobs: int | None = None,
               progress: bool = False) -> tuple[Matrix, list[str], Ints] | tuple[Matrix, list[str], Ints, Matrix]:
    """Features of every window of every series, without pandas.

    ``data`` is what ``extract_array`` takes, or one 1-D series. Windows hold
    ``window`` points and end at the last point of each series and every
    ``step`` points before it; ``min_window`` (default ``window``) lets shorter
    windows in at the start of a series. Returns the matrix (one row per
    window; per case of a 3-D input, channel columns prefixed "<channel>__"),
    the column names and an (n, 2) int64 array of the (series, end position) of
    each row, where end is the position of the window's last point. With
    ``horizon=h`` also the value h points after each window's end (NaN past the
    end of the series): a vector, or one column per channel of a 3-D input.
    Each row equals ``extract_array`` on that window's values bit for bit.
    """
    c = counts(window, step, min_window, horizon)
    matrix, names, rows, y = roll_arrays(data, features, c, n_jobs, progress)
    if y is None:
        return matrix, names, rows
    return matrix, names, rows, y
