"""Series conversion speed: a 1,000,000-element list and numpy float64 array
through dn_spread_std_f, side by side with numpy.std(a, ddof=1) and sum(list).

Targets: the array call within 3x of numpy.std, the list call within 3x of sum(list)."""

import timeit

import numpy as np

import quorlex

N = 1_000_000


def best(statement, number=20):
    return min(timeit.repeat(statement, number=number, repeat=5)) / number


def main():
    array = np.random.default_rng(0).normal(size=N)
    values = array.tolist()
    strided = np.repeat(array, 2)[::2]
    rows = [
        ("quorlex.dn_spread_std_f(list)", best(lambda: quorlex.dn_spread_std_f(values))),
        ("sum(list)", best(lambda: sum(values))),
        ("quorlex.dn_spread_std_f(ndarray)", best(lambda: quorlex.dn_spread_std_f(array))),
        ("quorlex.dn_spread_std_f(strided ndarray)", best(lambda: quorlex.dn_spread_std_f(strided))),
        ("numpy.std(ndarray, ddof=1)", best(lambda: np.std(array, ddof=1))),
    ]
    width = max(len(name) for name, _ in rows)
    print(f"{'call':<{width}}  ms per call (n = {N:,})")
    for name, seconds in rows:
        print(f"{name:<{width}}  {seconds * 1e3:8.3f}")
    t = dict(rows)
    print(f"list / sum(list): {t['quorlex.dn_spread_std_f(list)'] / t['sum(list)']:.2f}x (target <= 3)")
    print(f"ndarray / numpy.std: {t['quorlex.dn_spread_std_f(ndarray)'] / t['numpy.std(ndarray, ddof=1)']:.2f}x (target <= 3)")


if __name__ == "__main__":
    main()
