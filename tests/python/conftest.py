"""Helpers several test files share (imported as `from conftest import ...`), and
the fuzz suite's summary line."""

import csv
import math
import pathlib
import sys

import numpy as np

SERIES_CSV = pathlib.Path(__file__).resolve().parents[2] / "examples" / "data" / "series.csv"


def bundled():
    """The bundled real series: (name, values) in file order."""
    with open(SERIES_CSV, newline="") as handle:
        return [(row[0], np.array([float(v) for v in row[1:]])) for row in csv.reader(handle) if row]


def bits(a):
    """The float64 bit patterns of an array or frame, for comparisons where NaN equals NaN."""
    return np.asarray(a, dtype=np.float64).view(np.int64)


def same(a, b):
    """Equal sequences of floats, NaN equal to NaN."""
    return len(a) == len(b) and all(x == y or (math.isnan(x) and math.isnan(y)) for x, y in zip(a, b))


def pytest_terminal_summary(terminalreporter):
    """The fuzz suite's call count and outcomes, when it ran."""
    fuzz = sys.modules.get("test_fuzz")
    if fuzz is not None and fuzz.OUTCOMES:
        outcomes = fuzz.OUTCOMES
        summary = ", ".join(f"{kind} {count}" for kind, count in sorted(outcomes.items()))
        terminalreporter.write_line(
            f"fuzz: {sum(outcomes.values())} calls over {len(fuzz.FUNCTIONS)} functions: {summary}")
        for (function, message), count in fuzz.PANICS.most_common(10):
            terminalreporter.write_line(f"  PanicException x{count} from {function}: {message[:120]}")
