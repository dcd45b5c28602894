"""Chunked readers for the command line: CSV or Parquet, long or wide.

Each reader yields chunks that hold whole series only, so that memory follows
the chunk size rather than the file size. Long files must keep the rows of one
id together (as any export grouped by id does): the rows of the last id of a
chunk are carried into the next one, and an id that turns up again after other
ids is refused rather than silently split into two series.
"""

from __future__ import annotations

import csv
import os
from collections.abc import Callable, Iterator
from dataclasses import dataclass, field
from typing import IO, Any

import numpy as np
import numpy.typing as npt
import pandas as pd


class InputError(Exception):
    """Bad input or arguments: reported as one line, exit status 2."""


@dataclass
class Layout:
    """Which columns mean what. ``value`` None in long format: every column that
    is not the id, sort, kind or label column is a value column of its own."""

    long: bool
    id: str | None = None
    sort: str | None = None
    value: str | None = None
    kind: str | None = None
    label: str | None = None
    header: bool | None = None  # wide CSV: whether line 1 names the columns (None: told from the line)

    def roles(self) -> list[str]:
        return [c for c in (self.id, self.sort, self.value, self.kind, self.label) if c is not None]


@dataclass
class Chunk:
    """Whole series. Long: ``frame`` is the rows of some ids. Wide: ``ids`` and
    ``series`` run in parallel, one series per row of the file."""

    frame: pd.DataFrame | None = None
    ids: list[Any] = field(default_factory=list)
    series: list[npt.NDArray[np.float64]] = field(default_factory=list)
    labels: list[Any] | None = None
    done: float = 0.0  # fraction of the input consumed after this chunk

    def count(self, layout: Layout) -> int:
        """The number of series (output rows) in the chunk."""
        if self.frame is not None:
            return int(self.frame[layout.id].nunique())
        return len(self.ids)


def file_format(path: str, what: str) -> str:
    lower = path.lower()
    if lower.endswith(".csv"):
        return "csv"
    if lower.endswith((".parquet", ".pq")):
        return "parquet"
    raise InputError(f"cannot tell the format of {what} {path} from its name: use .csv or .parquet")


# What pandas calls a first header cell left empty.
PANDAS_INDEX = "Unnamed: 0"


def _unreadable(path: str, error: BaseException) -> InputError:
    reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error).splitlines()[0]
    return InputError(f"cannot read {path}: {reason}")


def _check_columns(path: str, columns: list[str], layout: Layout) -> None:
    for name in layout.roles():
        if name not in columns:
            listed = ", ".join(columns)
            raise InputError(f"{path} has no column {name!r} (columns: {listed})")


def value_columns(columns: list[str], layout: Layout) -> list[str]:
    if layout.value is not None:
        return [layout.value]
    roles = set(layout.roles())
    # A first column without a name is the row index pandas writes (to_csv()), not values.
    index = {PANDAS_INDEX} if columns[:1] == [PANDAS_INDEX] else set()
    return [c for c in columns if c not in roles and c not in index]


def _first_text(path: str, frame: pd.DataFrame, columns: list[str], first_line: int) -> None:
    """Refuses a value column holding text, naming the first offending cell."""
    for name in columns:
        column = frame[name]
        if pd.api.types.is_numeric_dtype(column) or pd.api.types.is_bool_dtype(column):
            continue
        numbers = pd.to_numeric(column, errors="coerce")
        bad = np.flatnonzero((numbers.isna() & column.notna()).to_numpy())
        if len(bad):
            cell = column.iloc[bad[0]]
            raise InputError(f"{path}, line {first_line + int(bad[0])}: column {name!r} holds {str(cell)!r},"
                             " which is not a number")


class _Grouper:
    """Cuts a stream of long frames into chunks of whole ids."""

    def __init__(self, path: str, column_id: str) -> None:
        self.path = path
        self.column_id = column_id
        self.carry: pd.DataFrame | None = None
        self.seen: set[Any] = set()

    def feed(self, frame: pd.DataFrame, first_line: int) -> pd.DataFrame | None:
        missing = frame[self.column_id].isna().to_numpy()
        if missing.any():
            line = first_line + int(np.flatnonzero(missing)[0])
            raise InputError(f"{self.path}, line {line}: the id column {self.column_id!r} is empty")
        if self.carry is not None:
            frame = pd.concat([self.carry, frame], ignore_index=True)
        if len(frame) == 0:
            return None
        values = frame[self.column_id].to_numpy()
        last = values[-1]
        others = np.flatnonzero(values != last)
        tail = int(others[-1]) + 1 if len(others) else 0
        self.carry = frame.iloc[tail:]
        return self._emit(frame.iloc[:tail])

    def finish(self) -> pd.DataFrame | None:
        rest, self.carry = self.carry, None
        return None if rest is None or len(rest) == 0 else self._emit(rest)

    def _emit(self, frame: pd.DataFrame) -> pd.DataFrame | None:
        if len(frame) == 0:
            return None
        values = frame[self.column_id].to_numpy()
        starts = np.flatnonzero(np.concatenate(([True], values[1:] != values[:-1])))
        ids = values[starts]  # one per run of equal ids
        again = [i for i in ids if i in self.seen]
        if not again and len(ids) != len(pd.unique(ids)):
            again = [ids[np.flatnonzero(pd.Series(ids).duplicated().to_numpy())[0]]]
        if again:
            # Refused however the file falls into chunks, so that a small sample and the whole file agree.
            raise InputError(f"{self.path}: the rows of id {again[0]!r} are not together: sort or group the file"
                             " by id (it is read in chunks of whole series)")
        self.seen.update(ids)
        return frame


def _long_chunks(path: str, frames: Iterator[tuple[pd.DataFrame, int, float]],
                 layout: Layout) -> Iterator[Chunk]:
    assert layout.id is not None
    grouper = _Grouper(path, layout.id)
    done = 0.0
    for frame, first_line, done in frames:
        ready = grouper.feed(frame, first_line)
        if ready is not None:
            yield Chunk(frame=ready, done=done)
    rest = grouper.finish()
    if rest is not None:
        yield Chunk(frame=rest, done=1.0)


class _Counting:
    """A binary file read line by line, decoded, counting the bytes consumed."""

    def __init__(self, handle: IO[bytes]) -> None:
        self.handle = handle
        self.consumed = 0

    def __iter__(self) -> Iterator[str]:
        encoding = "utf-8-sig"  # a byte order mark before the first line is no part of it
        for raw in self.handle:
            self.consumed += len(raw)
            yield raw.decode(encoding)
            encoding = "utf-8"


def _csv_header(path: str) -> list[str]:
    try:
        return list(pd.read_csv(path, nrows=0).columns)
    except pd.errors.EmptyDataError:
        raise InputError(f"{path} is empty") from None
    except (OSError, UnicodeDecodeError, pd.errors.ParserError) as error:
        raise _unreadable(path, error) from None


def _csv_long(path: str, layout: Layout, rows: int) -> Iterator[Chunk]:
    columns = _csv_header(path)
    _check_columns(path, columns, layout)
    values = value_columns(columns, layout)
    if not values:
        raise InputError(f"{path} has no value column besides the id, sort, kind and label columns")
    text = {c: str for c in (layout.id, layout.kind, layout.label) if c is not None}
    wanted = layout.roles() + [c for c in values if c not in layout.roles()]
    size = max(os.path.getsize(path), 1)

    def frames() -> Iterator[tuple[pd.DataFrame, int, float]]:
        with open(path, "rb") as handle:
            # pandas parses each value to the nearest double, as float() does.
            reader = pd.read_csv(handle, chunksize=rows, usecols=wanted, dtype=text)
            line = 2
            try:
                for frame in reader:
                    _first_text(path, frame, values, line)
                    yield frame, line, min(handle.tell() / size, 1.0)
                    line += len(frame)
            except (UnicodeDecodeError, pd.errors.ParserError) as error:
                raise _unreadable(path, error) from None

    return _long_chunks(path, frames(), layout)


def _is_number(cell: str) -> bool:
    try:
        float(cell)
    except ValueError:
        return False
    return True


def _parse_row(path: str, line: int, cells: list[str], skip: set[int]) -> npt.NDArray[np.float64]:
    values = [c for i, c in enumerate(cells) if i not in skip] if skip else cells
    try:
        return np.array([c if c.strip() else "nan" for c in values], dtype=np.float64)
    except ValueError:
        bad = next(i for i, c in enumerate(cells) if i not in skip and c.strip() and not _is_number(c))
        raise InputError(f"{path}, line {line}: column {bad + 1} holds {cells[bad]!r}, which is not a number") from None


def _label_run(cells: list[str]) -> bool:
    """Whether the cells are "0", "1", "2", ...: the column labels pandas writes
    for a frame built from an array or pivoted over a 0-based step."""
    return bool(cells) and cells == [str(i) for i in range(len(cells))]


def _names_then_labels(cells: list[str]) -> int:
    """The number of leading name cells (text or empty) when the rest is a
    pandas label run, as in "id,0,1,2" or ",0,1,2"; -1 otherwise."""
    names = next((i for i, c in enumerate(cells) if c and _is_number(c)), len(cells))
    rest = cells[names:]
    if _label_run(rest) and (names > 0 or len(rest) > 1):
        return names
    return -1


def _rising_integers(cells: list[str]) -> bool:
    try:
        numbers = [int(c) for c in cells]
    except ValueError:
        return False
    return len(numbers) > 1 and all(a < b for a, b in zip(numbers, numbers[1:]))


def _is_header(path: str, line: int, cells: list[str]) -> bool:
    """Tells a header line from a series, or stops when the line could be
    either. Headers: every cell past the first is a name, or names followed by
    pandas' labels 0, 1, 2, ... Series: numbers past the first cell. Anything
    else (numbers beside text past the first cell, or names followed by rising
    whole numbers such as time steps 1, 2, 3) is ambiguous."""
    if _names_then_labels(cells) >= 0:
        return True
    text = [i for i, c in enumerate(cells) if c and not _is_number(c)]
    if any(i > 0 for i in text) and all(i in text or not cells[i] for i in range(1, len(cells))):
        return True
    if text in ([], [0]) and not (text and _rising_integers([c for c in cells[1:] if c])):
        return False
    shown = ",".join(cells) if len(",".join(cells)) <= 60 else ",".join(cells)[:57] + "..."
    raise InputError(f"{path}: line {line} ({shown}) could name the columns or hold a series: pass --header or"
                     " --no-header")


def _csv_wide(path: str, layout: Layout, rows: int) -> Iterator[Chunk]:
    """One series per line; lines may differ in length and an empty cell is a
    missing value. Line 1 is a header as ``--header``/``--no-header`` say, else
    as ``_is_header`` tells. Ids: the --id column; else the first column when
    the header leaves it unnamed or names it before pandas' labels 0, 1, ...,
    or when its first cell is not a number; else the row number."""
    try:
        handle = open(path, "rb")
    except OSError as error:
        raise _unreadable(path, error) from None
    with handle:
        counting = _Counting(handle)
        size = max(os.path.getsize(path), 1)
        reader = csv.reader(counting)
        try:
            first = next((cells for cells in reader if cells), None)
        except (UnicodeDecodeError, csv.Error) as error:
            raise _unreadable(path, error) from None
        if first is None:
            raise InputError(f"{path} is empty")
        first_line = reader.line_num
        is_header = layout.header if layout.header is not None else _is_header(path, first_line,
                                                                                [c.strip() for c in first])
        header = [c.strip() for c in first] if is_header else None
        if header is None and (layout.id is not None or layout.label is not None):
            raise InputError(f"{path} has no header line, so --id and --label cannot name a column"
                             " (pass --header if line 1 names the columns)")
        if header is not None:
            _check_columns(path, header, layout)
        id_at = header.index(layout.id) if header is not None and layout.id is not None else None
        label_at = header.index(layout.label) if header is not None and layout.label is not None else None
        if header is not None and id_at is None and (header[0] == "" or _names_then_labels(header) > 0):
            id_at = 0  # the index column pandas writes
        pending: list[tuple[int, list[str]]] = [] if header is not None else [(first_line, first)]
        skip = {i for i in (id_at, label_at) if i is not None}
        row_number = 0
        chunk = Chunk(labels=[] if label_at is not None else None)
        lines: dict[Any, int] = {}  # id -> its line, so that a long file read as wide is refused

        def take(line: int, cells: list[str]) -> None:
            nonlocal row_number, id_at
            if not cells:
                return
            if row_number == 0 and layout.id is None and id_at is None and cells[0].strip() \
                    and not _is_number(cells[0]):
                id_at = 0  # the first column holds names
                skip.add(0)
            if skip and max(skip) >= len(cells):
                raise InputError(f"{path}, line {line}: the row ends before column {max(skip) + 1}")
            name = cells[id_at] if id_at is not None else row_number
            if name in lines:
                raise InputError(f"{path}, line {line}: id {name!r} is also on line {lines[name]}; a file with"
                                 " one value per line is long: pass --format long with --sort or --value")
            lines[name] = line
            chunk.ids.append(name)
            if chunk.labels is not None and label_at is not None:
                chunk.labels.append(cells[label_at])
            chunk.series.append(_parse_row(path, line, cells, skip))
            row_number += 1

        for number, cells in pending:
            take(number, cells)
        try:
            for cells in reader:
                take(reader.line_num, cells)
                if len(chunk.series) >= rows:
                    chunk.done = min(counting.consumed / size, 1.0)
                    yield chunk
                    chunk = Chunk(labels=[] if label_at is not None else None)
        except (UnicodeDecodeError, csv.Error) as error:
            raise _unreadable(path, error) from None
        chunk.done = 1.0
        if chunk.series:
            yield chunk


def _parquet_file(path: str) -> Any:
    import pyarrow.parquet as pq  # type: ignore[import-untyped,unused-ignore]

    try:
        return pq.ParquetFile(path)
    except Exception as error:  # pyarrow raises several types for files that are not Parquet
        raise _unreadable(path, error) from None


def _parquet_batches(path: str, parquet: Any, columns: list[str], rows: int,
                     check: Callable[[pd.DataFrame, int], None]) -> Iterator[tuple[pd.DataFrame, int, float]]:
    total = max(parquet.metadata.num_rows, 1)
    read = 0
    try:
        for batch in parquet.iter_batches(batch_size=rows, columns=columns):
            frame = batch.to_pandas()
            check(frame, read + 1)
            read += len(frame)
            yield frame, read - len(frame) + 1, min(read / total, 1.0)
    except OSError as error:
        raise _unreadable(path, error) from None


def _parquet_numeric(path: str, parquet: Any, values: list[str]) -> None:
    import pyarrow as pa  # type: ignore[import-untyped,unused-ignore]

    schema = parquet.schema_arrow
    for name in values:
        kind = schema.field(name).type
        if not (pa.types.is_integer(kind) or pa.types.is_floating(kind) or pa.types.is_boolean(kind)
                or pa.types.is_decimal(kind) or pa.types.is_null(kind)):
            raise InputError(f"{path}: column {name!r} holds {kind} values, not numbers")


def _parquet_long(path: str, layout: Layout, rows: int) -> Iterator[Chunk]:
    parquet = _parquet_file(path)
    columns = list(parquet.schema_arrow.names)
    _check_columns(path, columns, layout)
    values = value_columns(columns, layout)
    if not values:
        raise InputError(f"{path} has no value column besides the id, sort, kind and label columns")
    _parquet_numeric(path, parquet, values)
    wanted = layout.roles() + [c for c in values if c not in layout.roles()]
    return _long_chunks(path, _parquet_batches(path, parquet, wanted, rows, lambda frame, row: None), layout)


def _parquet_wide(path: str, layout: Layout, rows: int) -> Iterator[Chunk]:
    parquet = _parquet_file(path)
    columns = list(parquet.schema_arrow.names)
    _check_columns(path, columns, layout)
    values = value_columns(columns, layout)
    _parquet_numeric(path, parquet, values)
    for frame, first_row, done in _parquet_batches(path, parquet, columns, rows, lambda frame, row: None):
        matrix = frame[values].to_numpy(dtype=np.float64, na_value=np.nan)
        ids = list(frame[layout.id]) if layout.id is not None else list(range(first_row - 1, first_row - 1 + len(frame)))
        labels = list(frame[layout.label]) if layout.label is not None else None
        yield Chunk(ids=ids, series=list(matrix), labels=labels, done=done)


def read_chunks(path: str, layout: Layout, rows: int) -> Iterator[Chunk]:
    """Chunks of whole series from a CSV or Parquet file: about ``rows`` rows of
    a long file, or ``rows`` series of a wide one, at a time."""
    kind = file_format(path, "input")
    if not os.path.exists(path):
        raise InputError(f"cannot read {path}: No such file or directory")
    if kind == "csv":
        return _csv_long(path, layout, rows) if layout.long else _csv_wide(path, layout, rows)
    return _parquet_long(path, layout, rows) if layout.long else _parquet_wide(path, layout, rows)


def header(path: str) -> list[str]:
    """The column names of a CSV (its first line) or Parquet file."""
    if file_format(path, "input") == "csv":
        return _csv_header(path)
    return list(_parquet_file(path).schema_arrow.names)


def kinds(path: str, column: str) -> list[Any]:
    """Every kind in the file, sorted: one pass over that column alone, so that
    every chunk writes the same columns."""
    found: set[Any] = set()
    if file_format(path, "input") == "csv":
        try:
            for frame in pd.read_csv(path, usecols=[column], dtype=str, chunksize=1 << 20):
                found.update(frame[column].dropna())
        except (UnicodeDecodeError, pd.errors.ParserError) as error:
            raise _unreadable(path, error) from None
    else:
        found.update(_parquet_file(path).read(columns=[column]).column(0).drop_null().unique().to_pylist())
    try:
        return sorted(found)
    except TypeError:
        return sorted(found, key=str)
