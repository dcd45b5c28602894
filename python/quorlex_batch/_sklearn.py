"""scikit-learn front end."""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt
from sklearn.base import BaseEstimator, TransformerMixin  # type: ignore[import-untyped,unused-ignore]
from sklearn.utils.validation import check_is_fitted  # type: ignore[import-untyped,unused-ignore]

from ._core import Features, extract_array, feature_names, to_batch

try:
    from sklearn.utils.validation import validate_data  # type: ignore[import-untyped,unused-ignore]
except ImportError:  # scikit-learn before 1.6
    def validate_data(estimator: Any, X: Any, **options: Any) -> Any:
        options["force_all_finite"] = options.pop("ensure_all_finite")
        return estimator._validate_data(X, **options)


def _table(X: Any) -> bool:
    """Whether X is an array-like other than a 3-D array (an array, a DataFrame,
    not a list of series of several lengths): checked by scikit-learn's rules,
    its series length counted as n_features_in_."""
    if isinstance(X, (list, tuple)) or not (hasattr(X, "ndim") or hasattr(X, "__array__")):
        return False
    return int(getattr(X, "ndim", None) or np.asarray(X).ndim) != 3


class FeatureTransformer(TransformerMixin, BaseEstimator):  # type: ignore[misc]
    """Turns series into feature rows: X is a 2-D array (one series per row), a
    3-D array (cases x channels x length) or a sequence of series of any lengths.

    ``features`` is a set name, a ``FeatureSet`` or a list of feature names;
    ``n_jobs`` caps the worker threads (None or -1: the whole pool);
    ``progress`` shows a tqdm bar over series.
    """

    def __init__(self, features: Features = "catch24", n_jobs: int | None = None, progress: bool = False) -> None:
        self.features = features
        self.n_jobs = n_jobs
        self.progress = progress

    def fit(self, X: Any, y: Any = None) -> FeatureTransformer:
        if _table(X):  # sets n_features_in_ (the series length) and feature_names_in_
            X = validate_data(self, X, reset=True, dtype=np.float64, ensure_all_finite=False)
        batch = to_batch(X)
        names = feature_names(self.features)
        if batch.channels is not None:
            names = [f"{channel}__{name}" for channel in range(batch.channels) for name in names]
        self.feature_names_out_ = np.asarray(names, dtype=object)
        return self

    def transform(self, X: Any) -> npt.NDArray[np.float64]:
        check_is_fitted(self, "feature_names_out_")
        if _table(X) and hasattr(self, "n_features_in_"):
            X = validate_data(self, X, reset=False, dtype=np.float64, ensure_all_finite=False)
        matrix, names = extract_array(X, self.features, n_jobs=self.n_jobs, progress=self.progress)
        if len(names) != len(self.feature_names_out_):
            raise ValueError(f"X gives {len(names)} features, but the transformer was fitted for"
                             f" {len(self.feature_names_out_)} (a different number of channels)")
        return matrix

    def get_feature_names_out(self, input_features: Any = None) -> npt.NDArray[np.object_]:
        check_is_fitted(self, "feature_names_out_")
        names: npt.NDArray[np.object_] = self.feature_names_out_.copy()
        return names

    def __sklearn_tags__(self) -> Any:
        tags = super().__sklearn_tags__()
        tags.requires_fit = True
        tags.input_tags.allow_nan = True
        return tags
