from collections.abc import Callable, Sequence

from typing import Any

from quorlex import PanicException as PanicException  # the same class object

def sets() -> list[str]: ...
def names(features: str | Sequence[str], options: dict[str, bool | int | None] | None = None, /) -> list[str]: ...
def run(features: str | Sequence[str], options: dict[str, bool | int | None] | None, values: Any, offsets: Any,
        out: Any, max_threads: int, progress: Callable[[int], object] | None, /) -> None: ...
