"""quorlex-extract: layouts and formats, chunking, and refusals that leave nothing behind."""

import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
pytest.importorskip("pyarrow")
pytest.importorskip("tqdm")

import quorlex_batch as qb  # noqa: E402
from conftest import SERIES_CSV, bits, bundled  # noqa: E402
from quorlex_batch import cli  # noqa: E402

FEATURES = "catch24"


def long_frame(count=8, length=90):
    """Long rows of the bundled series (shortened), time descending so that the
    sort column matters, each id's rows together."""
    parts = [pd.DataFrame({"id": name, "time": np.arange(len(y))[::-1], "value": y[::-1], "doubled": 2 * y[::-1]})
             for name, y in ((name, values[:length]) for name, values in bundled()[:count])]
    return pd.concat(parts, ignore_index=True)


def read(path):
    if str(path).endswith(".csv"):
        return pd.read_csv(path, index_col=0)
    table = pd.read_parquet(path)
    return table.set_index(table.columns[0])


def run(capsys, *argv):
    argv = [str(a) for a in argv]
    code = cli.main(argv if "--features" in argv else argv + ["--features", FEATURES])
    return code, capsys.readouterr().err


def extracted(capsys, source, out, *argv):
    """Runs quorlex-extract on source into out and reads the table back."""
    code, err = run(capsys, source, "-o", out, *argv)
    assert code == 0, err
    return read(out)


def leftovers(folder, expected):
    return sorted(set(os.listdir(folder)) - set(expected))


@pytest.mark.parametrize("suffix", [".csv", ".parquet"])
def test_wide_bundled_series_equal_the_engine(tmp_path, capsys, suffix):
    table = extracted(capsys, SERIES_CSV, tmp_path / f"features{suffix}", "--quiet")
    data = bundled()
    expected, names = qb.extract_array([y for _, y in data], FEATURES)
    assert list(table.index) == [name for name, _ in data]
    assert list(table.columns) == names
    np.testing.assert_array_equal(bits(table), bits(expected))


def test_wide_chunks_header_ids_and_missing_cells(tmp_path, capsys, monkeypatch):
    monkeypatch.setattr(cli, "WIDE_ROWS", 2)
    rng = np.random.default_rng(3)
    rows = [rng.normal(size=40 + 3 * i) for i in range(5)]
    for y in rows:
        y[5] = np.nan  # an empty cell
    source = tmp_path / "wide.csv"
    source.write_text(",".join(["name", "group"] + [f"t{i}" for i in range(60)]) + "\n" + "".join(
        ",".join([f"s{i}", "ab"[i % 2]] + ["" if np.isnan(v) else repr(float(v)) for v in y]) + "\n"
        for i, y in enumerate(rows)))
    table = extracted(capsys, source, tmp_path / "out.parquet", "--id", "name", "--features",
                      "catchamouse16,crossing_points", "--plot", tmp_path / "p.png", "--label", "group", "--quiet")
    assert list(table.index) == [f"s{i}" for i in range(5)]
    first, _ = qb.extract_array(rows, "catchamouse16")
    second, _ = qb.extract_array(rows, ["crossing_points"])
    np.testing.assert_array_equal(bits(table), bits(np.hstack([first, second])))

    # Wide Parquet: the id and label columns are not values.
    matrix = np.array([y[:40] for y in rows])
    frame = pd.DataFrame(matrix, columns=[f"t{i}" for i in range(40)])
    frame.insert(0, "group", ["a", "b", "a", "b", "a"])
    frame.insert(2, "name", [f"s{i}" for i in range(5)])
    source = tmp_path / "wide.parquet"
    frame.to_parquet(source)
    table = extracted(capsys, source, tmp_path / "from_parquet.csv", "--id", "name", "--plot", tmp_path / "q.png",
                      "--label", "group")
    assert list(table.index) == [f"s{i}" for i in range(5)]
    np.testing.assert_array_equal(bits(table), bits(qb.extract_array(matrix, FEATURES)[0]))

    # With a header and no --id, a first column of text holds the ids; without either, row numbers.
    named = tmp_path / "named.csv"
    named.write_text("name,a,b,c,d,e\nfirst,1,2,3,4,5\nsecond,5,4,3,,1\n")
    plain = tmp_path / "plain.csv"
    plain.write_text("1,2,3,4,5\n,4,3,2,1\n")
    for source, ids in ((named, ["first", "second"]), (plain, [0, 1])):
        out = tmp_path / f"{source.stem}_features.csv"
        assert run(capsys, source, "-o", out, "--features", "flat_spots") == (0, "")
        assert list(read(out).index) == ids


@pytest.mark.parametrize("suffix", [".csv", ".parquet"])
def test_long_input_in_chunks_of_whole_series(tmp_path, capsys, monkeypatch, suffix):
    # 7-row chunks cut every 90-row series many times over: the carried rows must rejoin their id.
    monkeypatch.setattr(cli, "LONG_ROWS", 7)
    frame = long_frame()
    source = tmp_path / f"long{suffix}"
    frame.to_csv(source, index=False) if suffix == ".csv" else frame.to_parquet(source, index=False)
    table = extracted(capsys, source, tmp_path / "out.csv", "--id", "id", "--sort", "time", "--value", "value")
    expected = qb.extract(frame, FEATURES, column_id="id", column_sort="time", column_value="value")
    assert list(table.index) == list(pd.unique(frame["id"]))  # ids in input order
    np.testing.assert_array_equal(bits(table), bits(expected.loc[table.index]))


def test_long_kinds_and_value_columns(tmp_path, capsys, monkeypatch):
    monkeypatch.setattr(cli, "LONG_ROWS", 50)
    wide_kinds = long_frame(count=4, length=60)
    source = tmp_path / "kinds.parquet"
    wide_kinds.to_parquet(source, index=False)
    table = extracted(capsys, source, tmp_path / "every_column.csv", "--id", "id", "--sort", "time", "--features",
                      "crossing_points")
    expected = qb.extract(wide_kinds, ["crossing_points"], column_id="id", column_sort="time")
    assert list(table.columns) == ["value__crossing_points", "doubled__crossing_points"]
    np.testing.assert_array_equal(bits(table), bits(expected.loc[table.index]))

    # One kind column, and an id without rows of one kind: NaN there, same columns in every chunk.
    stacked = pd.concat([wide_kinds.assign(kind="a"), wide_kinds.assign(kind="b", value=wide_kinds["doubled"])])
    stacked = stacked.drop(columns="doubled").sort_values("id", kind="stable")
    stacked = stacked[~((stacked["id"] == stacked["id"].iloc[0]) & (stacked["kind"] == "b"))]
    source = tmp_path / "stacked.csv"
    stacked.to_csv(source, index=False)
    table = extracted(capsys, source, tmp_path / "by_kind.parquet", "--id", "id", "--sort", "time", "--value", "value",
                      "--kind", "kind", "--features", "crossing_points,flat_spots")
    expected = qb.extract(stacked, ["crossing_points", "flat_spots"], column_id="id", column_sort="time",
                          column_value="value", column_kind="kind")
    assert list(table.columns) == list(expected.columns)
    np.testing.assert_array_equal(bits(table), bits(expected.loc[table.index]))
    assert np.isnan(table.iloc[0]["b__flat_spots"])

    # A file without rows still gives the columns a file with rows would.
    source = write_long(tmp_path, "id,time,value,doubled\n")
    table = extracted(capsys, source, tmp_path / "empty.parquet", "--id", "id", "--sort", "time", "--features",
                      "flat_spots")
    assert [table.index.name, *table.columns] == ["id", "value__flat_spots", "doubled__flat_spots"]


def write_long(folder, text):
    path = folder / "in.csv"
    path.write_text(text)
    return path


@pytest.mark.parametrize("argv, message", [
    (["--id", "id", "--value", "level"],
     "{src} has no column 'level' (columns: id, time, value)"),
    (["--id", "key", "--sort", "time"],
     "{src} has no column 'key' (columns: id, time, value)"),
    (["--id", "id", "--sort", "time", "--value", "value"],
     "{src}, line 4: column 'value' holds 'abc', which is not a number"),
    (["--format", "long"], "long input needs --id: the column that names each series"),
    (["--features", "catchamouse16,no_such_feature"], "unknown feature 'no_such_feature'"),
])
def test_bad_long_input_exits_2_and_leaves_nothing(tmp_path, capsys, argv, message):
    source = write_long(tmp_path, "id,time,value\na,0,1.5\na,1,2.5\na,2,abc\nb,0,1\n")
    code, err = run(capsys, source, "-o", tmp_path / "out.parquet", "--plot", tmp_path / "p.png", *argv)
    assert code == 2
    assert err == f"quorlex-extract: error: {message.format(src=source)}\n"
    assert leftovers(tmp_path, ["in.csv"]) == []


@pytest.mark.parametrize("rows", [3, 1000])
def test_ids_apart_are_refused_in_any_chunking(tmp_path, capsys, monkeypatch, rows):
    monkeypatch.setattr(cli, "LONG_ROWS", rows)
    source = write_long(tmp_path, "id,time,value\na,0,1\na,1,2\nb,0,3\nb,1,4\na,2,5\nc,0,6\n")
    code, err = run(capsys, source, "-o", tmp_path / "out.csv", "--id", "id", "--sort", "time")
    assert (code, err) == (2, f"quorlex-extract: error: {source}: the rows of id 'a' are not together: sort or"
                              " group the file by id (it is read in chunks of whole series)\n")
    assert leftovers(tmp_path, ["in.csv"]) == []


def test_bad_files_exit_2_and_leave_nothing(tmp_path, capsys):
    missing = tmp_path / "absent.csv"
    garbage = tmp_path / "garbage.parquet"
    garbage.write_bytes(b"this is not parquet at all")
    binary = tmp_path / "binary.csv"
    binary.write_bytes(b"\xff\xfe\x00id\n")
    folder = tmp_path / "folder.csv"
    folder.mkdir()
    wide = tmp_path / "wide.csv"
    wide.write_text("s1,1,2,3\ns2,4,five,6\n")
    cases = [
        ([missing], f"cannot read {missing}: No such file or directory\n"),
        ([folder], f"cannot read {folder}: Is a directory\n"),
        ([binary, "--format", "long", "--id", "id"],
         f"cannot read {binary}: 'utf-8' codec can't decode byte 0xff in position 0: invalid start byte\n"),
        ([binary], f"cannot read {binary}: 'utf-8' codec can't decode byte 0xff in position 0: invalid start byte\n"),
        ([garbage], f"cannot read {garbage}: "),  # the rest is pyarrow's wording
        ([wide, "--no-header"], f"{wide}, line 2: column 3 holds 'five', which is not a number\n"),
        ([wide], f"{wide}: line 1 (s1,1,2,3) could name the columns or hold a series: pass --header or"
                 " --no-header\n"),
        ([tmp_path / "table.txt"], f"cannot tell the format of input {tmp_path / 'table.txt'} from its name:"
                                    " use .csv or .parquet\n"),
    ]
    for argv, message in cases:
        code, err = run(capsys, *argv, "-o", tmp_path / "out.csv", "--quiet")
        assert code == 2
        assert err.startswith(f"quorlex-extract: error: {message}") and err.count("\n") == 1
    assert leftovers(tmp_path, ["garbage.parquet", "binary.csv", "folder.csv", "wide.csv"]) == []


def test_refuses_to_overwrite_without_force(tmp_path, capsys):
    out = tmp_path / "out.csv"
    out.write_text("precious\n")
    code, err = run(capsys, SERIES_CSV, "-o", out, "--features", "crossing_points")
    assert (code, err) == (2, f"quorlex-extract: error: {out} exists: pass --force to overwrite it\n")
    assert out.read_text() == "precious\n"
    picture = tmp_path / "p.png"
    picture.write_bytes(b"")
    code, err = run(capsys, SERIES_CSV, "-o", tmp_path / "new.csv", "--plot", picture)
    assert (code, err) == (2, f"quorlex-extract: error: {picture} exists: pass --force to overwrite it\n")
    assert leftovers(tmp_path, ["out.csv", "p.png"]) == []
    assert run(capsys, SERIES_CSV, "-o", out, "--features", "crossing_points", "--force")[0] == 0
    assert read(out).shape == (12, 1)
    assert leftovers(tmp_path, ["out.csv", "p.png"]) == []


def test_interrupted_run_leaves_nothing(tmp_path, capsys, monkeypatch):
    def interrupt(*args, **kwargs):
        raise KeyboardInterrupt

    monkeypatch.setattr(cli, "extract_array", interrupt)
    code, err = run(capsys, SERIES_CSV, "-o", tmp_path / "out.parquet", "--features", "crossing_points")
    assert (code, err) == (130, "quorlex-extract: interrupted\n")
    assert os.listdir(tmp_path) == []


def test_command_and_module_entry_points(tmp_path):
    out = tmp_path / "out.csv"
    command = [sys.executable, "-m", "quorlex_batch", str(SERIES_CSV), "-o", str(out), "--features",
               "crossing_points"]
    done = subprocess.run(command, capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stderr) == (0, "")
    assert read(out).shape == (12, 1)
    script = shutil.which("quorlex-extract", path=os.path.dirname(sys.executable))
    if script is None:
        pytest.skip("quorlex-extract is not installed beside this interpreter")
    done = subprocess.run([script, str(SERIES_CSV), "-o", str(out), "--features", FEATURES], capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stderr) == (2, f"quorlex-extract: error: {out} exists: pass --force to"
                                                  " overwrite it\n")


def labelled_series(tmp_path, count=40):
    """A wide CSV of series whose spread depends on their class, and a label file
    holding those classes (shuffled, with an id the input lacks)."""
    rng = np.random.default_rng(24)
    groups = np.array(["calm", "wild"])[np.arange(count) % 2]
    rows = rng.normal(size=(count, 60)) * np.where(groups == "wild", 3.0, 1.0)[:, None]
    source = tmp_path / "series.csv"
    source.write_text("name," + ",".join(f"t{i}" for i in range(60)) + "\n" + "".join(
        f"s{i}," + ",".join(repr(float(v)) for v in y) + "\n" for i, y in enumerate(rows)))
    frame = pd.read_csv(source)
    frame.insert(1, "group", groups)
    frame.to_csv(tmp_path / "grouped.csv", index=False)  # the classes in a column of the input
    order = rng.permutation(count)
    labels = pd.DataFrame({"other": np.arange(count + 1), "series": [f"s{i}" for i in order] + ["unused"],
                           "class": list(groups[order]) + ["calm"]})
    labels.to_csv(tmp_path / "labels.csv", index=False)
    return source, rows, pd.Series(groups, index=[f"s{i}" for i in range(count)])


def test_label_file_relevance_selection_and_picture(tmp_path, capsys):
    pytest.importorskip("scipy")
    image = pytest.importorskip("matplotlib.image")
    source, rows, groups = labelled_series(tmp_path)
    table = extracted(capsys, source, tmp_path / "chosen.csv", "--id", "name", "--label", tmp_path / "labels.csv",
                      "--label-column", "class", "--label-id", "series", "--relevance", tmp_path / "relevance.csv",
                      "--select", "--plot-relevance", tmp_path / "relevance.png", "--quiet")
    features = qb.extract(rows, FEATURES)
    features.index = groups.index
    expected = qb.relevance(features, groups)
    written = pd.read_csv(tmp_path / "relevance.csv")
    assert written["feature"].tolist() == expected["feature"].tolist()
    np.testing.assert_array_equal(written["p_value"].to_numpy(), expected["p_value"].to_numpy())
    relevant = [name for name in features.columns if expected.loc[name, "relevant"]]
    assert list(table.columns) == relevant and "DN_Spread_Std" in relevant and len(relevant) < 24
    np.testing.assert_array_equal(bits(table), bits(features[relevant]))
    assert image.imread(str(tmp_path / "relevance.png")).shape[:2] == (3060, 4200)  # 14 x 10.2 inches at 300 dpi

    # The input's own label column serves too.
    written_again = tmp_path / "again.csv"
    extracted(capsys, tmp_path / "grouped.csv", tmp_path / "all.csv", "--id", "name", "--label", "group", "--relevance",
              written_again)
    pd.testing.assert_frame_equal(pd.read_csv(written_again), written)


@pytest.mark.parametrize("argv, message", [
    (["--select"], "--relevance, --select and --plot-relevance need labels: --label FILE --label-column NAME"
                   " (or --label COL, a column of the input)"),
    (["--label", "LABELS", "--label-id", "series"], "--label-id applies to a label file: pass --label-column too"),
    (["--label", "LABELS", "--label-column", "kind", "--select"],
     "LABELS has no column 'kind' (--label-column; columns: other, series, class)"),
    (["--label", "LABELS", "--label-column", "class", "--label-id", "other", "--select"],
     "LABELS has no label for 40 of the 40 ids (e.g. 's0')"),
    (["--label", "LABELS", "--label-column", "class", "--label-id", "series", "--select", "--fdr-level", "1"],
     "--fdr-level must be between 0 and 1 (exclusive), got 1.0"),
    (["--label", "group", "--relevance", "relevance.txt", "--plot-relevance", "p.jpg"],
     "the plot is a PNG image: name it .png, not p.jpg"),
])
def test_label_options_refused_clearly_and_nothing_left(tmp_path, capsys, argv, message):
    pytest.importorskip("scipy")
    source, _, _ = labelled_series(tmp_path)
    argv = [str(tmp_path / "labels.csv") if a == "LABELS" else a for a in argv]
    message = message.replace("LABELS", str(tmp_path / "labels.csv"))
    before = set(os.listdir(tmp_path))
    code, err = run(capsys, source, "-o", tmp_path / "out.csv", "--id", "name", *argv)
    assert (code, err) == (2, f"quorlex-extract: error: {message}\n")
    assert leftovers(tmp_path, before) == []


def test_a_single_class_in_the_label_file_is_refused(tmp_path, capsys):
    pytest.importorskip("scipy")
    source, _, _ = labelled_series(tmp_path)
    (tmp_path / "one.csv").write_text("series,class\n" + "".join(f"s{i},a\n" for i in range(40)))
    before = set(os.listdir(tmp_path))
    code, err = run(capsys, source, "-o", tmp_path / "out.csv", "--id", "name", "--label", tmp_path / "one.csv",
                    "--label-column", "class", "--relevance", tmp_path / "r.csv")
    assert (code, err) == (2, "quorlex-extract: error: labels: y has a single class ('a'): a test needs at least two\n")
    assert leftovers(tmp_path, before) == []
