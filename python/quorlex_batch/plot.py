"""The picture hctsa users know: the feature matrix beside a PCA of the series.

Each feature is scaled to [0, 1] by a robust sigmoid (centred on its median,
spread by its interquartile range, so that outliers do not flatten the rest),
rows and columns are ordered by average-linkage hierarchical clustering, and
the scaled matrix is drawn as a heatmap next to a scatter of the series on
their first two principal components. Drawn with matplotlib's Agg canvas:
no display and no pyplot state.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt
import pandas as pd

from ._plot_relevance import relevance as relevance  # the top features against a target

# hctsa's robust sigmoid divides by IQR / 1.35: for normal data the IQR is
# 1.35 standard deviations, so the scale matches a z-score there.
IQR_PER_STD = 1.35
# Hierarchical clustering needs all pairwise distances: beyond this many
# series the heatmap shows an evenly spaced selection (the PCA shows all).
MAX_HEATMAP_ROWS = 1500
MAX_LEGEND_CLASSES = 20


def robust_sigmoid(matrix: npt.NDArray[np.float64]) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.bool_]]:
    """Each column through 1 / (1 + exp(-(x - median) / (IQR / 1.35))), then
    stretched to [0, 1]. A column with zero IQR uses its mean and standard
    deviation instead. Returns the scaled matrix (NaN where the input is not
    finite) and a mask of the columns kept: those with spread and at least one
    finite value."""
    scaled = np.full(matrix.shape, np.nan)
    kept = np.zeros(matrix.shape[1], dtype=bool)
    for j in range(matrix.shape[1]):
        column = matrix[:, j]
        finite = np.isfinite(column)
        if not finite.any():
            continue
        values = column[finite]
        low, median, high = np.percentile(values, [25, 50, 75])
        centre, spread = median, (high - low) / IQR_PER_STD
        if not spread > 0:
            centre, spread = float(np.mean(values)), float(np.std(values))
        if not spread > 0:
            continue
        with np.errstate(over="ignore"):
            sigmoid = 1.0 / (1.0 + np.exp(-(values - centre) / spread))
        lowest, highest = sigmoid.min(), sigmoid.max()
        if not highest > lowest:
            continue
        scaled[finite, j] = (sigmoid - lowest) / (highest - lowest)
        kept[j] = True
    return scaled, kept


def _order(points: npt.NDArray[np.float64], metric: str) -> npt.NDArray[np.intp]:
    """Leaf order of an average-linkage tree over the rows of points."""
    if len(points) < 3:
        return np.arange(len(points))
    from scipy.cluster.hierarchy import leaves_list, linkage  # type: ignore[import-untyped,unused-ignore]
    from scipy.spatial.distance import pdist  # type: ignore[import-untyped,unused-ignore]

    distances = pdist(points, metric=metric)
    distances[~np.isfinite(distances)] = 1.0  # correlation of a constant vector
    order: npt.NDArray[np.intp] = leaves_list(linkage(distances, method="average"))
    return order


def _pca(filled: npt.NDArray[np.float64]) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """Scores on the first two principal components and their share of the variance."""
    centred = filled - filled.mean(axis=0)
    u, s, _ = np.linalg.svd(centred, full_matrices=False)
    scores = np.zeros((len(filled), 2))
    width = min(2, len(s))
    scores[:, :width] = u[:, :width] * s[:width]
    total = float(np.sum(s**2))
    share = np.zeros(2)
    if total > 0:
        share[:width] = s[:width] ** 2 / total
    return scores, share


def _scatter(axes: Any, scores: npt.NDArray[np.float64], share: npt.NDArray[np.float64],
             ids: Sequence[Any], labels: Sequence[Any] | None) -> None:
    import matplotlib as mpl

    axes.set_xlabel(f"PC1 ({share[0]:.0%} of variance)")
    axes.set_ylabel(f"PC2 ({share[1]:.0%} of variance)")
    axes.set_title("series, first two principal components")
    if labels is None:
        axes.scatter(scores[:, 0], scores[:, 1], s=18, color="#3465a4", alpha=0.8, edgecolors="none")
        if len(ids) <= 25:
            axes.margins(x=0.25, y=0.08)  # room for the names
            for (x, y), name in zip(scores, ids):
                axes.annotate(str(name), (x, y), fontsize=6, xytext=(3, 3), textcoords="offset points")
        return
    values = pd.Series(list(labels), dtype=object).fillna("(none)")
    classes: list[Any] = list(pd.unique(values))
    numeric = pd.to_numeric(values, errors="coerce")
    if len(classes) > MAX_LEGEND_CLASSES and numeric.notna().all():
        points = axes.scatter(scores[:, 0], scores[:, 1], c=numeric.to_numpy(), s=18, cmap="viridis")
        axes.figure.colorbar(points, ax=axes, fraction=0.05)
        return
    try:
        classes = sorted(classes)
    except TypeError:
        pass
    palette = mpl.colormaps["tab10" if len(classes) <= 10 else "tab20"]
    for i, name in enumerate(classes[:MAX_LEGEND_CLASSES]):
        chosen = (values == name).to_numpy()
        axes.scatter(scores[chosen, 0], scores[chosen, 1], s=18, color=palette(i % palette.N), label=str(name),
                     alpha=0.85, edgecolors="none")
    rest = ~values.isin(classes[:MAX_LEGEND_CLASSES]).to_numpy()
    if rest.any():
        axes.scatter(scores[rest, 0], scores[rest, 1], s=12, color="#999999", label="other")
    axes.legend(fontsize=7, markerscale=1.2, frameon=False, loc="best")


def plot_features(table: pd.DataFrame, path: str, labels: Sequence[Any] | None = None, title: str | None = None,
                  dpi: int = 110) -> None:
    """Writes the PNG picture of a feature table (one row per series) to path.

    labels, one per row, colour the PCA scatter (a legend for up to 20 classes,
    a colour bar for many numeric values)."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    matrix = table.to_numpy(dtype=np.float64, na_value=np.nan)
    scaled, kept = robust_sigmoid(matrix) if matrix.size else (matrix, np.zeros(matrix.shape[1], dtype=bool))
    names = [str(c) for c, k in zip(table.columns, kept) if k]
    scaled = scaled[:, kept]
    figure = Figure(figsize=(15, 7.5), layout="constrained")
    FigureCanvasAgg(figure)
    heading = f"{title}: " if title else ""
    heading += f"{len(table)} series x {len(names)} features"
    if len(names) < table.shape[1]:
        heading += f" ({table.shape[1] - len(names)} constant or undefined features left out)"
    figure.suptitle(heading)
    if len(table) == 0 or not names:
        axes = figure.add_subplot()
        axes.axis("off")
        axes.text(0.5, 0.5, "nothing to draw: no series with varying features", ha="center", va="center")
        figure.savefig(path, format="png", dpi=dpi)
        return

    filled = np.where(np.isnan(scaled), 0.5, scaled)  # undefined values sit mid-scale for clustering and PCA
    rows = np.arange(len(filled))
    if len(rows) > MAX_HEATMAP_ROWS:
        rows = np.unique(np.linspace(0, len(filled) - 1, MAX_HEATMAP_ROWS).round().astype(np.intp))
    rows = rows[_order(filled[rows], "euclidean")]
    columns = _order(filled.T, "correlation") if len(names) > 2 else np.arange(len(names))

    grid = figure.add_gridspec(1, 2, width_ratios=[1.6, 1])
    heat = figure.add_subplot(grid[0])
    import matplotlib as mpl

    colours = mpl.colormaps["viridis"].with_extremes(bad="#d9d9d9")
    image = heat.imshow(np.ma.masked_invalid(scaled[np.ix_(rows, columns)]), aspect="auto",
                        interpolation="nearest", cmap=colours, vmin=0.0, vmax=1.0)
    figure.colorbar(image, ax=heat, fraction=0.04, label="scaled value (robust sigmoid)")
    shown = "" if len(rows) == len(filled) else f" ({len(rows)} of {len(filled)} shown)"
    heat.set_title(f"feature matrix, clustered{shown}")
    heat.set_xlabel("features")
    heat.set_ylabel("series")
    if len(names) <= 80:
        heat.set_xticks(range(len(names)), [names[j] for j in columns], rotation=90,
                        fontsize=7 if len(names) <= 40 else 5)
    else:
        heat.set_xticks([])
    ids = list(table.index)
    if len(rows) <= 40:
        heat.set_yticks(range(len(rows)), [str(ids[i]) for i in rows], fontsize=6)
    else:
        heat.set_yticks([])

    scores, share = _pca(filled)
    _scatter(figure.add_subplot(grid[1]), scores, share, ids, labels)
    figure.savefig(path, format="png", dpi=dpi)
