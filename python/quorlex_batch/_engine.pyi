from collections.abc import Callable, Sequence
from typing import Any, Literal, overload

import numpy as np
import numpy.typing as npt

from quorlex import PanicException as PanicException  # the same class object

Options = dict[str, bool | int | None] | None
Matrix = npt.NDArray[np.float64]
Flags = npt.NDArray[np.bool_]

def sets() -> list[str]: ...
def names(features: str | Sequence[str], options: Options = None) -> list[str]: ...
@overload
def run(features: str | Sequence[str], options: Options, values: Any, offsets: Any, max_threads: int,
        progress: Callable[[int], object] | None, masked: Literal[False] = False) -> tuple[Matrix, list[str]]: ...
@overload
def run(features: str | Sequence[str], options: Options, values: Any, offsets: Any, max_threads: int,
        progress: Callable[[int], object] | None, masked: Literal[True]) -> tuple[Matrix, list[str], Flags]: ...
def run_windows(features: str | Sequence[str], options: Options, values: Any, bounds: Any, max_threads: int,
                progress: Callable[[int], object] | None) -> tuple[Matrix, list[str]]: ...
