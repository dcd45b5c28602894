"""quorlex-extract's labels: a label file joined to the features by id, and
what the command line makes of them (the relevance table, the selection and
the relevance picture)."""

from __future__ import annotations

from typing import Any

import pandas as pd

from ._readers import InputError, file_format


def read_labels(path: str, column: str, id_column: str | None) -> pd.Series:
    """The label column of a CSV or Parquet file, indexed by its id column
    (``id_column``, else the file's first column) as text, so that ids compare
    the same whichever file they come from."""
    kind = file_format(path, "label file")
    try:
        if kind == "csv":
            if id_column is None:
                id_column = str(pd.read_csv(path, nrows=0).columns[0])
            frame = pd.read_csv(path, dtype={id_column: str})
        else:
            frame = pd.read_parquet(path)
    except FileNotFoundError:
        raise InputError(f"cannot read {path}: no such file") from None
    except (OSError, ValueError, IndexError) as error:
        raise InputError(f"cannot read {path}: {error}") from None
    if id_column is None:
        if frame.shape[1] < 2:
            raise InputError(f"{path} needs an id column and a label column")
        id_column = str(frame.columns[0])
    for name, option in ((id_column, "--label-id"), (column, "--label-column")):
        if name not in frame.columns:
            raise InputError(f"{path} has no column {name!r} ({option}; columns: {', '.join(map(str, frame.columns))})")
    if id_column == column:
        raise InputError("--label-column and --label-id name the same column")
    ids = frame[id_column]
    if ids.isna().any():
        raise InputError(f"{path}: the id column {id_column!r} has empty cells")
    labels = pd.Series(frame[column].to_numpy(), index=pd.Index(ids.astype(str), name=id_column), name=column)
    repeated = labels.index[labels.index.duplicated()]
    if len(repeated):
        raise InputError(f"{path}: id {repeated[0]!r} has more than one label")
    return labels


def join(labels: pd.Series, ids: pd.Index, path: str) -> pd.Series:
    """The label of every feature row, in the rows' order; every id needs one."""
    keys = pd.Index([str(i) for i in ids])
    missing = keys.difference(labels.index, sort=False)
    if len(missing):
        raise InputError(f"{path} has no label for {len(missing)} of the {len(keys)} ids (e.g. {missing[0]!r})")
    return pd.Series(labels.reindex(keys).to_numpy(), index=ids, name=labels.name)


def relevance_table(features: pd.DataFrame, labels: pd.Series, fdr_level: float) -> pd.DataFrame:
    """The relevance table of the features against the labels; a target with
    more than two classes is tested one class against the rest."""
    from ._relevance import relevance

    try:
        return relevance(features, labels, fdr_level=fdr_level, multiclass="auto")
    except ValueError as error:
        raise InputError(f"labels: {error}") from None


def plot_relevance(features: pd.DataFrame, labels: pd.Series, path: str, fdr_level: float, title: Any) -> None:
    from ._plot_relevance import relevance

    try:
        relevance(features, labels, path=path, title=title, fdr_level=fdr_level, multiclass="auto")
    except ValueError as error:
        raise InputError(f"labels: {error}") from None
