"""Prints, as JSON, what the quorlex importable here computes on a few of the
bundled real series: catch24, the tsfeatures set and the catchaMouse16 features
that use GSL, each value as float.hex() so that comparisons are bit for bit.

Usage: probe.py SERIES_CSV"""

import csv
import json
import sys

import quorlex

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
    json.dump({"file": quorlex.__file__, "version": quorlex.__version__,
               "all": quorlex.__all__, "values": values}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
