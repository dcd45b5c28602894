"""quorlex-extract: what pandas writes comes out with the right rows, a first line
that could be a header or a series stops the command, and features two requests
share are one column."""

import os
import subprocess
import sys

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
pytest.importorskip("pyarrow")

import quorlex_batch as qb  # noqa: E402
from conftest import bits  # noqa: E402
from quorlex_batch import cli  # noqa: E402

RNG = np.random.default_rng(19)
LONG = pd.DataFrame({"id": np.repeat(["b", "a", "c"], 30), "time": np.tile(np.arange(30), 3),
                     "value": RNG.normal(size=90)})
SERIES = [LONG.value[LONG.id == name].to_numpy() for name in ("b", "a", "c")]


def run(capsys, *argv):
    code = cli.main([str(a) for a in argv])
    return code, capsys.readouterr().err


def table(capsys, source, out, *argv):
    code, err = run(capsys, source, "-o", out, "--quiet", *argv)
    assert code == 0, err
    return pd.read_csv(out, index_col=0)


def expect(frame, ids, series, features="catch24", prefix=""):
    matrix, names = qb.extract_array(series, features)
    assert [str(i) for i in frame.index] == [str(i) for i in ids]
    assert list(frame.columns) == [prefix + name for name in names]
    np.testing.assert_array_equal(bits(frame), bits(matrix))


@pytest.mark.parametrize("write", [
    lambda path: LONG.pivot(index="id", columns="time", values="value").loc[["b", "a", "c"]].to_csv(path),
    lambda path: path.write_bytes(b"\xef\xbb\xbf" + LONG.pivot(index="id", columns="time", values="value")
                                  .loc[["b", "a", "c"]].to_csv(lineterminator="\r\n").replace("\r\n", "\r\n\r\n")
                                  .encode()),
], ids=["pivot", "pivot-bom-crlf-blank-lines"])
def test_pandas_wide_files_give_one_row_per_series(tmp_path, capsys, write):
    source = tmp_path / "wide.csv"
    write(source)
    expect(table(capsys, source, tmp_path / "out.csv"), ["b", "a", "c"], SERIES)
    expect(table(capsys, source, tmp_path / "by_id.csv", "--id", "id"), ["b", "a", "c"], SERIES)


def test_pandas_array_frames_with_and_without_index(tmp_path, capsys):
    matrix = np.vstack(SERIES)
    indexed, bare = tmp_path / "indexed.csv", tmp_path / "bare.csv"
    pd.DataFrame(matrix).to_csv(indexed)  # ",0,1,2,..." and the row index first
    pd.DataFrame(matrix).to_csv(bare, index=False)  # "0,1,2,..."
    expect(table(capsys, indexed, tmp_path / "a.csv"), [0, 1, 2], SERIES)
    expect(table(capsys, bare, tmp_path / "b.csv"), [0, 1, 2], SERIES)


def test_pandas_long_file_with_its_index_column(tmp_path, capsys):
    source = tmp_path / "long.csv"
    LONG.to_csv(source)  # ",id,time,value"
    frame = table(capsys, source, tmp_path / "out.csv", "--id", "id", "--sort", "time")
    expect(frame, ["b", "a", "c"], SERIES, prefix="value__")  # every other column: here "value" alone


def test_ambiguous_first_line_stops_and_the_options_decide(tmp_path, capsys):
    source = tmp_path / "t.csv"
    source.write_text("a,1,2,3,x,5\nb,1,2,3,4,5\n")
    out = tmp_path / "o.csv"
    code, err = run(capsys, source, "-o", out)
    assert (code, err) == (2, f"quorlex-extract: error: {source}: line 1 (a,1,2,3,x,5) could name the columns or"
                              " hold a series: pass --header or --no-header\n")
    code, err = run(capsys, source, "-o", out, "--no-header")
    assert (code, err) == (2, f"quorlex-extract: error: {source}, line 1: column 5 holds 'x', which is not a"
                              " number\n")
    assert not out.exists()
    expect(table(capsys, source, out, "--header", "--features", "crossing_points"), ["b"],
           [np.arange(1.0, 6.0)], ["crossing_points"])

    # Names before rising whole numbers: time steps from 1, or a series of counts.
    source.write_text("id,1,2,3,4\nx,0.5,0.25,0.75,1.5\n")
    os.unlink(out)
    code, err = run(capsys, source, "-o", out)
    assert code == 2 and err.endswith("pass --header or --no-header\n")
    expect(table(capsys, source, out, "--header", "--features", "crossing_points"), ["x"],
           [np.array([0.5, 0.25, 0.75, 1.5])], ["crossing_points"])
    expect(table(capsys, source, tmp_path / "o2.csv", "--no-header", "--features", "crossing_points"), ["id", "x"],
           [np.arange(1.0, 5.0), np.array([0.5, 0.25, 0.75, 1.5])], ["crossing_points"])


def test_header_options_are_checked(tmp_path, capsys):
    source = tmp_path / "plain.csv"
    source.write_text("1.5,2.5,3.5\n")
    code, err = run(capsys, source, "-o", tmp_path / "o.csv", "--id", "id")
    assert (code, err) == (2, f"quorlex-extract: error: {source} has no header line, so --id and --label cannot"
                              " name a column (pass --header if line 1 names the columns)\n")
    code, err = run(capsys, source, "-o", tmp_path / "o.csv", "--format", "long", "--id", "a", "--no-header")
    assert code == 2 and "--no-header applies to wide input" in err
    with pytest.raises(SystemExit):
        cli.main([str(source), "-o", str(tmp_path / "o.csv"), "--header", "--no-header"])
    capsys.readouterr()


def test_long_file_read_as_wide_is_refused(tmp_path, capsys):
    source = tmp_path / "long.csv"
    LONG.to_csv(source, index=False)
    code, err = run(capsys, source, "-o", tmp_path / "o.csv")
    assert (code, err) == (2, f"quorlex-extract: error: {source}, line 3: id 'b' is also on line 2; a file with"
                              " one value per line is long: pass --format long with --sort or --value\n")


def test_a_feature_two_requests_give_is_one_column(tmp_path, capsys):
    source = tmp_path / "wide.csv"
    LONG.pivot(index="id", columns="time", values="value").loc[["b", "a", "c"]].to_csv(source)
    frame = table(capsys, source, tmp_path / "out.csv", "--features", "catch24,hctsa,DN_HistogramMode_5")
    catch24, names24 = qb.extract_array(SERIES, "catch24")
    hctsa, names512 = qb.extract_array(SERIES, "hctsa")
    kept = [i for i, name in enumerate(names512) if name not in names24]
    assert list(frame.columns) == names24 + [names512[i] for i in kept]
    np.testing.assert_array_equal(bits(frame), bits(np.hstack([catch24, hctsa[:, kept]])))

    # Long files with kinds get the same rule.
    long = tmp_path / "long.csv"
    LONG.assign(other=2.0 * LONG.value).to_csv(long, index=False)
    frame = table(capsys, long, tmp_path / "kinds.csv", "--id", "id", "--sort", "time", "--features",
                  "catch22,catch24")
    assert len(frame.columns) == len(set(frame.columns)) == 2 * 24


def test_two_features_under_one_name_are_refused(tmp_path, capsys):
    source = tmp_path / "wide.csv"
    LONG.pivot(index="id", columns="time", values="value").to_csv(source)
    code, err = run(capsys, source, "-o", tmp_path / "o.csv", "--features", "tsfeatures,combined")
    assert code == 2
    assert err.startswith("quorlex-extract: error: two different features are named ")
    assert err.endswith(": one from 'tsfeatures', one from 'combined'\n")


def test_rows_come_in_input_order_in_extract_and_the_command_line(tmp_path, capsys):
    source = tmp_path / "long.csv"
    LONG.to_csv(source, index=False)
    frame = table(capsys, source, tmp_path / "out.csv", "--id", "id", "--sort", "time", "--value", "value")
    in_process = qb.extract(LONG, "catch24", column_id="id", column_sort="time", column_value="value")
    assert list(frame.index) == list(in_process.index) == ["b", "a", "c"]
    np.testing.assert_array_equal(bits(frame), bits(in_process))


def test_progress_total_is_known_before_the_first_chunk_runs(tmp_path, capsys, monkeypatch):
    seen = []

    class Bar:
        n = 0
        total = None

        def update(self, count):
            seen.append(("update", self.total))
            self.n += count

        def refresh(self):
            pass

        def close(self):
            pass

    monkeypatch.setattr(cli, "_progress", lambda quiet: Bar())
    monkeypatch.setattr(cli, "WIDE_ROWS", 2)
    source = tmp_path / "wide.csv"
    pd.DataFrame(RNG.normal(size=(6, 20))).to_csv(source, index=False)
    assert run(capsys, source, "-o", tmp_path / "o.csv", "--features", "crossing_points")[0] == 0
    assert seen[0] == ("update", 6)


def without(module, code):
    """Runs code in a fresh interpreter in which `module` cannot be imported."""
    script = f"import sys\nsys.modules[{module!r}] = None\n{code}"
    return subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)


def test_missing_extras_are_named(tmp_path):
    done = without("pandas", "import quorlex_batch\ntry:\n    quorlex_batch.extract\n"
                             "except ImportError as error:\n    print(error)")
    assert done.stdout == "this part of quorlex_batch needs pandas: pip install 'quorlex[pandas]'\n", done.stderr
    done = without("pandas", "from quorlex_batch import cli\nsys.exit(cli.main(['x.csv', '-o', 'y.csv']))")
    assert (done.returncode, done.stderr) == (
        2, "quorlex-extract: error: the command line needs pandas: pip install 'quorlex[cli]'\n")
    done = without("tqdm", "import numpy, quorlex_batch\ntry:\n"
                           "    quorlex_batch.extract_array(numpy.ones((2, 9)), progress=True)\n"
                           "except ImportError as error:\n    print(error)")
    assert done.stdout == "this part of quorlex_batch needs tqdm: pip install 'quorlex[progress]'\n", done.stderr
    done = without("dask", "try:\n    import quorlex_batch.dask\nexcept ImportError as error:\n    print(error)")
    assert done.stdout == "this part of quorlex_batch needs dask: pip install 'quorlex[dask]'\n", done.stderr
    source = tmp_path / "in.csv"
    source.write_text("1,2,3,5\n4,3,2,7\n")
    done = without("tqdm", f"from quorlex_batch import cli\nsys.exit(cli.main([{str(source)!r}, '-o',"
                           f" {str(tmp_path / 'out.csv')!r}, '--features', 'crossing_points']))")
    assert (done.returncode, done.stderr) == (0, "")
    assert pd.read_csv(tmp_path / "out.csv", index_col=0).shape == (2, 1)


def generated_file(path, seed):
    """A CSV file as pandas writes it, long or wide, with or without its index,
    line endings, byte order mark, blank lines and missing cells varied; and
    the ids and series it holds, in file order."""
    rng = np.random.default_rng(seed)
    count = int(rng.integers(1, 6))
    ids = [f"s{i}" for i in rng.permutation(count)] if rng.random() < 0.5 else list(rng.permutation(count) * 10)
    lengths = rng.integers(3, 40, size=count)
    long = pd.DataFrame({"id": np.repeat(ids, lengths), "time": np.concatenate([np.arange(n) for n in lengths]),
                         "value": rng.normal(size=int(lengths.sum()))})
    long.loc[rng.random(len(long)) < 0.05, "value"] = np.nan
    layout = ["long", "long-index", "pivot", "array", "array-index"][seed % 5]
    if layout.startswith("long"):
        text = long.to_csv(index=layout == "long-index")
        series = [long.value[long.id == i].to_numpy() for i in ids]
        argv = ["--id", "id", "--sort", "time", "--value", "value"]
    else:
        wide = long.pivot(index="id", columns="time", values="value").loc[ids]
        series = list(wide.to_numpy())
        if layout == "pivot":
            text = wide.to_csv()
        else:
            text = pd.DataFrame(wide.to_numpy()).to_csv(index=layout == "array-index")
            ids = list(range(count))
        argv = []
    if rng.random() < 0.3:
        text = text.replace("\n", "\n\n")
    data = text.replace("\n", "\r\n" if rng.random() < 0.5 else "\n").encode()
    path.write_bytes((b"\xef\xbb\xbf" if rng.random() < 0.3 else b"") + data)
    return argv, ids, series


@pytest.mark.parametrize("seed", range(40))
def test_generated_pandas_files_give_every_series_once(tmp_path, capsys, seed):
    source = tmp_path / "in.csv"
    argv, ids, series = generated_file(source, seed)
    frame = table(capsys, source, tmp_path / "out.csv", "--features", "crossing_points,flat_spots", *argv)
    expect(frame, ids, series, ["crossing_points", "flat_spots"])
