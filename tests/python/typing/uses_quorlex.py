"""Checked by mypy --strict in the tests: typical uses of quorlex and quorlex_batch."""

from __future__ import annotations

import numpy as np
import numpy.typing as npt
import pandas as pd

import quorlex
import quorlex_batch

y = np.random.default_rng(0).normal(size=200)
value: float = quorlex.co_f1ecac_f(y, normalize=False) + quorlex.co_f1ecac_f([1.0, 2.0, 3.0])
result = quorlex.catch22_all_f(y, catch24=True)
names: list[str] = result.names
values: list[float] = result.values
table = quorlex.extract_tsfeatures_cumulative_f(range(50), freq=4, value_column_name="close")
rows: list[list[float]] = table.values
pacf: dict[str, float] = quorlex.pacf_features_f((1, 2, 3, 4), freq=None)

matrix, columns = quorlex_batch.extract_array(np.ones((4, 30)), "tsfeatures", n_jobs=1)
first: npt.NDArray[np.float64] = matrix[0]
v1, v1_names, masked = quorlex_batch.extract_array(np.ones((4, 30)), "catch24-v1", return_masked=True)
flags: npt.NDArray[np.bool_] = masked
v1_row: dict[str, float] = quorlex_batch.catch22_v1(y, catch24=True, short_names=True)
frame: pd.DataFrame = quorlex_batch.extract([y, y[:100]], quorlex_batch.FeatureSet("tsfeatures", freq=12))
transformer = quorlex_batch.FeatureTransformer(["entropy", "hurst"])
out: npt.NDArray[np.float64] = transformer.fit_transform(np.ones((3, 40)))
relevance: pd.DataFrame = quorlex_batch.relevance(frame, np.array([0, 1]), fdr_level=0.1)
chosen: pd.DataFrame = quorlex_batch.select(frame, np.array([0, 1]))
selector = quorlex_batch.FeatureSelector(multiclass=True, n_significant=2)
windows, window_names, where = quorlex_batch.roll_array(y, "catch24", 100, 10)
X, target = quorlex_batch.roll(y, "catch24", 100, horizon=1)
rolled_frame: pd.DataFrame = quorlex_batch.roll([y, y[:300]], ["DN_Mean"], 50, min_window=10)
versions: tuple[str, str] = (quorlex.__version__, quorlex_batch.__version__)
try:
    quorlex.dn_iqm_mean_f([])
except quorlex_batch.PanicException as failure:
    message: str = str(failure)
