"""Compares two pickles of values.py: per function, how many values have the
same bits, how many are zeros of the other sign (order statistics of a series
holding both -0.0 and 0.0: which of the equal zeros a sort puts first differs
between standard libraries), how many are NaN in both with other bits (x86-64 makes the NaN of an
invalid operation negative, aarch64 positive: no value depends on it), how many
differ within a relative tolerance (with the largest relative difference), how
many near zero differ by less than an absolute tolerance only (the rounding
residue of a normalised quantity that is zero or nearly so: the spectral
entropy of a one-bin spectrum, an autocorrelation of 1e-7 at a lag where it
vanishes; relative to their scale of 1 they agree to 1e-15), and how many
differ beyond both or in kind.

Usage: compare_values.py REFERENCE OTHER [--tolerance 1e-12] [--absolute 1e-15]

Exits 1 when any value differs beyond the tolerance."""

import argparse
import math
import pickle
import struct
import sys


def bits(x):
    return struct.pack("<d", x)


def relative(a, b):
    if a == b:  # 0.0 and -0.0
        return 0.0
    if math.isnan(a) or math.isnan(b) or math.isinf(a) or math.isinf(b):
        return math.inf
    return abs(a - b) / max(abs(a), abs(b))


def compare(reference, other, tolerance, absolute=0.0):
    """{function: [identical, within, beyond, largest relative difference, NaN bits,
    near zero, largest absolute difference near zero, zeros of the other sign]}"""
    totals = {}
    for key in sorted(set(reference) | set(other), key=repr):
        row = totals.setdefault(key[0], [0, 0, 0, 0.0, 0, 0, 0.0, 0])
        a, b = reference.get(key), other.get(key)
        if not isinstance(a, list) or not isinstance(b, list) or len(a) != len(b):
            if a == b:
                row[0] += 1
            else:
                row[2] += 1
            continue
        for x, y in zip(a, b):
            if not isinstance(x, float) or not isinstance(y, float):
                row[0 if x == y else 2] += 1
            elif bits(x) == bits(y):
                row[0] += 1
            elif math.isnan(x) and math.isnan(y):
                row[4] += 1
            elif x == y:
                row[7] += 1
            elif (d := relative(x, y)) <= tolerance:
                row[1] += 1
                row[3] = max(row[3], d)
            elif abs(x - y) <= absolute:
                row[5] += 1
                row[6] = max(row[6], abs(x - y))
            else:
                row[2] += 1
    return totals


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("reference")
    parser.add_argument("other")
    parser.add_argument("--tolerance", type=float, default=1e-12)
    parser.add_argument("--absolute", type=float, default=1e-15)
    args = parser.parse_args()
    with open(args.reference, "rb") as a, open(args.other, "rb") as b:
        totals = compare(pickle.load(a)["values"], pickle.load(b)["values"], args.tolerance, args.absolute)
    for name, (same, within, beyond, largest, nans, near, largest_near, zeros) in sorted(totals.items()):
        if within or beyond or near or zeros:
            print(f"{name:40s} {same:7d} identical {zeros:2d} ±0 {nans:5d} NaN {within:5d} within "
                  f"(largest {largest:.1e}) {near:3d} near zero (largest {largest_near:.1e}) {beyond:3d} beyond")
    same, within, beyond, _, nans, near, _, zeros = (sum(row[k] for row in totals.values()) for k in range(8))
    print(f"{len(totals)} functions and sets: {same} values identical, {zeros} zeros of the other sign, "
          f"{nans} NaN with other bits, "
          f"{within} within {args.tolerance:g} relative, {near} near zero within {args.absolute:g}, {beyond} beyond")
    sys.exit(1 if beyond else 0)


if __name__ == "__main__":
    main()
