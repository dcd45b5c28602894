"""Time-series features of whole datasets in one call.

``extract`` takes a 2-D or 3-D numpy array, a sequence of series of any lengths,
or a pandas DataFrame (long format as tsfresh takes it, or wide) and returns a
DataFrame; ``extract_array`` returns a float64 matrix and the column names
without pandas; ``roll`` and ``roll_array`` give the features of every sliding
window of every series; ``FeatureTransformer`` is the scikit-learn front end.
All of them run one native engine that converts the input once, releases the
interpreter lock and computes every series on quorlex's worker pool. Each value equals the
per-series quorlex function bit for bit, on every thread count.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

from quorlex import PanicException as PanicException
from quorlex import __version__ as __version__

from ._catch22_v1 import catch22_v1
from ._core import FeatureSet, Features, extract_array, feature_names, optional_import, sets
from ._roll import roll_array

if TYPE_CHECKING:
    from ._frame import extract
    from ._relevance import extract_relevant, relevance, select
    from ._roll_frame import roll
    from ._select import FeatureSelector
    from ._sklearn import FeatureTransformer

__all__ = ["FeatureSelector", "FeatureSet", "FeatureTransformer", "Features", "PanicException", "catch22_v1",
           "extract", "extract_array", "extract_relevant", "feature_names", "relevance", "roll", "roll_array",
           "select", "sets"]


def __getattr__(name: str) -> Any:
    # pandas and scikit-learn are optional: imported on first use.
    if name == "extract":
        optional_import("pandas", "pandas")
        from ._frame import extract

        return extract
    if name == "roll":
        from ._roll_frame import roll

        return roll
    if name == "FeatureTransformer":
        optional_import("sklearn", "sklearn")
        from ._sklearn import FeatureTransformer

        return FeatureTransformer
    if name in ("relevance", "select", "extract_relevant"):  # pandas and scipy
        from . import _relevance

        return getattr(_relevance, name)
    if name == "FeatureSelector":
        from ._select import FeatureSelector

        return FeatureSelector
    raise AttributeError(f"module 'quorlex_batch' has no attribute {name!r}")
