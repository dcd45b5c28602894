"""python -m quorlex_batch: the quorlex-extract command."""

import sys

from .cli import main

sys.exit(main())
