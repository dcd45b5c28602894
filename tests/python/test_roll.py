"""Rolling windows: every row equals extract on that window's values bit for
bit, for count and time windows, channels and kinds; windows are placed from
the end of each series; targets line up; bad arguments are refused clearly."""

import time

import numpy as np
import pytest

import quorlex as q
from conftest import bits

qb = pytest.importorskip("quorlex_batch")
pd = pytest.importorskip("pandas")


def random_series(seed, count, low, high):
    """Random walks, white noise and a constant stretch, of random lengths."""
    rng = np.random.default_rng(seed)
    out = []
    for i in range(count):
        n = int(rng.integers(low, high))
        y = [np.cumsum(rng.normal(size=n)), rng.normal(size=n), np.repeat(rng.normal(), n)][i % 3]
        out.append(y)
    return out


def expected(series, rows, window, features):
    """extract on the windows of the given (series, end position) rows."""
    windows = [series[s][max(0, e - window + 1):e + 1] for s, e in rows]
    return qb.extract_array(windows, features)[0]


@pytest.mark.parametrize("features", qb.sets())
def test_count_windows_equal_extract_on_the_window_for_every_set(features):
    slow = features in ("hctsa", "combined")
    series = random_series(7, 3 if slow else 6, 30, 90)
    rng = np.random.default_rng(3)
    window, step = int(rng.integers(12, 30)), int(rng.integers(1, 9))
    matrix, names, rows = qb.roll_array(series, features, window, step, min_window=5, n_jobs=2)
    assert names == qb.feature_names(features) and matrix.shape == (len(rows), len(names))
    picked = np.sort(rng.choice(len(rows), size=min(len(rows), 4 if slow else 40), replace=False))
    assert np.array_equal(bits(matrix[picked]), bits(expected(series, rows[picked], window, features)))


def test_rows_equal_the_per_series_function():
    y = random_series(1, 1, 200, 201)[0]
    matrix, names, rows = qb.roll_array(y, "catch22", 50, 13)
    k = names.index("CO_f1ecac")
    for (_, end), row in zip(rows, matrix):
        reference = q.catch22_all_f(y[end - 49:end + 1])
        assert bits(row[k]) == bits(reference.values[reference.names.index("CO_f1ecac")])


def test_every_input_shape_and_thread_count_gives_the_same_rows():
    series = random_series(2, 4, 60, 61)
    block = np.array(series)
    reference, names, rows = qb.roll_array(series, "catch24", 20, 7)
    for data in (block, list(block), pd.DataFrame(block)):
        for n_jobs in (1, 2, None):
            frame = qb.roll(data, "catch24", 20, 7, n_jobs=n_jobs)
            assert np.array_equal(bits(frame.to_numpy()), bits(reference))
    assert list(frame.index) == [tuple(r) for r in rows.tolist()] and frame.index.names == ["id", "end"]
    # Cases x channels x length: the windows of a case line up across its channels.
    cube = block.reshape(2, 2, 60)
    matrix, cube_names, cube_rows = qb.roll_array(cube, ["DN_Mean", "SB_MotifThree_quantile_hh"], 20, 7)
    assert cube_names == ["0__DN_Mean", "0__SB_MotifThree_quantile_hh", "1__DN_Mean", "1__SB_MotifThree_quantile_hh"]
    per_channel = qb.roll_array(series, ["DN_Mean", "SB_MotifThree_quantile_hh"], 20, 7)[0]
    assert np.array_equal(bits(matrix), bits(per_channel.reshape(2, 2, -1, 2).transpose(0, 2, 1, 3).reshape(-1, 4)))
    assert cube_rows.tolist() == rows[rows[:, 0] < 2].tolist()


def irregular_frame(seed):
    """Two ids, two kinds with different time stamps, rows shuffled."""
    rng = np.random.default_rng(seed)
    parts = []
    for name, n in (("p", 80), ("q", 45)):
        for kind in ("u", "v"):
            gaps = rng.integers(1, 6, size=n)
            times = pd.Timestamp("2021-03-01") + pd.to_timedelta(np.cumsum(gaps), unit="h")
            parts.append(pd.DataFrame({"id": name, "kind": kind, "time": times,
                                       "value": np.cumsum(rng.normal(size=n))}))
    return pd.concat(parts).sample(frac=1.0, random_state=seed)


def test_time_windows_of_kinds_equal_extract_on_the_points_they_hold():
    frame = irregular_frame(4)
    features = ["DN_Mean", "CO_f1ecac", "DN_HistogramMode_10"]
    span, step = pd.Timedelta("20h"), pd.Timedelta("7h")
    X, y = qb.roll(frame, features, "20h", "7h", min_window="10h", horizon="3h", column_id="id",
                   column_sort="time", column_kind="kind", column_value="value")
    assert list(X.columns) == [f"{k}__{f}" for k in ("u", "v") for f in features]
    assert list(y.columns) == ["u__target", "v__target"] and y.index.equals(X.index)
    for (name, kind), group in frame.groupby(["id", "kind"]):
        group = group.sort_values("time")
        times, values = group["time"].to_numpy(), group["value"].to_numpy()
        last, first = times[-1], times[0]
        ends = [last - k * step for k in range(1000) if last - k * step - first >= pd.Timedelta("10h")]
        windows = [values[(times > t - span) & (times <= t)] for t in ends]
        kept = [(t, w) for t, w in zip(ends, windows) if len(w)][::-1]
        got = X.xs(name)[[f"{kind}__{f}" for f in features]].dropna(how="all")
        assert list(got.index) == [t for t, _ in kept]
        assert np.array_equal(bits(got.to_numpy()), bits(qb.extract_array([w for _, w in kept], features)[0]))
        targets = y.xs(name)[f"{kind}__target"].loc[got.index].to_numpy()
        for t, target in zip(got.index, targets):
            due = t + pd.Timedelta("3h")
            want = values[times <= due][-1] if due <= last else np.nan
            assert bits(target) == bits(want)


def test_count_windows_of_long_frames_end_at_sort_values_and_value_columns_share_rows():
    rng = np.random.default_rng(5)
    frame = pd.DataFrame({"id": np.repeat(["a", "b"], 30), "t": np.r_[np.arange(30) * 2, np.arange(30) * 3],
                          "x": rng.normal(size=60), "z": rng.normal(size=60)}).sample(frac=1.0, random_state=1)
    X, y = qb.roll(frame, ["DN_Spread_Std"], 10, 4, column_id="id", column_sort="t", horizon=1)
    assert list(X.columns) == ["x__DN_Spread_Std", "z__DN_Spread_Std"]
    b = frame[frame.id == "b"].sort_values("t")
    assert list(X.xs("b").index) == list(b.t.to_numpy()[[9, 13, 17, 21, 25, 29]]) == [27, 39, 51, 63, 75, 87]
    assert np.array_equal(bits(X.xs("b").to_numpy()[:, 1]),
                          bits([qb.extract_array([b.z.to_numpy()[e - 9:e + 1]], ["DN_Spread_Std"])[0][0, 0]
                                for e in (9, 13, 17, 21, 25, 29)]))
    assert np.array_equal(bits(y.xs("b")["z__target"]), bits(np.r_[b.z.to_numpy()[[10, 14, 18, 22, 26]], np.nan]))
    # Zoned datetimes as the sort column: count windows end at those stamps.
    zoned = frame.assign(t=pd.Timestamp("2020-01-01", tz="Europe/Paris") + pd.to_timedelta(frame.t, unit="D"))
    Z = qb.roll(zoned, ["DN_Spread_Std"], 10, 4, column_id="id", column_sort="t")
    assert np.array_equal(bits(Z.to_numpy()), bits(X.to_numpy()))
    assert Z.xs("b").index[0] == pd.Timestamp("2020-01-28", tz="Europe/Paris")


def test_placement_from_the_end_min_window_and_short_series():
    series = [np.arange(23.0), np.arange(4.0), np.arange(9.0)]
    # The last window ends at the last point; earlier ones every step before it,
    # and a stretch at the start shorter than the step is left out.
    assert qb.roll_array(series, ["DN_Mean"], 5, 10)[2].tolist() == [[0, 12], [0, 22], [2, 8]]
    # A series shorter than the window has no rows; the others are unaffected.
    assert qb.roll_array(series, ["DN_Mean"], 6, 3)[2].tolist() == [[0, 7], [0, 10], [0, 13], [0, 16], [0, 19],
                                                                     [0, 22], [2, 5], [2, 8]]
    # min_window lets windows grow at the start; with step 1 every prefix is there.
    matrix, _, rows = qb.roll_array(series, ["DN_Mean"], 6, 1, min_window=1)
    assert len(rows) == 23 + 4 + 9
    assert matrix[:6, 0].tolist() == [np.mean(np.arange(k + 1.0)) for k in range(6)]
    assert matrix[6, 0] == np.mean(np.arange(1.0, 7.0))
    assert qb.roll_array(series, ["DN_Mean"], 6, 4, min_window=3)[2].tolist()[-3:] == [[1, 3], [2, 4], [2, 8]]


def test_horizon_lines_up_by_hand():
    values = np.arange(10.0) * 10
    X, y = qb.roll(values, ["DN_Mean"], 3, 2, horizon=2)
    assert list(X.index) == [(0, 3), (0, 5), (0, 7), (0, 9)]
    assert X["DN_Mean"].tolist() == [20.0, 40.0, 60.0, 80.0]
    assert y.name == "target" and y.tolist()[:3] == [50.0, 70.0, 90.0] and np.isnan(y.iloc[3])
    matrix, _, rows, target = qb.roll_array(values, ["DN_Mean"], 3, 2, horizon=1)
    assert target[:3].tolist() == [40.0, 60.0, 80.0] and np.isnan(target[3])
    days = pd.DataFrame({"id": 1, "day": pd.date_range("2022-05-01", periods=10), "v": values})
    X, y = qb.roll(days, ["DN_Mean"], "3D", "2D", horizon="2D", column_id="id", column_sort="day",
                   column_value="v")
    assert [t.day for t in X.xs(1).index] == [4, 6, 8, 10]
    assert X["DN_Mean"].tolist() == [20.0, 40.0, 60.0, 80.0]
    assert y.tolist()[:3] == [50.0, 70.0, 90.0] and np.isnan(y.iloc[3])


def test_progress_counts_every_window_and_an_interruption_stops_the_run(capsys):
    pytest.importorskip("tqdm")
    qb.roll_array(np.arange(100.0), ["DN_Mean"], 10, 3, progress=True)
    assert "31/31" in capsys.readouterr().err
    # Ctrl-C reaches the run as the progress report does: raised from the
    # first report, once windows are known to be running, it stops the rest.
    from quorlex_batch import _engine

    y = np.cumsum(np.random.default_rng(0).normal(size=200_000))
    ends = np.arange(1000, len(y) + 1, 10)
    windows = np.stack([ends - 1000, ends], axis=1)
    reports = []

    def interrupt(count):
        reports.append(count)
        raise KeyboardInterrupt

    start = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        _engine.run_windows("catch24", None, y, windows, 1, interrupt)
    assert len(reports) == 1 and reports[0] < len(windows) // 4
    assert time.perf_counter() - start < 10.0


DAYS = pd.DataFrame({"id": ["a"] * 6 + ["b"] * 4, "t": list(pd.date_range("2020-01-01", periods=6)) * 1
                     + list(pd.date_range("2020-01-01", periods=4)), "v": np.arange(10.0)})


@pytest.mark.parametrize("call, error, message", [
    (lambda: qb.roll_array(np.ones(9), "catch22", 0), ValueError, "window must be at least 1, got 0"),
    (lambda: qb.roll(np.ones(9), "catch22", 3, step=0), ValueError, "step must be at least 1, got 0"),
    (lambda: qb.roll(np.ones(9), "catch22", 3, min_window=4), ValueError, "min_window (4) must not exceed window (3)"),
    (lambda: qb.roll(np.ones(9), "catch22", 3, horizon=0), ValueError, "horizon must be at least 1, got 0"),
    (lambda: qb.roll(np.ones(9), "catch22", 3.5), TypeError,
     "window must be an int (a count of points) or a time span, got float"),
    (lambda: qb.roll([np.ones(4), np.ones(6)], "catch22", 7), ValueError,
     "window (7) is longer than every series (the longest has 6 points)"),
    (lambda: qb.roll_array([np.ones(4)], "catch22", 7, min_window=5), ValueError,
     "min_window (5) is longer than every series (the longest has 4 points)"),
    (lambda: qb.roll(DAYS, "catch22", "9D", column_id="id", column_sort="t"), ValueError,
     "window '9D' is longer than every series (the longest spans 5 days 00:00:00)"),
    (lambda: qb.roll(DAYS.assign(t=np.arange(10)), "catch22", "2D", column_id="id", column_sort="t"), ValueError,
     "window '2D' is a time span, but column_sort 't' does not hold datetimes (int64)"),
    (lambda: qb.roll(DAYS, "catch22", "2D", column_id="id"), ValueError,
     "window '2D' is a time span: name a datetime column in column_sort"),
    (lambda: qb.roll_array(np.ones((2, 9)), "catch22", "2D"), ValueError,
     "window '2D' is a time span: time windows need a data frame whose column_sort holds datetimes"),
    (lambda: qb.roll(DAYS, "catch22", "2D", "2", column_id="id", column_sort="t"), ValueError,
     "step '2' is neither a count of points nor a time span"),
    (lambda: qb.roll(DAYS, "catch22", "2D", min_window="3D", column_id="id", column_sort="t"), ValueError,
     "min_window ('3D') must not exceed window ('2D')"),
    (lambda: qb.roll(DAYS, "catch22", "2D", horizon=1, column_id="id", column_sort="t"), ValueError,
     "horizon must be a time span with a time window, got 1"),
    (lambda: qb.roll(DAYS, "catch22", 2, "1D", column_id="id", column_sort="t"), ValueError,
     "step '1D' is a time span, but window 2 is a count of points"),
    (lambda: qb.roll(DAYS, "catch22", "-2D", column_id="id", column_sort="t"), ValueError,
     "window must be a positive time span, got '-2D'"),
    (lambda: qb.roll(DAYS, "catch22", "soon", column_id="id", column_sort="t"), ValueError,
     "window 'soon' is neither a count of points nor a time span"),
    (lambda: qb.roll(DAYS.assign(t=DAYS.t.where(DAYS.index != 7)), "catch22", "2D", column_id="id",
                     column_sort="t"), ValueError, "column_sort 't' holds NaN time stamps for id 'b'"),
    (lambda: qb.roll(DAYS.assign(t=DAYS.t.where(DAYS.index != 3, DAYS.t[2])), "catch22", "2D", column_id="id",
                     column_sort="t"), ValueError, "column_sort 't' holds a time stamp twice for id 'a'"),
    (lambda: qb.roll(DAYS.assign(t=[1, 2, 3, 3, 4, 5, 1, 2, 3, 4]), "catch22", 2, column_id="id",
                     column_sort="t"), ValueError, "column_sort 't' holds a time stamp twice for id 'a'"),
    (lambda: qb.roll(np.ones((2, 9)), "catch22", 2, column_id="id"), ValueError,
     "column_id, column_sort, column_value and column_kind apply to pandas data frames"),
])
def test_clear_errors(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert str(caught.value) == message


def test_nothing_to_roll_is_no_error():
    frame, names, rows = qb.roll_array(np.empty((0, 5)), "catch22", 3)
    assert frame.shape == (0, 22) and rows.shape == (0, 2)
    assert qb.roll(DAYS.iloc[:0], ["DN_Mean"], "2D", column_id="id", column_sort="t").shape == (0, 1)
