from collections.abc import Callable, Sequence
from typing import Any, Literal, overload

from quorlex import PanicException as PanicException  # the same class object

Options = dict[str, bool | int | None] | None

def sets() -> list[str]: ...
def names(features: str | Sequence[str], options: Options = None) -> list[str]: ...
@overload
def run(features: str | Sequence[str], options: Options, values: Any, offsets: Any, max_threads: int,
        progress: Callable[[int], object] | None, masked: Literal[False] = False) -> tuple[bytearray, list[str]]: ...
@overload
def run(features: str | Sequence[str], options: Options, values: Any, offsets: Any, max_threads: int,
        progress: Callable[[int], object] | None, masked: Literal[True]) -> tuple[bytearray, list[str], bytearray]: ...
def run_windows(features: str | Sequence[str], options: Options, values: Any, bounds: Any, max_threads: int,
                progress: Callable[[int], object] | None) -> tuple[bytearray, list[str]]: ...
