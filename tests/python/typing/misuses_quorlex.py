"""Each marked line must be an error for mypy --strict: the stubs are not Any."""

import quorlex

quorlex.co_f1ecac_f("1234", normalize=True)  # E: str is not a series
quorlex.arch_stat_f([1.0], lags=None)  # E: lags takes no None
quorlex.co_f1ecac_f([1.0], foo=1)  # E: unknown keyword
text: str = quorlex.entropy_f([1.0])  # E: returns float
