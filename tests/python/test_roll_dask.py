"""Dask rolling windows: series straddling partitions give the in-process
roll's rows bit for bit."""

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
pytest.importorskip("distributed")

import quorlex_batch as qb  # noqa: E402
from conftest import bits  # noqa: E402
from quorlex_batch import dask as qdask  # noqa: E402

FEATURES = ["DN_Mean", "CO_f1ecac", "SB_MotifThree_quantile_hh"]


def shuffled_frame():
    rng = np.random.default_rng(11)
    parts = [pd.DataFrame({"id": name, "time": pd.date_range("2022-01-01", periods=n, freq="30min", tz="UTC"),
                           "value": np.cumsum(rng.normal(size=n)), "kind": np.where(np.arange(n) % 4, "p", "q")})
             for name, n in ((3, 90), (1, 40), (2, 75))]
    return pd.concat(parts, ignore_index=True).sample(frac=1.0, random_state=2).reset_index(drop=True)


@pytest.mark.parametrize("window, step, horizon, kind", [(12, 5, 3, None), ("6h", "2h", "1h", "kind")])
def test_dask_roll_equals_roll_in_process(window, step, horizon, kind):
    frame = shuffled_frame()
    ddf = dd.from_pandas(frame, npartitions=4)
    value = "value" if kind is not None else None
    expected_X, expected_y = qb.roll(frame.drop(columns="kind") if kind is None else frame, FEATURES, window, step,
                                     horizon=horizon, column_id="id", column_sort="time", column_kind=kind,
                                     column_value=value)
    expected = (pd.concat([expected_y, expected_X], axis=1).reset_index().sort_values(["id", "end"], kind="stable")
                .set_index("id"))  # in process, ids come in the order the frame first gives them
    lazy = qdask.roll(ddf.drop(columns="kind") if kind is None else ddf, FEATURES, window, step, horizon=horizon,
                      column_id="id", column_sort="time", column_kind=kind, column_value=value)
    got = lazy.compute(scheduler="sync").reset_index().sort_values(["id", "end"]).set_index("id")
    assert list(got.columns) == list(expected.columns)
    assert list(got.index) == list(expected.index) and list(got["end"]) == list(expected["end"])
    np.testing.assert_array_equal(bits(got.iloc[:, 1:]), bits(expected.iloc[:, 1:]))


def test_dask_roll_refuses_bad_arguments_before_computing():
    ddf = dd.from_pandas(shuffled_frame().assign(time=np.arange(205)), npartitions=2)
    with pytest.raises(ValueError, match=r"^window '6h' is a time span, but column_sort 'time' does not hold"):
        qdask.roll(ddf, FEATURES, "6h", column_id="id", column_sort="time", column_kind="kind", column_value="value")
    with pytest.raises(ValueError, match=r"^step must be at least 1, got 0$"):
        qdask.roll(ddf, FEATURES, 5, 0, column_id="id", column_sort="time")
