"""Dask front end: a LocalCluster run equals the in-process extract bit for bit."""

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import quorlex_batch as qb  # noqa: E402
from conftest import bits, bundled  # noqa: E402
from quorlex_batch import dask as qdask  # noqa: E402

FEATURES = "catch24"


def long_frame(length=300):
    """The bundled series in long format, rows shuffled so that every series
    straddles partitions, a kind column, and a tie in the sort column."""
    frame = pd.concat([pd.DataFrame({"id": name, "time": np.arange(len(y)), "value": y,
                                     "kind": np.where(np.arange(len(y)) % 3 == 0, "x", "y")})
                       for name, y in ((name, values[:length]) for name, values in bundled())], ignore_index=True)
    frame.loc[1, "time"] = 0  # ties keep input order
    return frame.sample(frac=1.0, random_state=7).reset_index(drop=True)


def same_bits(got, expected):
    got, expected = got.sort_index(), expected.sort_index()  # across partitions the order is not the input's
    assert list(got.index) == list(expected.index)
    assert list(got.columns) == list(expected.columns)
    np.testing.assert_array_equal(bits(got), bits(expected))


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0",
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        yield client


def test_local_cluster_equals_in_process_extract(client):
    frame = long_frame()
    ddf = dd.from_pandas(frame, npartitions=5)
    for options in (dict(column_sort="time", column_value="value"), dict(column_value="value"),  # input order
                    dict(column_sort="time", column_value="value", column_kind="kind")):
        lazy = qdask.extract(ddf, FEATURES, column_id="id", **options)
        assert isinstance(lazy, dd.DataFrame)
        expected = qb.extract(frame, FEATURES, column_id="id", **options)
        assert list(lazy.columns) == list(expected.columns)  # known before computing
        same_bits(client.compute(lazy).result(), expected)
    # Every other column a kind of its own: value, and kind, which holds text.
    lazy = qdask.extract(ddf, FEATURES, column_id="id", column_sort="time")
    with pytest.raises(ValueError, match="column 'kind' holds values that are not numbers"):
        client.compute(lazy).result()


def test_indexed_by_id_runs_without_shuffle(client):
    frame = long_frame(length=120)
    # from_pandas(sort=True) never splits an index value between partitions: no shuffle needed.
    ddf = dd.from_pandas(frame.sort_values(["id", "time"]).set_index("id"), npartitions=4, sort=True)
    lazy = qdask.extract(ddf, "catchamouse16", column_id="id", column_sort="time", column_value="value")
    assert not any("shuffle" in str(key) for key in lazy.__dask_graph__())
    same_bits(client.compute(lazy).result(),
              qb.extract(frame, "catchamouse16", column_id="id", column_sort="time", column_value="value"))


def test_empty_partitions_and_errors(client):
    frame = long_frame(length=50)
    few = frame[frame["id"].isin(frame["id"].unique()[:2])]
    ddf = dd.from_pandas(few, npartitions=6)
    got = client.compute(qdask.extract(ddf, ["crossing_points"], column_id="id", column_sort="time",
                                       column_value="value")).result()
    same_bits(got, qb.extract(few, ["crossing_points"], column_id="id", column_sort="time", column_value="value"))
    with pytest.raises(ValueError, match="^column 'level' is not in the data frame$"):
        qdask.extract(ddf, FEATURES, column_id="id", column_value="level")
    with pytest.raises(TypeError, match="^expected a Dask DataFrame, got DataFrame$"):
        qdask.extract(few, FEATURES, column_id="id")
