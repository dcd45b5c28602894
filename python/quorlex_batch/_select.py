"""scikit-learn selector: keeps the features relevant to the target of the
rows it was fitted on."""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt
from sklearn.base import BaseEstimator  # type: ignore[import-untyped,unused-ignore]
from sklearn.feature_selection import SelectorMixin  # type: ignore[import-untyped,unused-ignore]
from sklearn.utils.validation import check_is_fitted, validate_data  # type: ignore[import-untyped,unused-ignore]

from . import _relevance


class FeatureSelector(SelectorMixin, BaseEstimator):  # type: ignore[misc]
    """Selects the features that ``relevance`` finds relevant to y on the
    training rows; ``transform`` keeps those columns. It goes after
    ``FeatureTransformer`` in a Pipeline. The options are ``relevance``'s, except
    that ``multiclass`` defaults to "auto": a target with more than two classes
    is tested one class against the rest, as a classifier after it expects.
    ``relevance_`` is the fitted relevance table, in column order.
    """

    def __init__(self, task: str = "auto", fdr_level: float = 0.05, hypotheses_independent: bool = False,
                 test_for_binary_target_real_feature: str = "mann", multiclass: bool | str = "auto",
                 n_significant: int = 1) -> None:
        self.task = task
        self.fdr_level = fdr_level
        self.hypotheses_independent = hypotheses_independent
        self.test_for_binary_target_real_feature = test_for_binary_target_real_feature
        self.multiclass = multiclass
        self.n_significant = n_significant

    def fit(self, X: Any, y: Any) -> FeatureSelector:
        if y is None:
            raise ValueError("FeatureSelector requires y to be passed, but the target y is None")
        settings = _relevance.options(self.task, self.fdr_level, self.hypotheses_independent,
                                      self.test_for_binary_target_real_feature, self.multiclass, self.n_significant)
        data = validate_data(self, X, ensure_all_finite=False, dtype=np.float64, ensure_min_samples=2)
        goal = _relevance.target(y, data.shape[0], None, settings.task, settings.multiclass)
        if goal.one_vs_rest and settings.n_significant > len(goal.classes):
            raise ValueError(f"n_significant is {settings.n_significant}, but y has only {len(goal.classes)}"
                             " classes")
        names = list(getattr(self, "feature_names_in_", range(data.shape[1])))
        self.relevance_ = _relevance.table(data, names, goal, settings, by_p_value=False)
        self.support_ = self.relevance_["relevant"].to_numpy(dtype=bool)
        return self

    def transform(self, X: Any) -> Any:
        check_is_fitted(self, "support_")
        return super().transform(X)

    def _get_support_mask(self) -> npt.NDArray[np.bool_]:
        check_is_fitted(self, "support_")
        mask: npt.NDArray[np.bool_] = self.support_
        return mask

    def __sklearn_tags__(self) -> Any:
        tags = super().__sklearn_tags__()
        tags.target_tags.required = True
        tags.input_tags.allow_nan = True
        return tags
