"""quorlex-extract --window: the features of every window of every series.

Chunks of whole series go through ``roll`` one after another, so memory
follows the chunk and its windows, as for whole series. Output rows are
(id, end[, target]) followed by the feature columns.
"""

from __future__ import annotations

import argparse
from collections.abc import Hashable
from dataclasses import dataclass
from typing import Any

import numpy as np
import pandas as pd

from ._core import Features
from ._readers import Chunk, InputError, Layout
from ._roll_frame import Spans, arguments, rolled

Columns = tuple[Hashable | None, Hashable | None, Hashable | None, Hashable | None]  # id, sort, value, kind


def add_arguments(parser: argparse.ArgumentParser) -> None:
    group = parser.add_argument_group(
        "rolling windows", "the features of every window instead of every series; rows (id, end[, target])")
    group.add_argument("--window", metavar="W",
                       help="points per window, or a time span such as 7D or 12h when --sort holds dates")
    group.add_argument("--step", metavar="S",
                       help="windows end at the last point and every S points (or S of time) before it (default: 1)")
    group.add_argument("--min-window", metavar="M",
                       help="also shorter windows at the start of a series, down to M (default: W)")
    group.add_argument("--horizon", metavar="H",
                       help="add a target column: the value H points (or H of time) after each window's end")


def _size(text: str | None) -> int | str | None:
    if text is None:
        return None
    text = text.strip()
    return int(text) if text.lstrip("+-").isdigit() else text


@dataclass
class Rolling:
    window: int | str
    step: int | str
    min_window: int | str | None
    horizon: int | str | None
    timed: bool
    windows: int = 0
    series: int = 0

    def columns(self, features: list[str], prefixes: list[Any] | None) -> list[str]:
        if self.horizon is None:
            return features
        return (["target"] if prefixes is None else [f"{p}__target" for p in prefixes]) + features

    def table(self, chunk: Chunk, requests: list[Features], layout: Layout, columns: list[str],
              jobs: int | None) -> pd.DataFrame:
        """The window rows of one chunk, ids in input order."""
        if chunk.frame is not None:
            assert layout.id is not None
            frame = chunk.frame.drop(columns=[layout.label]) if layout.label is not None else chunk.frame
            if self.timed and layout.sort is not None and (pd.api.types.is_object_dtype(frame[layout.sort])
                                                           or pd.api.types.is_string_dtype(frame[layout.sort])):
                frame = frame.assign(**{layout.sort: _dates(frame[layout.sort], layout.sort)})
            data: object = frame
            order = list(pd.unique(frame[layout.id]))
            self.series += len(order)
            names: Columns = (layout.id, layout.sort, layout.value, layout.kind)
        else:
            data, order, names = chunk.series, list(chunk.ids), (None, None, None, None)
            self.series += len(order)
        try:
            parts = [rolled(data, request, self.window, self.step, self.min_window, self.horizon, *names, jobs, False,
                            strict=False) for request in requests]
        except (TypeError, ValueError) as error:
            raise InputError(str(error)) from None
        blocks = ([] if parts[0][1] is None else [parts[0][1]]) + [x for x, _ in parts]
        table = pd.concat(blocks, axis=1).reindex(columns=columns)
        ids = table.index.get_level_values(0)
        if chunk.frame is None:
            ids = pd.Index(np.asarray(order, dtype=object)[ids.to_numpy(dtype=np.int64)]) if len(ids) else ids
            table.index = pd.MultiIndex.from_arrays([ids, table.index.get_level_values(1)])
        # Ids in input order, as for whole series; each id's windows by end.
        rank = pd.Index(order).get_indexer(ids)
        table = table.iloc[np.argsort(rank, kind="stable")]
        table.index = table.index.set_names([layout.id or "id", "end"])
        self.windows += len(table)
        return table

    def empty(self, columns: list[str], layout: Layout) -> pd.DataFrame:
        index = pd.MultiIndex.from_arrays([[], []], names=[layout.id or "id", "end"])
        return pd.DataFrame(columns=columns, index=index, dtype=np.float64)

    def check_done(self, path: str) -> None:
        if self.series and not self.windows:
            raise InputError(f"window ({self.window}) is longer than every series of {path}")


def _dates(column: pd.Series, name: str) -> pd.Series:
    """Dates read as text (CSV)."""
    try:
        return pd.to_datetime(column)
    except (TypeError, ValueError):
        bad = pd.to_datetime(column, errors="coerce").isna() & column.notna()
        cell = column[bad].iloc[0] if bad.any() else column.iloc[0]
        raise InputError(f"a time window needs dates in the sort column {name!r}, which holds {cell!r}") from None


def options(args: argparse.Namespace) -> Rolling | None:
    """The checked window options, or None without --window."""
    if args.window is None:
        for option in ("step", "min_window", "horizon"):
            if getattr(args, option) is not None:
                raise InputError(f"--{option.replace('_', '-')} applies with --window only")
        return None
    if args.plot is not None:
        raise InputError("--plot draws whole series: it does not apply with --window")
    for option in ("relevance", "select", "plot_relevance"):
        if getattr(args, option) not in (None, False):  # labels belong to series, not to windows
            raise InputError(f"--{option.replace('_', '-')} tests whole series: it does not apply with --window")
    window, step = _size(args.window), _size(args.step)
    min_window, horizon = _size(args.min_window), _size(args.horizon)
    step = 1 if step is None else step
    assert window is not None
    try:
        checked = arguments(window, step, min_window, horizon)
    except (TypeError, ValueError) as error:
        raise InputError(str(error)) from None
    timed = isinstance(checked, Spans)
    if timed and args.sort is None:
        raise InputError(f"the time window {window!r} needs --sort naming a column of dates")
    return Rolling(window, step, min_window, horizon, timed)
