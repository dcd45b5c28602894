"""Prints, as JSON, what the quorlex importable here computes on a few of the
bundled real series: catch24, the tsfeatures set and the catchaMouse16 features
that use GSL, and the batch engine's catch24 and catchaMouse16 sets (through
plain array buffers: no numpy needed), each value as float.hex() so that
comparisons are bit for bit.

Usage: probe.py SERIES_CSV"""

import array
import csv
import importlib.util
import json
import pathlib
import sys

import quorlex


def batch_engine():
    """quorlex_batch._engine without the package's numpy-based front ends."""
    package = pathlib.Path(importlib.util.find_spec("quorlex_batch").submodule_search_locations[0])
    (path,) = package.glob("_engine.*so")
    found = importlib.util.spec_from_file_location("quorlex_batch._engine", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module

SERIES = ["seattle_daily_precipitation_2012_2015", "seattle_daily_temp_max_2012_2015",
          "us_employment_nonfarm_2006_2015", "us_employment_nonfarm_change_2006_2015"]
# Robust regression and seeded Gaussian noise both come from GSL.
CATCHAMOUSE16 = ["sc_fluctanal_2_dfa_50_2_logi_r2_se2_f", "co_addnoise_1_even_10_ami_at_10_f",
                 "sy_driftingmean50_min_f"]


def main(path):
    with open(path, newline="") as handle:
        rows = {row[0]: [float(v) for v in row[1:]] for row in csv.reader(handle) if row}
    values = {}
    for label in SERIES:
        y = rows[label]
        for set_name, result in (("catch24", quorlex.catch22_all_f(y, catch24=True)),
                                 ("tsfeatures", quorlex.tsfeatures_all_f(y))):
            for name, value in zip(result.names, result.values):
                values[f"{label}/{set_name}/{name}"] = value.hex()
        for function in CATCHAMOUSE16:
            values[f"{label}/{function}"] = getattr(quorlex, function)(y).hex()
    series = [rows[label] for label in SERIES]
    offsets = array.array("q", [0])
    for y in series:
        offsets.append(offsets[-1] + len(y))
    flat = array.array("d", [v for y in series for v in y])
    _engine = batch_engine()
    for set_name in ("catch24", "catchamouse16"):
        matrix, names = _engine.run(set_name, None, flat, offsets, 0, None)
        out = array.array("d", matrix)
        for i, label in enumerate(SERIES):
            for k, name in enumerate(names):
                values[f"{label}/batch/{set_name}/{name}"] = out[i * len(names) + k].hex()
    json.dump({"file": quorlex.__file__, "version": quorlex.__version__,
               "all": quorlex.__all__, "values": values}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
