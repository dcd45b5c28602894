"""quorlex_batch: every value equals the per-series quorlex run bit for bit on
real series and on every thread count; the front ends shape, name and refuse
input as documented."""

import os
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import quorlex as q
from conftest import bits, bundled

qb = pytest.importorskip("quorlex_batch")
pd = pytest.importorskip("pandas")

def real_series():
    """Windows of the bundled NOAA and BLS series at several lengths, plus
    degenerate series the sets must pass through."""
    series = [values[start:start + length] for _, values in bundled() for length in (24, 150)
              for start in range(0, min(len(values), 600) - length + 1, 150)]
    return series + [np.zeros(30), np.array([1.0, np.nan, 3.0] * 10), np.array([2.0]), np.empty(0)]


SERIES = real_series()
# The hctsa sets take milliseconds per series: checked on the short windows,
# a few long ones and the degenerate series.
FEW = ([i for i, y in enumerate(SERIES[:-4]) if len(y) != 150][::2] + [i for i, y in enumerate(SERIES) if len(y) == 150][:3]
       + list(range(len(SERIES) - 4, len(SERIES))))


def one_per_name(result):
    """The values of a set result as a table holds them: one per name, where the
    name first appears, the later value (as in the cumulative tables)."""
    last = {}
    for i, name in enumerate(result.names):
        last[name] = i
    return [result.values[i] for i in last.values()]


def per_series(function, *args, few=False, **kwargs):
    """Row per series; None where the per-series run fails internally (or
    where the set is only checked on FEW series)."""
    rows = []
    for i, y in enumerate(SERIES):
        try:
            rows.append(None if few and i not in FEW else one_per_name(function(y, *args, **kwargs)))
        except BaseException as failure:
            if type(failure).__name__ != "PanicException":
                raise
            rows.append(None)
    return rows


# Set -> the per-series run whose values it must reproduce.
REFERENCES = {
    "tsfeatures": lambda: per_series(q.tsfeatures_all_f),
    qb.FeatureSet("tsfeatures", freq=4, lags=3, demean=False, normalize=True):
        lambda: per_series(q.tsfeatures_all_f, True, 4, 3, False),
    qb.FeatureSet("tsfeatures", freq=None): lambda: per_series(q.tsfeatures_all_f, freq=None),
}


def catch22_reference(catch24):
    hctsa_names = q.compute_hctsa_parallel_f([1.0, 2.0], True).names
    modes = [hctsa_names.index("DN_HistogramMode_5"), hctsa_names.index("DN_HistogramMode_10")]
    rows = []
    for y in SERIES:
        if len(y):
            row = [q.compute_hctsa_parallel_f(y, True).values[k] for k in modes]
        else:  # the z-score of an empty series is empty
            row = [q.dn_histogrammode_5_f(y), q.dn_histogrammode_10_f(y)]
        row += q.catch22_all_f(y).values
        rows.append(row + ([q.dn_mean_arithmetic_f(y), q.dn_spread_std_f(y)] if catch24 else []))
    return rows


REFERENCES.update({
    "catch22": lambda: catch22_reference(False),
    "catch24": lambda: catch22_reference(True),
    "catchamouse16": lambda: [None if r is None else r[20:39] for r in per_series(q.combined_all_f)],
    "hctsa": lambda: per_series(q.compute_hctsa_parallel_f, True, few=True),
    qb.FeatureSet("hctsa", normalize=False): lambda: per_series(q.compute_hctsa_parallel_f, False, few=True),
    "combined": lambda: per_series(q.combined_all_f),
    qb.FeatureSet("combined", hctsa=True, catch24=True, freq=12, normalize=False):
        lambda: per_series(q.combined_all_f, False, True, True, True, 12, few=True),
})
COMPUTED = {}


@pytest.mark.parametrize("features", list(REFERENCES), ids=str)
@pytest.mark.parametrize("n_jobs", [1, 2, None])
def test_sets_equal_per_series_runs(features, n_jobs):
    if features not in COMPUTED:
        COMPUTED[features] = REFERENCES[features]()
    reference = COMPUTED[features]
    good = [i for i, row in enumerate(reference) if row is not None]
    failing = [i for i in FEW if reference[i] is None]
    matrix, names = qb.extract_array([SERIES[i] for i in good], features, n_jobs=n_jobs)
    assert matrix.shape == (len(good), len(names))
    assert np.array_equal(bits(matrix), bits([reference[i] for i in good]))
    # A series the per-series run fails on fails the batch the same way.
    for i in failing[:1]:
        with pytest.raises(BaseException) as caught:
            qb.extract_array([SERIES[0], SERIES[i]], features, n_jobs=n_jobs)
        assert type(caught.value).__name__ == "PanicException"


def test_catch24_replaces_pycatch22_value_for_value():
    pycatch22 = pytest.importorskip("pycatch22")
    matrix, names = qb.extract_array(SERIES[:-4], "catch24")
    for y, row in zip(SERIES[:-4], matrix):
        reference = pycatch22.catch22_all(y.tolist(), catch24=True)
        assert reference["names"] == names
        assert np.allclose(row, reference["values"], rtol=1e-6, atol=1e-9, equal_nan=True)


def test_single_features_by_name_equal_their_set_columns():
    series = [SERIES[i] for i in FEW if len(SERIES[i])]
    sources = {name: qb.extract_array(series, name) for name in ("catch24", "catchamouse16", "tsfeatures", "hctsa")}
    picked = ["entropy", "AC_NL_112", "DN_HistogramMode_5", "hurst", "AC_52", "entropy", "DN_Mean", "AC_1",
              "SY_DriftingMean50_min"]
    matrix, names = qb.extract_array(series, picked)
    assert names == list(dict.fromkeys(picked))  # "entropy", asked twice, is one column
    for k, name in enumerate(names):
        source, source_names = next(sources[s] for s in sources if name in sources[s][1])
        assert np.array_equal(bits(matrix[:, k]), bits(source[:, source_names.index(name)]))


def test_inputs_of_every_shape_give_the_same_rows():
    rows = np.array([y for y in SERIES if len(y) == 24])
    expected, names = qb.extract_array(rows, "tsfeatures")
    for data in (np.asfortranarray(rows), rows[:, ::-1][:, ::-1], rows.tolist(),
                 list(rows), (rows * 1).astype(object)):
        assert np.array_equal(bits(qb.extract_array(data, "tsfeatures")[0]), bits(expected))
    ints = np.arange(240).reshape(10, 24) % 7
    assert np.array_equal(bits(qb.extract_array(ints, "tsfeatures")[0]),
                          bits(qb.extract_array(ints.astype(float), "tsfeatures")[0]))
    # Cases x channels x length: features per channel, prefixed by the channel.
    cube = rows[:6].reshape(3, 2, 24)
    matrix, cube_names = qb.extract_array(cube, "tsfeatures")
    assert matrix.shape == (3, 28)
    assert cube_names[:2] == ["0__crossing_points", "0__flat_spots"] and cube_names[14] == "1__crossing_points"
    assert np.array_equal(bits(matrix.reshape(6, 14)), bits(expected[:6]))
    assert np.array_equal(bits(qb.extract_array([c for c in cube], "tsfeatures")[0]), bits(matrix))


def test_data_frames_long_and_wide():
    a, b, c = SERIES[0], SERIES[1], SERIES[2][:20]
    long = pd.DataFrame({
        "id": ["b"] * len(a) + ["a"] * len(b) + ["c"] * len(c),
        "time": np.concatenate([np.arange(len(a))[::-1], np.arange(len(b)), np.arange(len(c))]),
        "x": np.concatenate([a, b, c]),
    }).sample(frac=1.0, random_state=3)
    frame = qb.extract(long, "tsfeatures", column_id="id", column_sort="time", column_value="x")
    order = list(pd.unique(long["id"]))  # the ids in the order the shuffled frame first gives them
    assert sorted(order) == ["a", "b", "c"] and list(frame.index) == order and frame.index.name == "id"
    by_id = {"a": b, "b": a[::-1], "c": c}
    expected = qb.extract_array([by_id[i] for i in order], "tsfeatures")[0]
    assert np.array_equal(bits(frame.to_numpy()), bits(expected))
    # Each other column is a kind of its own, or the kind column says which.
    long["y"] = long["x"] * 2
    wide_kinds = qb.extract(long, ["entropy"], column_id="id", column_sort="time")
    assert list(wide_kinds.columns) == ["x__entropy", "y__entropy"]
    stacked = long.melt(id_vars=["id", "time"], var_name="kind", value_name="v")
    by_kind = qb.extract(stacked, ["entropy"], column_id="id", column_sort="time", column_kind="kind",
                         column_value="v")
    assert np.array_equal(bits(by_kind.to_numpy()), bits(wide_kinds.to_numpy()))
    # An id without rows of some kind gets NaN there.
    partial = qb.extract(stacked[~((stacked.id == "c") & (stacked.kind == "y"))], ["entropy"], column_id="id",
                         column_sort="time", column_kind="kind", column_value="v")
    assert np.isnan(partial.loc["c", "y__entropy"]) and not np.isnan(partial.loc["c", "x__entropy"])
    # Wide: one series per row, indexed like the frame.
    rows = pd.DataFrame(np.array([y for y in SERIES if len(y) == 24][:3]), index=["p", "q", "r"])
    wide = qb.extract(rows, "tsfeatures")
    assert list(wide.index) == ["p", "q", "r"]
    assert np.array_equal(bits(wide.to_numpy()), bits(qb.extract_array(rows.to_numpy(), "tsfeatures")[0]))
    numpy_frame = qb.extract(rows.to_numpy(), "tsfeatures")
    assert list(numpy_frame.index) == [0, 1, 2] and list(numpy_frame.columns) == qb.feature_names("tsfeatures")


@pytest.mark.parametrize("call, error, message", [
    (lambda: qb.extract(pd.DataFrame({"id": [1], "v": [1.0]}), column_id="ident"), ValueError,
     "column 'ident' is not in the data frame"),
    (lambda: qb.extract(pd.DataFrame({"id": [1], "v": [1.0]}), column_id="id", column_sort="t"), ValueError,
     "column 't' is not in the data frame"),
    (lambda: qb.extract(pd.DataFrame({"id": [1.0, np.nan], "v": [1.0, 2.0]}), column_id="id"), ValueError,
     "column 'id' holds NaN ids"),
    (lambda: qb.extract(pd.DataFrame({"id": [1], "v": ["a"]}), column_id="id"), ValueError,
     "column 'v' holds values that are not numbers"),
    (lambda: qb.extract(np.ones((2, 5)), column_id="id"), ValueError,
     "column_id, column_sort, column_value and column_kind apply to pandas data frames"),
    (lambda: qb.extract_array([np.ones((2, 5)), [[1.0, 2.0], [3.0]]]), ValueError,
     "item 1 is a 2-D request with mixed lengths: every channel of a case needs the same length"),
    (lambda: qb.extract_array(np.ones(5)), ValueError,
     "expected a 2-D array (one series per row) or a 3-D array (cases x channels x length), got 1 dimension"),
    (lambda: qb.extract_array([1.0, 2.0]), ValueError,
     "expected a sequence of series, got numbers: pass [y] for a single series"),
    (lambda: qb.extract_array(np.ones((2, 5)), "catch99"), ValueError, "unknown feature set 'catch99'"),
    (lambda: qb.extract_array(np.ones((2, 5)), ["entropy", "nope"]), ValueError, "unknown feature 'nope'"),
    (lambda: qb.FeatureSet("catchamouse16", freq=4), ValueError, "feature set 'catchamouse16' takes no option 'freq'"),
    (lambda: qb.FeatureSet("tsfeatures", lags=-1), ValueError, "option 'lags' must be a non-negative int below 2**64"),
    (lambda: qb.FeatureSet("tsfeatures", demean=1), TypeError, "option 'demean' must be True or False"),
    (lambda: qb.FeatureSet("tsfeatures", window=3), ValueError, "unknown option 'window'"),
    (lambda: qb.extract_array(np.ones((2, 5)), "tsfeatures", n_jobs=0), ValueError,
     "n_jobs must be positive, -1 or None, got 0"),
])
def test_clear_errors(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert str(caught.value).startswith(message)


def test_empty_batch_and_set_names():
    matrix, names = qb.extract_array(np.empty((0, 10)), "tsfeatures")
    assert matrix.shape == (0, 14) and names == qb.feature_names("tsfeatures")
    assert qb.sets() == ["catch22", "catch24", "catchamouse16", "tsfeatures", "hctsa", "combined", "catch22-v1",
                         "catch24-v1"]
    assert qb.FeatureSet("tsfeatures", freq=4) == qb.FeatureSet("tsfeatures", freq=4)
    assert repr(qb.FeatureSet("tsfeatures", freq=None)) == "FeatureSet('tsfeatures', freq=None)"


def test_engine_refuses_inconsistent_buffers():
    from quorlex_batch import _engine

    with pytest.raises(ValueError, match="offsets must rise from 0 to len"):
        _engine.run("tsfeatures", None, np.ones(5), np.array([0, 6]), 0, None)
    with pytest.raises(TypeError, match="argument 'values': expected an aligned, C-contiguous buffer of float64"):
        _engine.run("tsfeatures", None, np.ones(5, dtype=np.float32), np.array([0, 5]), 0, None)
    with pytest.raises(TypeError, match="argument 'offsets': expected an aligned, C-contiguous buffer of int64"):
        _engine.run("tsfeatures", None, np.ones(5), np.array([0, 5], dtype=np.int32), 0, None)
    with pytest.raises(ValueError, match="not C-contiguous"):
        _engine.run("tsfeatures", None, np.ones(10)[::2], np.array([0, 5]), 0, None)
    with pytest.raises(ValueError, match="every window must satisfy"):
        _engine.run_windows("catch24", None, np.ones(5), np.array([[2, 6]]), 0, None)
    with pytest.raises(TypeError, match="argument 'progress': 'int' object is not callable"):
        _engine.run("tsfeatures", None, np.ones(5), np.array([0, 5]), 0, 3)


def test_progress_bar_counts_every_series(capsys):
    pytest.importorskip("tqdm")
    qb.extract_array(SERIES[:50], "tsfeatures", progress=True)
    assert "50/50" in capsys.readouterr().err


def test_ctrl_c_stops_a_long_run_and_other_threads_run_meanwhile():
    from quorlex_batch import _engine

    # Tens of seconds of hctsa work in milliseconds per series. The SIGINT comes from
    # another thread, and only once the run is under way: the progress callback
    # (called by the waiting engine) has seen that thread tick meanwhile.
    long = np.random.default_rng(1).normal(size=(3000, 300))
    offsets = np.arange(0, long.size + 1, long.shape[1], dtype=np.int64)
    ticks = []
    armed, stop = threading.Event(), threading.Event()
    sent = []
    interrupts = []

    def tick():
        while not stop.is_set():
            ticks.append(1)
            if armed.is_set() and not sent:
                sent.append(time.monotonic())
                os.kill(os.getpid(), signal.SIGINT)
            time.sleep(0.001)

    def progress(count):
        if len(ticks) > started + 2:
            armed.set()

    def on_sigint(number, frame):
        interrupts.append(number)
        if len(interrupts) == 1:
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGINT, on_sigint)
    ticker = threading.Thread(target=tick)
    try:
        started = len(ticks)
        ticker.start()
        with pytest.raises(KeyboardInterrupt):
            _engine.run("hctsa", None, long.reshape(-1), offsets, 0, progress)
        answered = time.monotonic()
    finally:
        stop.set()
        ticker.join()
        signal.signal(signal.SIGINT, previous)
    assert len(sent) == 1 and answered - sent[0] < 5.0
    assert len(ticks) > started + 2
    # The pool is usable afterwards.
    assert qb.extract_array(long[:3], ["entropy"])[0].shape == (3, 1)


def test_scikit_learn_transformer_follows_the_estimator_rules():
    pytest.importorskip("sklearn")
    from sklearn.base import clone

    X = np.array([y for y in SERIES if len(y) == 150])
    seasonal = qb.FeatureSet("tsfeatures", freq=7)
    transformer = qb.FeatureTransformer(seasonal, n_jobs=2)
    copy = clone(transformer)
    assert copy.get_params() == transformer.get_params() and copy is not transformer
    assert np.array_equal(bits(transformer.fit(X).transform(X)), bits(qb.extract_array(X, seasonal)[0]))
    assert list(transformer.get_feature_names_out()).count("seas_pacf") == 1
    frame = qb.FeatureTransformer(["entropy"]).set_output(transform="pandas").fit_transform(X[:3])
    assert list(frame.columns) == ["entropy"]


def test_stubs_match_the_module(tmp_path):
    stub = Path(q.__file__).with_name("quorlex.pyi")
    script = Path(__file__).resolve().parents[2] / "scripts" / "make_stubs.py"
    fresh = tmp_path / "quorlex.pyi"
    subprocess.run([sys.executable, str(script), str(fresh)], check=True)
    assert fresh.read_text() == stub.read_text(), "quorlex.pyi is stale: rerun scripts/make_stubs.py"


def test_mypy_strict_accepts_typical_use_and_catches_misuse(tmp_path):
    pytest.importorskip("mypy")
    typing_dir = Path(__file__).resolve().parent / "typing"
    site = Path(q.__file__).parent
    env = dict(os.environ)
    if "site-packages" not in str(site):  # a build tree: installed stubs are found without help
        env["MYPYPATH"] = str(site)
    cache = Path(__file__).resolve().parents[2] / "build" / "mypy-cache"

    def mypy(*targets):
        return subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir", str(cache), *targets],
                              capture_output=True, text=True, env=env, cwd=tmp_path)

    for targets in ([str(typing_dir / "uses_quorlex.py")], ["-p", "quorlex_batch"]):
        good = mypy(*targets)
        assert good.returncode == 0, good.stdout + good.stderr
    bad = mypy(str(typing_dir / "misuses_quorlex.py"))
    lines = {int(line.split(":")[1]) for line in bad.stdout.splitlines() if ": error:" in line}
    marked = {i for i, line in enumerate((typing_dir / "misuses_quorlex.py").read_text().splitlines(), 1)
              if "# E:" in line}
    assert lines == marked, bad.stdout
