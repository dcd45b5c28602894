"""catch22 v1 of one series, as pycatch22 1.0 gives it, through the batch engine."""

from __future__ import annotations

from ._core import FeatureSet, _series_array, extract_array


def catch22_v1(y: object, catch24: bool = False, mask: bool = True, short_names: bool = False) -> dict[str, float]:
    """The catch22 v1 features of one series (catch24 adds the mean and the
    standard deviation) as a dict from names (long, or short with short_names)
    to floats. A feature that cannot be estimated takes pycatch22 1.0's fixed
    value, or NaN with mask=False; a series holding NaN or an infinity gives
    NaN everywhere."""
    for option, value in (("catch24", catch24), ("mask", mask), ("short_names", short_names)):
        if not isinstance(value, bool):
            raise TypeError(f"{option} must be True or False")
    if isinstance(y, (str, bytes)):
        raise TypeError(f"expected a sequence of numbers, got {type(y).__name__}")
    series = _series_array(y, "the series")
    if series.ndim != 1:
        raise ValueError(f"expected a 1-D sequence of numbers, got {series.ndim} dimensions")
    features = FeatureSet("catch24-v1" if catch24 else "catch22-v1", mask=mask, short_names=short_names)
    matrix, names = extract_array([series], features, n_jobs=1)
    return {name: float(value) for name, value in zip(names, matrix[0])}
