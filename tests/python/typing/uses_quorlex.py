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
frame: pd.DataFrame = quorlex_batch.extract([y, y[:100]], quorlex_batch.FeatureSet("tsfeatures", freq=12))
transformer = quorlex_batch.FeatureTransformer(["entropy", "hurst"])
out: npt.NDArray[np.float64] = transformer.fit_transform(np.ones((3, 40)))
versions: tuple[str, str] = (quorlex.__version__, quorlex_batch.__version__)
try:
    quorlex.dn_iqm_mean_f([])
except quorlex_batch.PanicException as failure:
    message: str = str(failure)
