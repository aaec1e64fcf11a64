"""Measures the largest error of the library's cumulative distribution for the
types whose quantile search skips the halvings it can decide in advance
(normal, gamma, beta, Student t), over dense grids of abscissae and shapes,
against SciPy.

    KVZ_COMP_LIBRARY=build/release/libkvz_comp.so python3 tests/accuracy/cumulative_bounds.py

For each shape it prints the worst |F_library(x) - F_SciPy(x)| over abscissae
from the 1e-12 to the 1 - 1e-12 quantile (plus a uniform grid over the same
span), and per family the worst over the shapes. The bounds in
eval/quantile_band.cpp are these figures with a margin.
"""
import numpy as np
from scipy import special, stats

from kvz import Slot

DENSE = 100_000


def grid(ppf, low=1e-12, far=()):
    """Abscissae dense in probability and dense in x over the same span, and
    `far` ones out in the tails."""
    rng = np.random.default_rng(7)
    u = np.concatenate([np.linspace(low, 1 - low, DENSE), rng.uniform(low, 1 - low, DENSE),
                        np.geomspace(low, 0.5, DENSE // 4), 1 - np.geomspace(low, 0.5, DENSE // 4)])
    x = ppf(u)
    x = x[np.isfinite(x)]
    return np.concatenate([x, np.linspace(x.min(), x.max(), DENSE), np.asarray(far, dtype=float)])


def worst(slot, x, reference):
    return float(np.max(np.abs(slot.cdf(x) - reference(x))))


def normal():
    tails = np.geomspace(1, 1e300, 2000)
    x = np.concatenate([np.linspace(-40, 40, 4 * DENSE), grid(special.ndtri), tails, -tails])
    return {"normal": worst(Slot(4, {"mean": 0, "stdev": 1}), x, special.ndtr)}


def gamma(shapes):
    out = {}
    for a in shapes:
        x = grid(lambda u: special.gammaincinv(a, u), far=np.geomspace(1e-300, 1e6 * (a + 10), 2000))
        out[f"gamma a={a:.4g}"] = worst(Slot(12, {"shape_a": a, "scale": 1}), x,
                                        lambda v: special.gammainc(a, v))
    return out


def beta(shapes):
    out = {}
    for a in shapes:
        for b in shapes:
            tails = np.geomspace(1e-300, 1e-3, 1000)
            x = grid(lambda u: special.betaincinv(a, b, u), far=np.concatenate([tails, 1 - tails]))
            slot = Slot(11, {"shape_a": a, "shape_b": b, "minimum": 0, "maximum": 1})
            out[f"beta a={a:.4g} b={b:.4g}"] = worst(slot, x, lambda v: special.betainc(a, b, v))
    return out


def student_t(dofs):
    out = {}
    for nu in dofs:
        tails = np.geomspace(1, 1e150, 2000)
        x = grid(lambda u: stats.t.ppf(u, nu), far=np.concatenate([tails, -tails]))
        out[f"t nu={nu:.4g}"] = worst(Slot(35, {"shape_a": nu}), x, lambda v: special.stdtr(nu, v))
    return out


def main():
    families = [normal(),
                gamma(np.geomspace(0.05, 2000, 40)),
                beta(np.geomspace(0.1, 1000, 12)),
                student_t(np.geomspace(0.1, 1e4, 30))]
    for results in families:
        for case, err in results.items():
            print(f"{case:32s} {err:.3e}")
        print(f"worst: {max(results.values()):.3e}\n")


if __name__ == "__main__":
    main()
