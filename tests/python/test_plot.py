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
