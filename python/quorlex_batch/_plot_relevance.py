"""The relevance picture: the features with the smallest p-values, each in a
panel of its own. For classes each panel shows the feature's values per class
(box plots over the points); for a real target, a scatter against the target.
Drawn with matplotlib's Agg canvas: no display and no pyplot state."""

from __future__ import annotations

import math
import re
from typing import Any

import numpy as np

from . import _relevance

# Points drawn per class in a panel; the boxes use every value.
MAX_POINTS = 400
NAME_WIDTH = 30  # characters per title line
MAX_LEGEND_CLASSES = 20
NOT_RELEVANT = "#8c8c8c"


def _name(name: Any) -> str:
    """A feature name on at most two lines, broken after underscores."""
    text = str(name)
    lines = [""]
    for part in re.split(r"(?<=_)", text):
        if lines[-1] and len(lines[-1]) + len(part) > NAME_WIDTH:
            lines.append("")
        lines[-1] += part
    if len(lines) > 2:
        lines = [lines[0], "..." + text[-(NAME_WIDTH - 3):]]
    return "\n".join(lines)


def _p(value: float) -> str:
    return "p not tested" if np.isnan(value) else "p = 0" if value == 0 else f"p = {value:.2g}"


def relevance(X: Any, y: Any, top: int = 12, path: str | None = None, *, dpi: int = 300, title: str | None = None,
              **options: Any) -> Any:
    """Draws the ``top`` features of ``relevance(X, y, **options)`` by p-value
    and returns the matplotlib Figure; with ``path`` also writes it there as a
    PNG (300 dpi by default). The p-value is in each panel's title (for several
    classes, the smallest with its class); relevant features have black titles,
    the others grey."""
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure

    if isinstance(top, bool) or not isinstance(top, (int, np.integer)) or top < 1:
        raise ValueError(f"top must be a positive int, got {top!r}")
    settings = _relevance.options(**options)
    data, names, index = _relevance.feature_matrix(X)
    goal = _relevance.target(y, data.shape[0], index, settings.task, settings.multiclass)
    if goal.one_vs_rest and settings.n_significant > len(goal.classes):
        raise ValueError(f"n_significant is {settings.n_significant}, but y has only {len(goal.classes)} classes")
    table = _relevance.table(data, names, goal, settings, by_p_value=False)
    if goal.one_vs_rest:
        p_columns = [f"p_value_{c}" for c in goal.classes]
        with np.errstate(invalid="ignore"):
            p_all = table[p_columns].to_numpy(dtype=np.float64)
            smallest = np.fmin.reduce(p_all, axis=1)
    else:
        smallest = table["p_value"].to_numpy(dtype=np.float64)
    shown = [j for j in np.argsort(np.where(np.isnan(smallest), np.inf, smallest), kind="stable")
             if not np.isnan(smallest[j])][:top]

    columns = min(4, max(1, len(shown)))
    lines = max(1, math.ceil(len(shown) / columns))
    figure = Figure(figsize=(3.4 * columns + 0.4, 3.0 * lines + 1.2), layout="constrained")
    FigureCanvasAgg(figure)
    correction = "Benjamini-Hochberg" if settings.hypotheses_independent else "Benjamini-Yekutieli"
    heading = (f"{title}: " if title else "") + (f"{len(shown)} features with the smallest p-values;"
                                                 f" {int(table['relevant'].sum())} of {len(table)} relevant"
                                                 f" ({correction}, FDR {settings.fdr_level:g})")
    figure.suptitle(heading)
    if not shown:
        axes = figure.add_subplot()
        axes.axis("off")
        axes.text(0.5, 0.5, "nothing to draw: no feature could be tested", ha="center", va="center")
    else:
        import matplotlib as mpl

        palette = mpl.colormaps["tab10" if len(goal.classes) <= 10 else "tab20"]
        rng = np.random.default_rng(0)  # jitter and thinning: the same picture every time
        handles: list[Any] = []
        for panel, j in enumerate(shown):
            axes = figure.add_subplot(lines, columns, panel + 1)
            values = data[:, j]
            finite = np.isfinite(values)
            relevant = bool(table["relevant"].iloc[j])
            colour = "black" if relevant else NOT_RELEVANT
            if goal.task == "regression":
                axes.scatter(values[finite], goal.values[finite], s=6, alpha=0.5, edgecolors="none",
                             color="#3465a4" if relevant else NOT_RELEVANT)
                axes.set_ylabel("target", fontsize=8)
                axes.set_xlabel("feature value", fontsize=7)
                label = _p(smallest[j])
            else:
                groups = [values[finite & (goal.values == c)] for c in range(len(goal.classes))]
                kept = [g for g in range(len(groups)) if len(groups[g])]
                boxes = axes.boxplot([groups[g] for g in kept], positions=kept, widths=0.6, patch_artist=True,
                                     showfliers=False, medianprops={"color": "black"})
                for g, box in zip(kept, boxes["boxes"]):
                    box.set_facecolor(palette(g % palette.N))
                    box.set_alpha(0.45)
                for g in kept:
                    points = groups[g]
                    if len(points) > MAX_POINTS:
                        points = rng.choice(points, MAX_POINTS, replace=False)
                    axes.scatter(g + rng.uniform(-0.22, 0.22, len(points)), points, s=4, alpha=0.5,
                                 color=palette(g % palette.N), edgecolors="none")
                axes.set_xticks(range(len(goal.classes)), [])
                axes.set_xlim(-0.6, len(goal.classes) - 0.4)
                label = _p(smallest[j])
                if goal.one_vs_rest:
                    best = int(np.nanargmin(p_all[j]))
                    label += f" ({goal.classes[best]} vs rest)"
            axes.set_title(f"{_name(names[j])}\n{label}", fontsize=8, color=colour)
            axes.tick_params(labelsize=7)
        if goal.task == "regression":
            handles = [mpl.lines.Line2D([], [], marker="o", ls="", color=c, label=t)
                       for c, t in (("#3465a4", "series (relevant feature)"), (NOT_RELEVANT, "series (not relevant)"))]
        else:
            handles = [mpl.patches.Patch(color=palette(g % palette.N), alpha=0.7, label=str(c))
                       for g, c in enumerate(goal.classes[:MAX_LEGEND_CLASSES])]
            figure.supylabel("feature value", fontsize=9)
        figure.legend(handles=handles, loc="outside lower center", ncols=min(len(handles), 8), fontsize=8,
                      frameon=False, title="class" if goal.task == "classification" else None, title_fontsize=8)
    if path is not None:
        figure.savefig(path, format="png", dpi=dpi)
    return figure
