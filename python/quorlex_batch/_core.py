"""Feature requests, input conversion and the call into the native engine.

Every front end ends here: the data become one flat float64 array with int64
row offsets (a view, not a copy, when the input is already a C-contiguous
float64 array), and one call of the engine returns the float64 matrix it
filled with the interpreter lock released, with its column names.
"""

from __future__ import annotations

import importlib
import sys
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from typing import Literal, Union, overload

import numpy as np
import numpy.typing as npt

from . import _engine

Option = Union[bool, int, None]
Matrix = npt.NDArray[np.float64]
Flags = npt.NDArray[np.bool_]


class FeatureSet:
    """A named feature set with options, e.g. ``FeatureSet("tsfeatures", freq=12)``.

    Sets: "catch22", "catch24", "catchamouse16", "tsfeatures", "hctsa", "combined",
    "catch22-v1", "catch24-v1" (see ``sets()``). Options are those of the per-series
    quorlex function the set mirrors (normalize, freq, lags, demean, catch24,
    catchamouse16, hctsa); an option left out takes that function's default, and
    ``freq=None`` asks for an absent frequency as it does there. The v1 sets take
    ``mask`` (default True: a feature that cannot be estimated takes pycatch22
    1.0's fixed value; False: NaN) and ``short_names``.
    """

    __slots__ = ("name", "options")

    def __init__(self, name: str, **options: Option) -> None:
        self.name = name
        self.options: dict[str, Option] = dict(options)
        _engine.names(name, self.options)  # refuses unknown sets and options now

    def __eq__(self, other: object) -> bool:
        return isinstance(other, FeatureSet) and (self.name, self.options) == (other.name, other.options)

    def __hash__(self) -> int:
        return hash((self.name, tuple(sorted(self.options.items()))))

    def __repr__(self) -> str:
        options = "".join(f", {key}={value!r}" for key, value in self.options.items())
        return f"FeatureSet({self.name!r}{options})"


Features = Union[str, FeatureSet, Sequence[str]]


def optional_import(module: str, extra: str) -> object:
    """Imports an optional dependency, or says which extra of quorlex installs it."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(f"this part of quorlex_batch needs {(error.name or module).split('.')[0]}:"
                          f" pip install 'quorlex[{extra}]'", name=error.name) from error


def _request(features: Features) -> tuple[str | list[str], dict[str, Option] | None]:
    if isinstance(features, FeatureSet):
        return features.name, features.options
    if isinstance(features, str):
        return features, None
    return list(features), None


def sets() -> list[str]:
    """The names of the feature sets."""
    return _engine.sets()


def _distinct(names: list[str]) -> list[int] | None:
    """The positions of the columns a table keeps (None: all). A name the run
    gives more than once (a feature asked for twice, "seas_pacf" of a seasonal
    tsfeatures run) is one column where the name first appears, holding the
    later value, as in quorlex's cumulative tables."""
    last: dict[str, int] = {}
    for i, column in enumerate(names):
        last[column] = i  # a dict keeps the position of the first insertion
    return None if len(last) == len(names) else list(last.values())


def feature_names(features: Features = "catch24") -> list[str]:
    """The output names of a set or of a list of single features, in column
    order, each once."""
    name, options = _request(features)
    names: list[str] = _engine.names(name, options)
    keep = _distinct(names)
    return names if keep is None else [names[i] for i in keep]


@dataclass
class Batch:
    """Series i is values[offsets[i]:offsets[i + 1]]; a 3-D request lays out
    its cases channel by channel (row = case * channels + channel)."""

    values: npt.NDArray[np.float64]
    offsets: npt.NDArray[np.int64]
    channels: int | None = None  # set for a 3-D request

    @property
    def count(self) -> int:
        return len(self.offsets) - 1


def _regular(array: npt.NDArray[np.float64]) -> Batch:
    """A C-contiguous 2-D or 3-D float64 array as a batch of equal-length rows."""
    length = array.shape[-1]
    rows = int(np.prod(array.shape[:-1]))
    offsets = np.arange(0, rows * length + 1, max(length, 1), dtype=np.int64)
    if length == 0:
        offsets = np.zeros(rows + 1, dtype=np.int64)
    return Batch(array.reshape(-1), offsets, array.shape[1] if array.ndim == 3 else None)


def _ragged(series: Sequence[npt.NDArray[np.float64]], channels: int | None = None) -> Batch:
    lengths = np.fromiter((len(s) for s in series), dtype=np.int64, count=len(series))
    offsets = np.zeros(len(series) + 1, dtype=np.int64)
    np.cumsum(lengths, out=offsets[1:])
    values = np.concatenate(series) if series else np.empty(0)
    return Batch(np.ascontiguousarray(values, dtype=np.float64), offsets, channels)


def _series_array(item: object, where: str) -> npt.NDArray[np.float64]:
    try:
        return np.asarray(item, dtype=np.float64)
    except ValueError as error:
        if "inhomogeneous" in str(error):
            raise ValueError(f"{where} is a 2-D request with mixed lengths: every channel of a case needs the"
                             " same length") from None
        raise ValueError(f"{where} holds values that are not numbers: {error}") from None
    except TypeError as error:
        raise TypeError(f"{where} is not a sequence of numbers: {error}") from None


def to_batch(data: object) -> Batch:
    """Converts a 2-D array (one series per row), a 3-D array (cases x channels
    x length), or a sequence of 1-D series (lengths may differ) or of 2-D
    channel blocks."""
    if isinstance(data, np.ndarray) and data.dtype != object:
        if data.ndim not in (2, 3):
            raise ValueError(f"expected a 2-D array (one series per row) or a 3-D array (cases x channels x length),"
                             f" got {data.ndim} dimension{'s' if data.ndim != 1 else ''}")
        return _regular(np.ascontiguousarray(data, dtype=np.float64))
    if isinstance(data, (str, bytes)) or not isinstance(data, (Sequence, np.ndarray)):
        raise TypeError(f"expected an array or a sequence of series, got {type(data).__name__}")
    items = [_series_array(item, f"item {i}") for i, item in enumerate(data)]
    dims = {item.ndim for item in items}
    if dims <= {1}:
        return _ragged(items)
    if dims == {2}:
        channels = {item.shape[0] for item in items}
        if len(channels) != 1:
            raise ValueError(f"every case needs the same number of channels, got {sorted(channels)}")
        return _ragged([channel for item in items for channel in item], channels.pop())
    if 0 in dims:
        raise ValueError("expected a sequence of series, got numbers: pass [y] for a single series")
    raise ValueError(f"items must all be 1-D series or all 2-D channel blocks, got dimensions {sorted(dims)}")


def _threads(n_jobs: int | None) -> int:
    if n_jobs is None or n_jobs == -1:
        return 0
    if isinstance(n_jobs, bool) or not isinstance(n_jobs, (int, np.integer)):
        raise TypeError(f"n_jobs must be an int or None, got {type(n_jobs).__name__}")
    if n_jobs < 1:
        raise ValueError(f"n_jobs must be positive, -1 or None, got {n_jobs}")
    return int(n_jobs)


def run(batch: Batch, features: Features, n_jobs: int | None = None, progress: bool = False, *,
        bounds: npt.NDArray[np.int64] | None = None,
        return_masked: bool = False) -> tuple[Matrix, list[str], Flags | None]:
    """The (series x features) matrix of a batch, row i for series i, with its
    column names (each once); or with ``bounds``, (n, 2) int64 (start, end)
    positions in batch.values, row i for the window values[start:end] read in
    place. With return_masked (series only), also the masked flags of every
    value; else None there."""
    name, options = _request(features)
    threads = _threads(n_jobs)
    report: Callable[[int], object] | None = None
    bar = None
    if progress:
        tqdm = getattr(optional_import("tqdm.auto", "progress"), "tqdm")
        rows = batch.count if bounds is None else len(bounds)
        bar = tqdm(total=rows, unit="series" if bounds is None else "windows", file=sys.stderr)
        report = bar.update
    flags: bytearray | None = None
    try:
        if bounds is not None:
            values, names = _engine.run_windows(name, options, batch.values, bounds, threads, report)
        elif return_masked:
            values, names, flags = _engine.run(name, options, batch.values, batch.offsets, threads, report, True)
        else:
            values, names = _engine.run(name, options, batch.values, batch.offsets, threads, report)
    finally:
        if bar is not None:
            bar.close()
    # The engine's bytearrays viewed as matrices, not copied.
    shape = (batch.count if bounds is None else len(bounds), len(names))
    out: Matrix = np.frombuffer(values, dtype=np.float64).reshape(shape)
    masked: Flags | None = None if flags is None else np.frombuffer(flags, dtype=np.bool_).reshape(shape)
    keep = _distinct(names)
    if keep is None:
        return out, names, masked
    return out[:, keep], [names[i] for i in keep], None if masked is None else masked[:, keep]


@overload
def extract_array(data: object, features: Features = ..., *, n_jobs: int | None = ..., progress: bool = ...,
                  return_masked: Literal[False] = ...) -> tuple[Matrix, list[str]]: ...


@overload
def extract_array(data: object, features: Features = ..., *, n_jobs: int | None = ..., progress: bool = ...,
                  return_masked: Literal[True]) -> tuple[Matrix, list[str], Flags]: ...


def extract_array(data: object, features: Features = "catch24", *, n_jobs: int | None = None,
                  progress: bool = False,
                  return_masked: bool = False) -> tuple[Matrix, list[str]] | tuple[Matrix, list[str], Flags]:
    """Features of every series as a float64 matrix (one row per series, or per
    case of a 3-D input) and the column names. Values equal the per-series
    quorlex functions bit for bit on every thread count. With return_masked,
    also a boolean matrix of the same shape saying which values were masked
    (only the v1 sets mask)."""
    batch = to_batch(data)
    matrix, names, flags = run(batch, features, n_jobs, progress, return_masked=return_masked)
    if batch.channels is not None:
        cases = batch.count // batch.channels if batch.channels else 0
        matrix = matrix.reshape(cases, batch.channels * len(names))
        flags = None if flags is None else flags.reshape(matrix.shape)
        names = [f"{channel}__{name}" for channel in range(batch.channels) for name in names]
    return (matrix, names) if flags is None else (matrix, names, flags)

