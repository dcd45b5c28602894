"""quorlex-extract --window: window rows equal roll in process whatever the
chunking, and bad window options exit 2 leaving nothing behind."""

import os

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
pytest.importorskip("pyarrow")
pytest.importorskip("tqdm")

import quorlex_batch as qb  # noqa: E402
from conftest import bits  # noqa: E402
from quorlex_batch import cli  # noqa: E402

FEATURES = ["DN_Mean", "CO_f1ecac", "SB_BinaryStats_mean_longstretch1"]


def long_frame():
    """Three ids in the order c, a, b, hourly stamps, two value columns."""
    rng = np.random.default_rng(8)
    parts = [pd.DataFrame({"id": name, "time": pd.date_range("2023-02-01", periods=n, freq="h"),
                           "x": np.cumsum(rng.normal(size=n)), "z": rng.normal(size=n)})
             for name, n in (("c", 70), ("a", 12), ("b", 55))]
    return pd.concat(parts, ignore_index=True)


def run(capsys, *argv):
    code = cli.main([str(a) for a in argv] + ["--features", ",".join(FEATURES), "--quiet"])
    return code, capsys.readouterr().err


@pytest.mark.parametrize("suffix", [".csv", ".parquet"])
def test_long_windows_in_small_chunks_equal_roll(tmp_path, capsys, monkeypatch, suffix):
    frame = long_frame()
    source = tmp_path / f"long{suffix}"
    frame.to_csv(source, index=False) if suffix == ".csv" else frame.to_parquet(source)
    monkeypatch.setattr(cli, "LONG_ROWS", 40)
    for window, step, horizon in (("9", "4", "2"), ("10h", "3h", "1h")):
        out = tmp_path / f"out-{window}{suffix}"
        code, err = run(capsys, source, "-o", out, "--id", "id", "--sort", "time", "--window", window, "--step", step,
                        "--min-window", "6" if window == "9" else "5h", "--horizon", horizon)
        assert code == 0, err
        table = pd.read_csv(out) if suffix == ".csv" else pd.read_parquet(out)
        size = (lambda text: int(text) if text.isdigit() else text)
        X, y = qb.roll(frame, FEATURES, size(window), size(step), min_window=size("6" if window == "9" else "5h"),
                       horizon=size(horizon), column_id="id", column_sort="time")
        assert list(table.columns) == ["id", "end", "x__target", "z__target"] + list(X.columns)
        assert list(pd.unique(table["id"])) == ["c", "a", "b"]
        expected = pd.concat([y, X], axis=1).loc[["c", "a", "b"]]
        assert np.array_equal(bits(table.iloc[:, 2:].to_numpy()), bits(expected.to_numpy()))
        assert [str(pd.Timestamp(t)) for t in table["end"]] == [str(t) for t in expected.index.get_level_values(1)]


def test_wide_windows_end_at_positions(tmp_path, capsys):
    rows = np.random.default_rng(2).normal(size=(3, 40))
    source, out = tmp_path / "wide.csv", tmp_path / "out.csv"
    pd.DataFrame(rows, index=["r", "s", "t"]).to_csv(source, header=False)
    code, err = run(capsys, source, "-o", out, "--window", "25", "--step", "6")
    assert code == 0, err
    table = pd.read_csv(out)
    matrix, names, where = qb.roll_array(rows, FEATURES, 25, 6)
    assert list(table.columns) == ["id", "end"] + names
    assert table["id"].tolist() == list(np.array(["r", "s", "t"])[where[:, 0]])
    assert table["end"].tolist() == where[:, 1].tolist() == [27, 33, 39] * 3
    assert np.array_equal(bits(table[names].to_numpy()), bits(matrix))


@pytest.mark.parametrize("argv, message", [
    (["--window", "0"], "window must be at least 1, got 0"),
    (["--window", "5", "--step", "0"], "step must be at least 1, got 0"),
    (["--window", "5", "--min-window", "6"], "min_window (6) must not exceed window (5)"),
    (["--window", "500"], "window (500) is longer than every series of {source}"),
    (["--window", "5", "--horizon", "1D"], "horizon '1D' is a time span, but window 5 is a count of points"),
    (["--step", "2"], "--step applies with --window only"),
    (["--window", "2D", "--sort", "n"], "window '2D' is a time span, but column_sort 'n' does not hold datetimes"
                                        " (int64)"),
    (["--window", "2D", "--sort", "day"], "a time window needs dates in the sort column 'day', which holds 'soon'"),
    (["--window", "2D", "--sort", "when"], "column_sort 'when' holds a time stamp twice for id 'b'"),
    (["--window", "2D"], "the time window '2D' needs --sort naming a column of dates"),
    (["--window", "5", "--label", "v", "--select"], "--select tests whole series: it does not apply with --window"),
])
def test_bad_window_options_exit_2_and_leave_nothing(tmp_path, capsys, argv, message):
    source = tmp_path / "long.csv"
    pd.DataFrame({"id": ["a"] * 4 + ["b"] * 4, "n": list(range(8)), "v": np.arange(8.0),
                  "day": [f"2020-01-0{d}" for d in range(1, 8)] + ["soon"],
                  "when": [f"2020-01-0{d}" for d in (1, 2, 3, 4, 1, 1, 3, 4)],
                  }).to_csv(source, index=False)
    code, err = run(capsys, source, "-o", tmp_path / "out.csv", "--id", "id", "--value", "v", *argv)
    assert code == 2
    assert err.strip() == f"quorlex-extract: error: {message.format(source=source)}"
    assert sorted(os.listdir(tmp_path)) == ["long.csv"]
