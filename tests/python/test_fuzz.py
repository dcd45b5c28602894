"""Every public function with generated arguments: any series shape, value or
container, and absurd option values. Each call returns its documented kind of
result or raises TypeError, ValueError, OverflowError or PanicException, in
bounded time, and never takes the process down.

Functions and their parameters are discovered from quorlex.__all__ and their
signatures; a parameter's strategy is chosen by its name, with a fallback of
absurd values for names not listed here. QUORLEX_FUZZ_EXAMPLES sets the number
of examples per function (scripts/fuzz runs many more)."""

import array
import collections
import inspect
import math
import os
import time

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorlex

EXAMPLES = int(os.environ.get("QUORLEX_FUZZ_EXAMPLES", "12"))
# Generous: the sanitizer build runs several times slower than a normal one.
CALL_SECONDS = float(os.environ.get("QUORLEX_FUZZ_CALL_SECONDS", "10"))

FUNCTIONS = sorted(n for n in quorlex.__all__ if n.endswith("_f") and callable(getattr(quorlex, n)))
OUTCOMES = collections.Counter()
PANICS = collections.Counter()  # (function, message) of each PanicException

SPECIAL_VALUES = [math.nan, math.inf, -math.inf, 0.0, -0.0, 5e-324, -5e-324, 2.2250738585072014e-308,
                  1e-300, 1e300, -1e300, 1.7976931348623157e308]
ABSURD_COUNTS = [0, 1, 2, 3, 12, -1, 2**31, 2**32, 2**63 - 1, 2**63, 2**64 - 1, 2**64]
ABSURD_OBJECTS = [None, 0, -1, 1.5, "x", [], 2**64, True]


class Boom(ValueError):
    """Raised from __float__ of a hostile item."""


class RaisingItem:
    def __float__(self):
        raise Boom("no float here")


class MutatingItem:
    """Converts to a float while emptying or growing the list it sits in."""

    def __init__(self, owner, grow):
        self.owner, self.grow = owner, grow

    def __float__(self):
        if self.grow:
            self.owner.append(0.5)
        else:
            self.owner.clear()
        return 1.0


KINDS = {
    "normal": lambda rng, n: rng.normal(size=n),
    "ties": lambda rng, n: rng.integers(0, 3, size=n).astype(float),
    "constant": lambda rng, n: np.full(n, 1.5),
    "runs": lambda rng, n: np.repeat(rng.normal(size=n // 4 + 1), 4)[:n],
    "trend": lambda rng, n: np.arange(n, dtype=float) + rng.normal(size=n) * 0.1,
    # dynamic range from 1e-300 to 1e300, both signs
    "range": lambda rng, n: np.sign(rng.normal(size=n)) * 10.0 ** rng.uniform(-300, 300, size=n),
}

CONTAINERS = {
    "list": lambda y: y.tolist(),
    "tuple": lambda y: tuple(y.tolist()),
    "float64": lambda y: y,
    "float32": lambda y: y.astype(np.float32),
    "int": lambda y: np.nan_to_num(y, posinf=2**62, neginf=-2**62).clip(-2**62, 2**62).astype(np.int64),
    "strided": lambda y: np.repeat(y, 2)[::2],
    "readonly": lambda y: np.frombuffer(y.tobytes()),
    "misaligned": lambda y: np.frombuffer(b"\0" + y.tobytes(), dtype=np.float64, offset=1),
    "memoryview": lambda y: memoryview(y.tobytes()).cast("d"),
    "array": lambda y: array.array("d", y.tolist()),
    "generator": lambda y: (v for v in y.tolist()),
    "bytes": lambda y: y.tobytes()[:len(y)],  # a buffer of unsigned bytes
    "matrix": lambda y: np.stack([y, y]),  # two dimensions
}


@st.composite
def series(draw, short):
    lengths = list(range(13)) if short else list(range(13)) + [100, 1000]
    length = draw(st.sampled_from(lengths))
    if length <= 12 and draw(st.booleans()):
        element = st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.sampled_from(SPECIAL_VALUES))
        y = np.array(draw(st.lists(element, min_size=length, max_size=length)), dtype=float)
    else:
        kind = draw(st.sampled_from(list(KINDS)))
        scale = draw(st.sampled_from([1.0, 1e-300, 1e300, 1e6, 5e-324, -1.0]))
        specials = draw(st.lists(st.tuples(st.floats(0, 1), st.sampled_from(SPECIAL_VALUES)), max_size=3))
        with np.errstate(over="ignore", under="ignore"):
            y = KINDS[kind](np.random.default_rng(draw(st.integers(0, 2**32))), length) * scale
        for fraction, value in specials:
            if length:
                y[min(int(fraction * length), length - 1)] = value
    container = draw(st.sampled_from([*CONTAINERS, "raising", "mutating"]))
    if container in CONTAINERS:
        with np.errstate(over="ignore"):
            return CONTAINERS[container](y)
    items = y.tolist()
    position = draw(st.integers(0, len(items)))
    items.insert(position, RaisingItem() if container == "raising" else MutatingItem(items, draw(st.booleans())))
    return items


FLAG = st.sampled_from([True, False, None, np.bool_(True), np.bool_(False), 0, 1, "yes"])
COUNT = st.one_of(st.sampled_from(ABSURD_COUNTS), st.integers(0, 40), st.sampled_from([None, 1.5, "4"]))
TEXT = st.one_of(st.sampled_from(["mean", "std", "ent", "apen", "median", "", "x" * 100]), st.text(max_size=5),
                 st.sampled_from([None, 3]))


def strategy_for(function, parameter):
    name = parameter.name
    if name in ("y", "series"):
        return series(short="cumulative" in function)
    if name in ("normalize", "catch24", "catchamouse16", "hctsa", "demean"):
        return FLAG
    if name in ("freq", "lags", "num_seg", "inc_move"):
        return COUNT
    if name in ("window_stat", "across_win_stat", "value_column_name"):
        return TEXT
    return st.sampled_from(ABSURD_OBJECTS)


def arguments(function):
    parameters = inspect.signature(getattr(quorlex, function)).parameters.values()
    fields = {}
    for p in parameters:
        s = strategy_for(function, p)
        if p.default is not inspect.Parameter.empty:
            s = st.one_of(st.just(inspect.Parameter.empty), s)  # sometimes omitted
        fields[p.name] = s
    return st.fixed_dictionaries(fields)


def check_result(result):
    if isinstance(result, float):
        return "float"
    if isinstance(result, dict):
        assert all(isinstance(k, str) and isinstance(v, float) for k, v in result.items())
        return "dict"
    if hasattr(result, "feature_names"):
        names, rows = result.feature_names, result.values
        assert all(isinstance(n, str) for n in names)
        assert all(len(row) == len(names) and all(isinstance(v, float) for v in row) for row in rows)
        return "table"
    names, values = result.names, result.values
    assert len(names) == len(values) and all(isinstance(v, float) for v in values)
    return "feature set"


def call(function, kwargs):
    kwargs = {k: v for k, v in kwargs.items() if v is not inspect.Parameter.empty}
    start = time.perf_counter()
    try:
        outcome = check_result(getattr(quorlex, function)(**kwargs))
    except (TypeError, ValueError, OverflowError) as error:
        outcome = type(error).__name__
    except BaseException as error:
        if type(error).__name__ != "PanicException":
            raise
        outcome = "PanicException"
        PANICS[function, str(error)] += 1
    elapsed = time.perf_counter() - start
    assert elapsed < CALL_SECONDS, f"{function} took {elapsed:.1f} s"
    OUTCOMES[outcome] += 1


@pytest.mark.parametrize("function", FUNCTIONS)
def test_generated_arguments(function):
    @settings(max_examples=EXAMPLES, deadline=None, derandomize=True, database=None,
              suppress_health_check=list(HealthCheck))
    @given(arguments(function))
    def run(kwargs):
        call(function, kwargs)

    run()


@pytest.mark.parametrize("function", FUNCTIONS)
@pytest.mark.parametrize("values", [[], [math.nan], [1e-300, 2e-300], [5e-324] * 7, [1e300, -1e300, 0.0, -0.0] * 3,
                                    [math.inf] * 3 + [1.0] * 9, [2.0] * 12])
def test_edge_series_with_default_options(function, values):
    parameters = inspect.signature(getattr(quorlex, function)).parameters.values()
    required = {"window_stat": "mean", "across_win_stat": "std", "num_seg": 5, "inc_move": 2, "normalize": True}
    kwargs = {p.name: required.get(p.name, True) for p in parameters
              if p.default is inspect.Parameter.empty and p.name not in ("y", "series")}
    first = next(iter(parameters)).name
    for normalize in ([True, False] if any(p.name == "normalize" for p in parameters) else [None]):
        if normalize is not None:
            kwargs["normalize"] = normalize
        call(function, {first: values, **kwargs})
