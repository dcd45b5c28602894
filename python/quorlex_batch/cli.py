"""quorlex-extract: the features of every series in a CSV or Parquet file.

    quorlex-extract INPUT -o OUTPUT [--features catch24,tsfeatures,...]
                    [--id COL --sort COL --value COL --kind COL] [--format wide|long]
                    [--header | --no-header]
                    [--jobs N] [--plot FILE.png [--label COL]] [--force] [--quiet]
                    [--label FILE --label-column NAME [--label-id ID]]
                    [--relevance OUT.csv] [--select] [--plot-relevance FILE.png]
                    [--window W [--step S] [--min-window M] [--horizon H]]

The input is read in chunks of whole series, each chunk goes through the batch
engine, and its rows are appended to a temporary file beside OUTPUT that is
renamed to OUTPUT only when everything has succeeded. Bad input is reported as
one line on stderr with exit status 2, and leaves no output behind.
"""

from __future__ import annotations

import argparse
import os
import sys
import tempfile
from collections.abc import Sequence
from typing import Any

import numpy as np

from ._core import Features, extract_array, feature_names, sets

try:
    import pandas as pd

    from ._readers import Chunk, InputError, Layout, file_format, header, kinds, read_chunks, value_columns
    from ._roll_cli import add_arguments as add_window_arguments
    from ._roll_cli import options as window_options
except ImportError as error:  # main() names the extra in one line
    _MISSING: ImportError | None = error
else:
    _MISSING = None

PROG = "quorlex-extract"
# Long files: rows read at a time (a few MB of CSV text; the chunk in
# pandas takes a few times that). Wide files: series per chunk.
LONG_ROWS = 200_000
WIDE_ROWS = 2_000


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG, description="Compute time-series features of every series in a CSV or Parquet file.",
        epilog="Long files must keep the rows of each id together. The output lists the ids in the order in"
               " which the input first gives them, as quorlex_batch.extract does.")
    parser.add_argument("input", metavar="INPUT", help="a .csv or .parquet file, long or wide")
    parser.add_argument("-o", "--output", metavar="OUTPUT", required=True,
                        help="the feature table: .parquet or .csv, by its extension")
    parser.add_argument("--features", default="catch24",
                        help="comma-separated set names and feature names (default: catch24); sets: "
                             + ", ".join(sets()))
    parser.add_argument("--id", metavar="COL", help="the id column (long: required; wide: optional)")
    parser.add_argument("--sort", metavar="COL", help="long: the column that orders the rows of a series")
    parser.add_argument("--value", metavar="COL",
                        help="long: the value column (default: every column not named by another option)")
    parser.add_argument("--kind", metavar="COL", help="long: the column whose values name separate series per id")
    parser.add_argument("--format", choices=("wide", "long"),
                        help="the input layout (default: long when --sort, --value or --kind is given, else wide)")
    first_line = parser.add_mutually_exclusive_group()
    first_line.add_argument("--header", dest="header", action="store_true", default=None,
                            help="wide CSV: the first line names the columns")
    first_line.add_argument("--no-header", dest="header", action="store_false",
                            help="wide CSV: the first line is a series (default: told from the line itself;"
                                 " a line that could be either stops with an error)")
    parser.add_argument("--jobs", type=int, metavar="N", help="worker threads (default: all)")
    parser.add_argument("--plot", metavar="FILE.png", help="also draw the feature matrix and a PCA of the series")
    parser.add_argument("--label", metavar="COL|FILE",
                        help="a column of classes that colours the PCA scatter; with --label-column, a CSV or Parquet"
                             " file of labels joined to the series by id")
    parser.add_argument("--label-column", metavar="NAME", help="the column of the --label file that holds the labels")
    parser.add_argument("--label-id", metavar="ID",
                        help="the id column of the --label file (default: its first column)")
    parser.add_argument("--relevance", metavar="OUT.csv",
                        help="write the relevance table of the features against the labels (one test per feature,"
                             " false discovery rate controlled)")
    parser.add_argument("--select", action="store_true",
                        help="write only the features relevant to the labels (OUTPUT is written at the end)")
    parser.add_argument("--plot-relevance", metavar="FILE.png",
                        help="draw the features with the smallest p-values against the labels")
    parser.add_argument("--fdr-level", type=float, default=0.05, metavar="Q",
                        help="the false discovery rate of --relevance, --select and --plot-relevance (default: 0.05)")
    parser.add_argument("--force", action="store_true", help="overwrite OUTPUT (and the plot) if they exist")
    parser.add_argument("--quiet", action="store_true", help="no progress bar")
    add_window_arguments(parser)
    return parser


def _requests(text: str) -> list[Features]:
    """Set names run as sets; runs of single feature names as one list each."""
    known = set(sets())
    requests: list[Features] = []
    for token in (t.strip() for t in text.split(",")):
        if not token:
            raise InputError(f"--features has an empty name in {text!r}")
        if token in known:
            requests.append(token)
        elif requests and isinstance(requests[-1], list):
            requests[-1].append(token)
        else:
            requests.append([token])
    owners: dict[str, int] = {}
    probed: dict[int, tuple[np.ndarray[Any, Any], list[str]]] = {}
    for index, request in enumerate(requests):
        try:
            names = feature_names(request)
        except ValueError as error:
            raise InputError(str(error)) from None
        for name in names:
            owner = owners.setdefault(name, index)
            if owner == index:
                continue
            if not _same_feature(name, [_probed_run(probed, requests, k) for k in (owner, index)]):
                raise InputError(f"two different features are named {name!r}: one from"
                                 f" {_describe(requests[owner])}, one from {_describe(request)}")
    return requests


def _describe(request: Features) -> str:
    return repr(request) if isinstance(request, str) else "the listed features"


# Fixed series on which two requests that give one name are compared.
_PROBES = [np.random.default_rng(19).normal(size=40), np.cumsum(np.random.default_rng(20).normal(size=250))
           + np.sin(np.arange(250) / 3.0), np.random.default_rng(21).exponential(size=120)]


def _probed_run(cache: dict[int, tuple[np.ndarray[Any, Any], list[str]]], requests: list[Features],
               index: int) -> tuple[np.ndarray[Any, Any], list[str]]:
    if index not in cache:
        cache[index] = extract_array(_PROBES, requests[index])
    return cache[index]


def _same_feature(name: str, runs: list[tuple[np.ndarray[Any, Any], list[str]]]) -> bool:
    """Whether two requests give the same values under ``name`` on the probe
    series: a feature two requests carry (catch24 and hctsa both give
    DN_HistogramMode_5) is one column, two computations under one name are an
    error."""
    one, other = (matrix[:, names.index(name)].view(np.int64) for matrix, names in runs)
    return bool(np.array_equal(one, other))


class _Target:
    """An output file written under a temporary name beside it and moved into
    place by commit(); discard() removes the temporary file."""

    def __init__(self, path: str, force: bool) -> None:
        self.path = path
        self.force = force
        if os.path.exists(path) and not force:
            raise InputError(f"{path} exists: pass --force to overwrite it")
        folder = os.path.dirname(os.path.abspath(path))
        if not os.path.isdir(folder):
            raise InputError(f"cannot write {path}: folder {folder} does not exist")
        try:
            handle, self.temporary = tempfile.mkstemp(dir=folder, prefix=f".{os.path.basename(path)}.",
                                                      suffix=".part")
        except OSError as error:
            raise InputError(f"cannot write {path}: {error.strerror}") from None
        os.close(handle)
        umask = os.umask(0)  # mkstemp makes the file private; give it the mode a plain open() would
        os.umask(umask)
        os.chmod(self.temporary, 0o666 & ~umask)

    def commit(self) -> None:
        if self.force:
            os.replace(self.temporary, self.path)
            return
        try:  # a hard link refuses to replace a file that appeared meanwhile
            os.link(self.temporary, self.path)
        except FileExistsError:
            raise InputError(f"{self.path} exists: pass --force to overwrite it") from None
        except OSError:  # no hard links on this file system
            if os.path.exists(self.path):
                raise InputError(f"{self.path} exists: pass --force to overwrite it") from None
            os.replace(self.temporary, self.path)
            return
        os.unlink(self.temporary)

    def discard(self) -> None:
        try:
            os.unlink(self.temporary)
        except FileNotFoundError:
            pass


class _TableWriter:
    """Appends feature rows, id column first, to a CSV or Parquet file."""

    def __init__(self, path: str, kind: str, id_name: str) -> None:
        self.path = path
        self.kind = kind
        self.id_name = id_name
        self.parquet: Any = None
        self.csv: Any = None

    def write(self, frame: pd.DataFrame) -> None:
        if frame.index.nlevels == 1:  # window rows come named (id, end)
            frame = frame.rename_axis(self.id_name)
        if self.kind == "csv":
            first = self.csv is None
            if first:
                self.csv = open(self.path, "w", newline="", encoding="utf-8")
            frame.to_csv(self.csv, header=first)
            return
        import pyarrow as pa  # type: ignore[import-untyped,unused-ignore]
        import pyarrow.parquet as pq  # type: ignore[import-untyped,unused-ignore]

        table = pa.Table.from_pandas(frame.reset_index(), preserve_index=False)
        if self.parquet is None:
            self.parquet = pq.ParquetWriter(self.path, table.schema)
        else:
            table = table.cast(self.parquet.schema)
        self.parquet.write_table(table)

    def close(self) -> None:
        if self.csv is not None:
            self.csv.close()
        if self.parquet is not None:
            self.parquet.close()


def _temporary(target: _Target | None) -> str:
    assert target is not None
    return target.temporary


def _layout(args: argparse.Namespace) -> Layout:
    long = args.format == "long" or (args.format is None and any((args.sort, args.value, args.kind)))
    if long and args.id is None:
        raise InputError("long input needs --id: the column that names each series")
    if not long:
        for option in ("sort", "value", "kind"):
            if getattr(args, option) is not None:
                raise InputError(f"--{option} applies to long input only")
    relevance = args.relevance is not None or args.select or args.plot_relevance is not None
    if args.label_id is not None and args.label_column is None:
        raise InputError("--label-id applies to a label file: pass --label-column too")
    if args.label is not None and args.plot is None and not relevance:
        raise InputError("--label colours the plot or tests the features: pass --plot, --relevance, --select or"
                         " --plot-relevance too")
    if relevance and args.label is None:
        raise InputError("--relevance, --select and --plot-relevance need labels: --label FILE --label-column NAME"
                         " (or --label COL, a column of the input)")
    if args.label_column is not None:  # --label names a file, not a column of the input
        return Layout(long, args.id, args.sort, args.value, args.kind, None)
    if args.jobs is not None and args.jobs < 1:
        raise InputError(f"--jobs must be positive, got {args.jobs}")
    if long and args.header is False:
        raise InputError("long input names its columns in a header line: --no-header applies to wide input")
    return Layout(long, args.id, args.sort, args.value, args.kind, args.label, args.header)


def _columns(requests: list[Features], kind_values: list[Any] | None) -> list[str]:
    columns: list[str] = []
    for request in requests:
        names = feature_names(request)
        columns += names if kind_values is None else [f"{k}__{n}" for k in kind_values for n in names]
    return list(dict.fromkeys(columns))  # a feature two requests give is one column


def _features(chunk: Chunk, requests: list[Features], layout: Layout, columns: list[str],
              jobs: int | None) -> tuple[pd.DataFrame, list[Any] | None]:
    """The feature rows of one chunk, in the order the input gives the ids, and
    the label of each row."""
    if chunk.frame is not None:
        from ._frame import extract

        frame = chunk.frame
        assert layout.id is not None
        order = pd.unique(frame[layout.id])
        labels = None
        if layout.label is not None:
            labels = list(frame.groupby(layout.id, sort=False)[layout.label].first().reindex(order))
            frame = frame.drop(columns=[layout.label])
        try:
            parts = [extract(frame, request, column_id=layout.id, column_sort=layout.sort,
                             column_value=layout.value, column_kind=layout.kind, n_jobs=jobs)
                     for request in requests]
        except ValueError as error:
            raise InputError(str(error)) from None
        table = pd.concat(parts, axis=1)
        table = table.loc[:, ~table.columns.duplicated()]
        return table.reindex(index=order, columns=columns), labels
    blocks = []
    for request in requests:
        matrix, names = extract_array(chunk.series, request, n_jobs=jobs)
        blocks.append(pd.DataFrame(matrix, columns=names))
    table = pd.concat(blocks, axis=1)
    table = table.loc[:, ~table.columns.duplicated()]
    table.index = pd.Index(chunk.ids)
    return table, chunk.labels


class _NoBar:
    """Stands in for the progress bar when tqdm is not installed."""

    n = 0
    total: int | None = None

    def update(self, count: int) -> None:
        self.n += count

    def refresh(self) -> None:
        pass

    def close(self) -> None:
        pass


def _progress(quiet: bool) -> Any:
    try:
        from tqdm.auto import tqdm  # type: ignore[import-untyped,unused-ignore]
    except ImportError:  # the bar is optional: pip install 'quorlex[cli]' brings it
        return _NoBar()
    # disable=None: drawn only when stderr is a terminal.
    return tqdm(total=None, unit="series", file=sys.stderr, disable=True if quiet else None, dynamic_ncols=True)


def _require(modules: list[str], what: str, extra: str) -> None:
    import importlib.util

    missing = [m for m in modules if importlib.util.find_spec(m) is None]
    if missing:
        raise InputError(f"{what} needs {' and '.join(missing)}: pip install 'quorlex[{extra}]'")


def run(args: argparse.Namespace) -> None:
    layout = _layout(args)
    rolling = window_options(args)
    requests = _requests(args.features)
    output_kind = file_format(args.output, "output")
    input_kind = file_format(args.input, "input")
    if "parquet" in (input_kind, output_kind):
        _require(["pyarrow"], "Parquet", "cli")
    for option, path in (("--plot", args.plot), ("--plot-relevance", args.plot_relevance)):
        if path is not None:
            if not path.lower().endswith(".png"):
                raise InputError(f"the plot is a PNG image: name it .png, not {path}")
            _require(["matplotlib", "scipy"], option, "plot")
    tested = args.relevance is not None or args.select or args.plot_relevance is not None
    if tested:
        _require(["scipy"], "--relevance, --select and --plot-relevance", "relevance")
        if not 0 < args.fdr_level < 1:
            raise InputError(f"--fdr-level must be between 0 and 1 (exclusive), got {args.fdr_level}")
    label_file = None
    if args.label_column is not None:
        from ._cli_labels import read_labels

        label_file = read_labels(args.label, args.label_column, args.label_id)
    chunks = read_chunks(args.input, layout, LONG_ROWS if layout.long else WIDE_ROWS)
    # Every chunk writes the same columns, even one that lacks some kind.
    prefixes = None
    if layout.kind is not None:
        prefixes = kinds(args.input, layout.kind)
    elif layout.long and layout.value is None:
        prefixes = value_columns(header(args.input), layout)
    columns = _columns(requests, prefixes)
    if rolling is not None:
        columns = rolling.columns(columns, prefixes)

    targets: list[_Target | None] = []
    writer: _TableWriter | None = None
    bar = _progress(args.quiet)
    kept: list[pd.DataFrame] = []
    labels: list[Any] = []
    try:
        for path in (args.output, args.plot, args.relevance, args.plot_relevance):
            targets.append(_Target(path, args.force) if path is not None else None)
        writer = _TableWriter(_temporary(targets[0]), output_kind, layout.id or "id")
        for chunk in chunks:
            if chunk.done > 0 and rolling is None:  # the estimated total, shown before the chunk is computed
                bar.total = max(bar.n + chunk.count(layout), round((bar.n + chunk.count(layout)) / chunk.done))
                bar.refresh()
            if rolling is None:
                table, chunk_labels = _features(chunk, requests, layout, columns, args.jobs)
            else:
                table, chunk_labels = rolling.table(chunk, requests, layout, columns, args.jobs), None
            if not args.select:
                writer.write(table)
            if args.plot is not None or tested:
                kept.append(table)
                labels += chunk_labels if chunk_labels is not None else []
            bar.update(len(table))
        if rolling is not None:
            rolling.check_done(args.input)
        everything = pd.concat(kept) if kept else pd.DataFrame()
        if label_file is not None:
            from ._cli_labels import join

            labels = list(join(label_file, everything.index, args.label))
        if tested:
            from . import _cli_labels

            y = pd.Series(labels, index=everything.index)
            found = _cli_labels.relevance_table(everything, y, args.fdr_level)
            if args.relevance is not None:
                found.to_csv(_temporary(targets[2]), index=False)
            if args.select:
                writer.write(everything.loc[:, found["relevant"].reindex(everything.columns).to_numpy(dtype=bool)])
            if args.plot_relevance is not None:
                _cli_labels.plot_relevance(everything, y, _temporary(targets[3]), args.fdr_level,
                                           os.path.basename(args.input))
        if writer.csv is None and writer.parquet is None:
            writer.write(pd.DataFrame(columns=columns, dtype=np.float64) if rolling is None
                         else rolling.empty(columns, layout))
        writer.close()
        bar.total = bar.n
        bar.close()
        if args.plot is not None:
            from .plot import plot_features

            plot_features(everything, _temporary(targets[1]),
                          labels=labels if args.label is not None else None, title=os.path.basename(args.input))
        for target in targets:
            if target is not None:
                target.commit()
    except BaseException:
        if writer is not None:
            writer.close()
        bar.close()
        for target in targets:
            if target is not None:
                target.discard()
        raise


def main(argv: Sequence[str] | None = None) -> int:
    if _MISSING is not None:
        print(f"{PROG}: error: the command line needs {_MISSING.name or 'pandas'}: pip install 'quorlex[cli]'",
              file=sys.stderr)
        return 2
    args = _parser().parse_args(argv)
    try:
        run(args)
    except InputError as error:
        print(f"{PROG}: error: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"{PROG}: interrupted", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
