"""What every caller sees at the module boundary: registration, argument
binding and conversion errors, result classes and PanicException."""

import array
import inspect
import math
import pathlib
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import quorlex

# Every module attribute in registration order: a function's signature, or a
# result class's name where the class is registered.
SIGNATURES = (pathlib.Path(__file__).parent / "signatures.txt").read_text().split("\n")[:-1]
REGISTERED = [s.split("(")[0] for s in SIGNATURES]
FUNCTIONS = [n for n in REGISTERED if n.endswith("_f")]
Y = [1.0, 3.0, 2.0, 5.0, 4.0, 6.0, 8.0, 7.0, 9.0, 10.0] * 5


class TestRegistration:
    def test_import_gives_one_module(self):
        import importlib

        assert importlib.import_module("quorlex") is quorlex
        del sys.modules["quorlex"]
        try:
            again = importlib.import_module("quorlex")
        finally:
            sys.modules["quorlex"] = quorlex
        assert again is quorlex

    def test_all_lists_attributes_in_registration_order(self):
        assert quorlex.__all__ == REGISTERED
        assert not hasattr(quorlex, "HCTSAResult")
        assert quorlex.__doc__ == ""

    def test_signatures_match_the_table(self):
        expected = {s.split("(")[0]: s for s in SIGNATURES}
        for name in FUNCTIONS:
            function = getattr(quorlex, name)
            assert function.__text_signature__ == expected[name][len(name):]
            assert function.__doc__ == function.__doc__.strip() and "\n" not in function.__doc__
            assert function.__module__ == "quorlex"
            assert function.__self__ is quorlex
            inspect.signature(function)
        assert str(inspect.signature(quorlex.dn_spread_std_f)) == "(y)"

    def test_subinterpreter_is_refused(self):
        script = textwrap.dedent(
            """
            import quorlex, _xxsubinterpreters as interpreters
            interp = interpreters.create()
            try:
                interpreters.run_string(interp, "import quorlex")
            except Exception as error:
                print(type(error).__name__, error)
            """
        )
        if sys.version_info >= (3, 12):
            pytest.skip("the interpreter itself refuses single-phase modules in sub-interpreters")
        out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True).stdout
        assert "ImportError" in out and "sub-interpreters" in out


def f(*args, **kwargs):
    return quorlex.dn_outlierinclude_p_001_mdrmd_f(*args, **kwargs)


class Chained:
    def __float__(self):
        try:
            raise KeyError("inner")
        except KeyError as inner:
            raise TypeError("outer") from inner


class Broken:
    def __float__(self):
        raise ValueError("no value")


# (call, exception type, exact message or None for the interpreter's own)
ARGUMENT_ERRORS = [
    (lambda: f(Y, True, True), TypeError,
     "dn_outlierinclude_p_001_mdrmd_f() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: quorlex.dn_spread_std_f([1], 2), TypeError,
     "dn_spread_std_f() takes 1 positional arguments but 2 were given"),
    (lambda: f(Y, foo=1), TypeError, "dn_outlierinclude_p_001_mdrmd_f() got an unexpected keyword argument 'foo'"),
    (lambda: f(Y, y=Y), TypeError, "dn_outlierinclude_p_001_mdrmd_f() got multiple values for argument 'y'"),
    (lambda: f(), TypeError, "dn_outlierinclude_p_001_mdrmd_f() missing 1 required positional argument: 'y'"),
    (lambda: f("1234"), TypeError, "argument 'y': Can't extract `str` to `Vec`"),
    (lambda: f(5), TypeError, "argument 'y': 'int' object cannot be converted to 'Sequence'"),
    (lambda: f(None), TypeError, "argument 'y': 'NoneType' object cannot be converted to 'Sequence'"),
    (lambda: f({1.0: 2}), TypeError, "argument 'y': 'dict' object cannot be converted to 'Sequence'"),
    (lambda: f(x for x in Y), TypeError, "argument 'y': 'generator' object cannot be converted to 'Sequence'"),
    (lambda: f([1.0, "a"]), TypeError, "argument 'y': must be real number, not str"),
    (lambda: f([1.0, Broken()]), ValueError, "no value"),  # only TypeError is rewrapped
    (lambda: f(Y, normalize=1), TypeError, "argument 'normalize': 'int' object cannot be converted to 'PyBool'"),
    (lambda: f(Y, normalize="yes"), TypeError, "argument 'normalize': 'str' object cannot be converted to 'PyBool'"),
    (lambda: quorlex.sy_slidingwindow_f([1.0]), TypeError,
     "sy_slidingwindow_f() missing 5 required positional arguments: "
     "'window_stat', 'across_win_stat', 'num_seg', 'inc_move', and 'normalize'"),
    (lambda: quorlex.sy_slidingwindow_f([1.0], "mean", "std", 5), TypeError,
     "sy_slidingwindow_f() missing 2 required positional arguments: 'inc_move' and 'normalize'"),
    (lambda: quorlex.sy_slidingwindow_f(Y, 1, "std", 5, 2, False), TypeError,
     "argument 'window_stat': 'int' object cannot be converted to 'PyString'"),
    (lambda: quorlex.sy_slidingwindow_f(Y, "\udcff", "std", 5, 2, False), UnicodeEncodeError, None),
    (lambda: quorlex.arch_stat_f([1.0, 2.0], lags=-1), OverflowError, None),
    (lambda: quorlex.arch_stat_f([1.0, 2.0], lags=2**64), OverflowError, None),
    (lambda: quorlex.arch_stat_f([1.0, 2.0], lags=None), TypeError,
     "argument 'lags': 'NoneType' object cannot be interpreted as an integer"),
    (lambda: quorlex.arch_stat_f([1.0, 2.0], lags=1.5), TypeError,
     "argument 'lags': 'float' object cannot be interpreted as an integer"),
    (lambda: quorlex.arch_stat_f([1.0, 2.0], demean=None), TypeError,
     "argument 'demean': 'NoneType' object cannot be converted to 'PyBool'"),
    (lambda: quorlex.unitroot_kpss_f(Y, freq=2**40), OverflowError,
     "out of range integral type conversion attempted"),
    (lambda: quorlex.unitroot_kpss_f(Y, freq=None), TypeError,
     "argument 'freq': 'NoneType' object cannot be interpreted as an integer"),
    (lambda: quorlex.extract_catch22_features_cumulative_f([1.0], value_column_name=3), TypeError,
     "argument 'value_column_name': 'int' object cannot be converted to 'PyString'"),
    (lambda: quorlex.extract_catch22_features_cumulative_f("abc"), TypeError,
     "argument 'series': Can't extract `str` to `Vec`"),
]


@pytest.mark.parametrize("call,kind,message", ARGUMENT_ERRORS)
def test_argument_errors(call, kind, message):
    with pytest.raises(kind) as excinfo:
        call()
    assert type(excinfo.value) is kind
    if message is not None:
        assert str(excinfo.value) == message


def test_rewrapped_type_error_keeps_its_cause():
    with pytest.raises(TypeError) as excinfo:
        f([Chained()])
    assert str(excinfo.value) == "argument 'y': outer"
    assert isinstance(excinfo.value.__cause__, KeyError)


def test_defaults_none_keywords_and_numpy_scalars():
    assert f(Y) == f(Y, None) == f(Y, normalize=True) == f(y=Y, normalize=np.True_)
    assert f(Y, np.bool_(False)) == f(y=Y, normalize=False) != f(Y, True)
    assert quorlex.arch_stat_f(Y, lags=np.int64(3)) == quorlex.arch_stat_f(Y, 3)
    assert quorlex.unitroot_kpss_f(Y, freq=4) == quorlex.unitroot_kpss_f(Y)
    long = list(np.random.default_rng(2).normal(size=300))
    assert quorlex.st_localextrema_n100_diffmaxabsmin_f(long, None) == (
        quorlex.st_localextrema_n100_diffmaxabsmin_f(long, False))


class TestSeriesConversion:
    f = staticmethod(quorlex.dn_spread_std_f)

    def test_accepted_sequences_agree(self):
        values = np.random.default_rng(1).normal(size=257)
        expected = self.f(list(values))
        # Misaligned buffers once crashed the reader: they and strided ones are copied.
        raw = b"\0" + values.tobytes()
        misaligned = np.frombuffer(raw, dtype=np.float64, offset=1)
        assert misaligned.ctypes.data % 8 != 0
        for candidate in (
            tuple(values), values, np.stack([values, values], axis=1)[:, 0], np.repeat(values, 2)[::2],
            array.array("d", values), memoryview(array.array("d", values)), [np.float64(v) for v in values],
            misaligned, memoryview(raw)[1:].cast("d"),
        ):
            assert self.f(candidate) == expected
        assert self.f(range(10)) == self.f(np.arange(10, dtype=np.int64)) == self.f([float(i) for i in range(10)])
        assert self.f(values.astype(np.float32)) == self.f([float(v) for v in values.astype(np.float32)])

    def test_special_values_pass_unchanged(self):
        assert math.isnan(self.f([]))
        assert math.isnan(self.f([1.0, float("nan"), 2.0]))
        assert math.isnan(self.f([1.0, float("inf"), 2.0]))
        assert math.isinf(self.f([1.0, 1e308, -1e308]))

    def test_list_mutated_while_reading(self):
        data = [1.0, 2.0, 3.0, 4.0]

        class Shrinker:
            def __float__(self):
                del data[2:]
                return 0.0

        data.insert(1, Shrinker())
        assert self.f(data) == self.f([1.0, 0.0])


class TestResultClasses:
    @pytest.fixture
    def result(self):
        return quorlex.catch22_all_f(Y)

    def test_shape_of_the_classes(self):
        for name in ("Catch22Result", "CumulativeFeatures", "TSFeaturesResult", "CombinedResult"):
            cls = getattr(quorlex, name)
            assert cls.__module__ == "builtins" and cls.__name__ == name
            assert cls.__base__ is object
            with pytest.raises(TypeError):
                cls()

    def test_results_are_read_only_records(self, result):
        names = result.names
        names.append("x")
        assert result.names == names[:-1]
        assert result.names is not result.names
        assert len(result.names) == len(result.values)
        with pytest.raises(AttributeError):
            result.values = []
        with pytest.raises(AttributeError):
            result.other = 1
        assert repr(result).startswith("<Catch22Result: 20 features: ")


class TestInternalFailures:
    def test_panic_exception_and_recovery(self, capfd):
        with pytest.raises(BaseException) as excinfo:
            quorlex.sy_slidingwindow_f(Y, "mean", "std", 0, 1, False)
        assert type(excinfo.value).__name__ == "PanicException"
        error = excinfo.value
        assert not isinstance(error, Exception)
        assert type(error).__module__ == "pyo3_runtime"
        assert type(error).__base__ is BaseException
        assert len(error.args) == 1 and isinstance(error.args[0], str) and error.args[0]
        assert "BaseException" in type(error).__doc__
        assert error.args[0] in capfd.readouterr().err
        assert quorlex.dn_spread_std_f([1.0, 2.0, 3.0, 4.0]) == 1.2909944487358056
