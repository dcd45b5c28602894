"""The feature-matrix picture: robust sigmoid scaling and a real, non-blank PNG."""

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
pytest.importorskip("scipy")
image = pytest.importorskip("matplotlib.image")

from quorlex_batch import plot  # noqa: E402


def test_robust_sigmoid_scales_each_feature_to_the_unit_interval():
    matrix = np.array([
        [1.0, 5.0, 7.0, np.nan, 0.0],
        [2.0, 5.0, 7.0, np.nan, 0.0],
        [3.0, 5.0, 7.0, np.nan, 0.0],
        [4.0, 5.0, np.inf, np.nan, 0.0],
        [100.0, 6.0, 7.0, np.nan, 1.0],
    ])
    scaled, kept = plot.robust_sigmoid(matrix)
    # zero IQR falls back to mean and standard deviation; constant and undefined columns are dropped
    assert kept.tolist() == [True, True, False, False, True]
    column = scaled[:, 0]
    assert column.min() == 0.0 and column.max() == 1.0
    assert np.all(np.diff(column) > 0)
    # The median (3, sigmoid 0.5) of values 1 .. 4 and 100, IQR 2 scaled by 1.35, then min-max:
    # the outlier at 100 does not squash the others towards 0 as a linear stretch would.
    assert column[2] == pytest.approx(0.3703798696770542, abs=1e-15)
    assert column[1] > 0.1  # a linear stretch would put 2 at 1/99
    assert np.isnan(scaled[3, 2]) and scaled[:, 1].tolist() == [0.0, 0.0, 0.0, 0.0, 1.0]


def looks_drawn(path, width, height):
    pixels = image.imread(str(path))
    assert pixels.shape[:2] == (height, width)
    colours = np.unique(pixels[..., :3].reshape(-1, 3).round(2), axis=0)
    return pixels[..., :3].std() > 0.1 and len(colours) > 200


@pytest.mark.parametrize("count, labels", [(12, None), (400, "classes"), (300, "numbers")])
def test_picture_is_written_and_not_blank(tmp_path, monkeypatch, count, labels):
    monkeypatch.setattr(plot, "MAX_HEATMAP_ROWS", 150)  # the selection path without thousands of series
    rng = np.random.default_rng(count)
    groups = rng.integers(0, 3, count)
    values = rng.normal(size=(count, 30)) + groups[:, None] * np.linspace(-1, 1, 30)
    values[:, 4] = 1.0  # constant: left out
    values[0, 7] = np.nan
    table = pd.DataFrame(values, index=[f"s{i}" for i in range(count)], columns=[f"f{j}" for j in range(30)])
    given = {None: None, "classes": [f"class {g}" for g in groups], "numbers": list(rng.normal(size=count))}
    path = tmp_path / "features.png"
    plot.plot_features(table, str(path), labels=given[labels], title="test", dpi=60)
    assert path.stat().st_size > 20_000
    assert looks_drawn(path, 15 * 60, int(7.5 * 60))


def test_nothing_to_draw_still_gives_a_picture(tmp_path):
    path = tmp_path / "empty.png"
    plot.plot_features(pd.DataFrame({"f": [1.0, 1.0]}), str(path), dpi=40)
    assert image.imread(str(path)).shape[:2] == (300, 600)


@pytest.mark.parametrize("target", ["two classes", "four classes", "real"])
def test_relevance_picture_titles_legend_and_size(tmp_path, target):
    import quorlex_batch as qb

    rng = np.random.default_rng(5)
    groups = np.arange(120) % 4
    values = rng.normal(size=(120, 20))
    values[:, 3] += groups  # the one informative feature
    values[:, 6] = 2.0  # constant: never drawn
    values[:5, 8] = np.nan
    names = [f"feature_{j}_with_a_long_descriptive_name_of_many_parts" for j in range(20)]
    table = pd.DataFrame(values, columns=names)
    y = {"two classes": np.where(groups >= 2, "high", "low"), "four classes": groups,
         "real": groups + rng.normal(size=120)}[target]
    options = {"multiclass": True} if target == "four classes" else {}
    path = tmp_path / "relevance.png"
    figure = plot.relevance(table, y, top=6, path=str(path), dpi=50, **options)
    panels = [axes for axes in figure.axes if axes.get_title()]
    pixels = image.imread(str(path))[..., :3]
    assert pixels.shape[:2] == (round(figure.get_figheight() * 50), round(figure.get_figwidth() * 50))
    assert len(panels) == 6 and (pixels < 0.9).any(axis=2).mean() > 0.03  # drawn, not blank
    expected = qb.relevance(table, y, **options)
    first = panels[0].get_title()
    assert first.startswith("feature_3_with_a_long_") and "\n" in first and names[6] not in str(
        [a.get_title() for a in panels])
    p = expected.iloc[0][[c for c in expected.columns if c.startswith("p_value")]].min()
    assert f"p = {p:.2g}" in first
    legend = figure.legends[0]
    labels = [text.get_text() for text in legend.get_texts()]
    assert labels == {"two classes": ["high", "low"], "four classes": ["0", "1", "2", "3"],
                      "real": ["series (relevant feature)", "series (not relevant)"]}[target]


def test_relevance_picture_refuses_a_bad_top_and_draws_nothing_testable():
    with pytest.raises(ValueError, match="top must be a positive int, got 0"):
        plot.relevance(np.ones((4, 2)), [0, 1, 0, 1], top=0)
    figure = plot.relevance(np.ones((4, 2)), [0, 1, 0, 1])
    assert "nothing to draw" in figure.axes[0].texts[0].get_text()
