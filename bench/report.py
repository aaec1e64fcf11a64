#!/usr/bin/env python3
"""Turns the benchmark program's JSON output into bench/RESULTS.md.

Benchmarks are named <section>/<case>/<implementation>; "kvz..." is the
library, anything else a peer. Each figure is the CPU time per value, the
least over the repetitions (the run shares the machine with other work, and
interference only ever adds time). Ratios are library / fastest peer.
"""
import argparse
import json
import os
import platform
import subprocess
import sys
from collections import defaultdict

# dvalue targets: ratio to the fastest peer per variate.
TABLE, DIRECT, NORMAL = 1.0, 1.5, 2.0
DVALUE_TARGETS = {
    "gamma": ("CDF table", TABLE),
    "beta": ("CDF table", TABLE),
    "truncated_normal": ("CDF table", TABLE),
    "poisson_mean4": ("discrete table", TABLE),
    "poisson_mean400": ("discrete table", TABLE),
    "binomial_n10": ("discrete table", TABLE),
    "binomial_n1000": ("discrete table", TABLE),
    "hypergeometric": ("discrete table", TABLE),
    "exponential": ("direct", DIRECT),
    "uniform": ("direct", DIRECT),
    "triangular": ("direct", DIRECT),
    "weibull": ("direct (inverse)", DIRECT),
    "logistic": ("direct", DIRECT),
    "rayleigh": ("direct", DIRECT),
    "normal": ("normal-based", NORMAL),
    "lognormal": ("normal-based", NORMAL),
}
# Speed goals (ratio to the fastest peer) for the cumulative-table and
# normal-based draws, single and in batches, and for precalc.
DVALUE_GOALS = {"gamma": 0.9, "beta": 0.5, "truncated_normal": 2.2}
BATCH_GOALS = {"gamma": 0.5, "truncated_normal": 1.2, "normal": 3.0, "lognormal": 2.2}
PRECALC_GOALS_NS = {"exp_power": 8e6}
STRATIFIED_TARGET = 50.0         # stratified / plain, per value
PLAIN_SINGLE_LIMIT_NS = 2.5      # one rng call, plain kind
PLAIN_BATCH_LIMIT_NS = 0.5       # rng_batch, plain kind, per value
TRUNCATED_INIT_LIMIT_NS = 5e6    # dinitialise of a truncated slot
TRUNCATED_G_LIMIT_NS = 20e3      # get_pdf_g of a truncated slot
# Speed goals for quantiles (kvz / Boost.Math), and for dinitialise of a normal
# slot against the three Boost.Math normal quantiles its statistics need.
QUANTILE_GOALS = {"normal": 20.0, "truncated_normal": 25.0, "gamma": 1.5, "beta": 1.5,
                  "student_t": 1.5}
NORMAL_INIT_GOAL = 15.0
FAR_DRAW_GOAL = 3.0              # a discrete draw / binomial n 1000
CDF_REPEAT_GOAL = 10.0           # get_pdf_f, Poisson mean 4e6, repeated calls / Boost.Math


def load(path):
    with open(path) as f:
        data = json.load(f)
    best = {}
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or "items_per_second" not in b:
            continue
        ns = 1e9 / b["items_per_second"]
        name = b.get("run_name", b["name"])
        best[name] = min(ns, best.get(name, float("inf")))
    sections = defaultdict(lambda: defaultdict(dict))
    for name, ns in best.items():
        section, case, impl = name.split("/", 2)
        sections[section][case][impl] = ns
    return data.get("context", {}), sections


def fmt_ns(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.2f} µs"
    return f"{ns:.1f} ns"


def verdict(ok):
    return "yes" if ok else "**no**"


def fastest_peer(impls):
    peers = {k: v for k, v in impls.items() if not k.startswith("kvz")}
    if not peers:
        return None, None
    name = min(peers, key=peers.get)
    return name, peers[name]


def machine(context, load_avg):
    model = "unknown"
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    cores = os.cpu_count()
    lines = [
        "## Machine",
        "",
        f"- CPU: {model}, {cores} logical cores"
        f" ({context.get('mhz_per_cpu', '?')} MHz reported)",
        f"- System: {platform.system()} {platform.release()}, {platform.machine()}",
        f"- Build: -O2 release, -ffp-contract=off; run date {context.get('date', '?')}",
    ]
    if load_avg:
        lines.append(f"- Load average when the run started: {load_avg} (the machine is shared;"
                     " each figure is the least CPU time per value over the repetitions)")
    return lines


def dvalue_section(cases):
    lines = ["## Random variates (`dvalue`) against the fastest peer",
             "",
             "Peers: the standard library's and Boost.Random's sampler of the same family,"
             " each with `mt19937` and `minstd_rand`; the fastest of the four counts.",
             "",
             "| case | method | kvz | fastest peer | peer time | ratio | target | met"
             " | speed goal | met |",
             "|---|---|---|---|---|---|---|---|---|---|"]
    for case, (method, target) in DVALUE_TARGETS.items():
        impls = cases.get(case)
        if not impls or "kvz" not in impls:
            continue
        peer, peer_ns = fastest_peer(impls)
        ratio = impls["kvz"] / peer_ns
        goal = DVALUE_GOALS.get(case)
        goal_cells = f"≤ {goal:.1f}× | {verdict(ratio <= goal)}" if goal else " | "
        lines.append(f"| {case} | {method} | {fmt_ns(impls['kvz'])} | {peer} | {fmt_ns(peer_ns)}"
                     f" | {ratio:.2f}× | ≤ {target:.1f}× | {verdict(ratio <= target)}"
                     f" | {goal_cells} |")
    extra = [(a, b) for a, b in (("binomial_n1000", "binomial_n10"),
                                 ("poisson_mean400", "poisson_mean4"))
             if "kvz" in cases.get(a, {}) and "kvz" in cases.get(b, {})]
    if extra:
        lines += ["", "Search cost against table length (kvz alone):", "",
                  "| cases | ratio |", "|---|---|"]
        for a, b in extra:
            lines.append(f"| {a} / {b} | {cases[a]['kvz'] / cases[b]['kvz']:.2f}× |")
    base = cases.get("binomial_n1000", {}).get("kvz")
    far = sorted((c for c in cases if c.startswith(("binomial_n", "poisson_mean")) and "kvz" in cases[c]),
                 key=lambda c: (c.startswith("poisson"), float(c.rpartition("n")[2])))
    if base and far:
        lines += ["", f"Discrete draws beyond the table's window: each draw's time against binomial"
                  f" n 1000, goal ≤ {FAR_DRAW_GOAL:g}×:", "",
                  "| case | kvz | fastest peer | to binomial n 1000 | met |", "|---|---|---|---|---|"]
        for c in far:
            peer, peer_ns = fastest_peer(cases[c])
            ratio = cases[c]["kvz"] / base
            lines.append(f"| {c} | {fmt_ns(cases[c]['kvz'])} | {peer} {fmt_ns(peer_ns)} | {ratio:.2f}×"
                         f" | {verdict(ratio <= FAR_DRAW_GOAL)} |")
    return lines


def batch_section(cases, dvalue_cases):
    lines = ["## Batch draw (`dvalue_batch`) against single calls and the fastest peer", "",
             "Batches of 1000 values; the peer is the fastest single-draw peer of the"
             " `dvalue` table above.", "",
             "| case | batch per value | single calls per value | ratio to single"
             " | ratio to peer | speed goal | met |", "|---|---|---|---|---|---|---|"]
    for case, impls in sorted(cases.items()):
        if "kvz" in impls and "single_calls" in impls:
            _, peer_ns = fastest_peer(dvalue_cases.get(case, {}))
            to_peer = impls["kvz"] / peer_ns if peer_ns else None
            goal = BATCH_GOALS.get(case)
            goal_cells = " | "
            if goal and to_peer is not None:
                goal_cells = f"≤ {goal:.1f}× | {verdict(to_peer <= goal)}"
            peer_cell = f"{to_peer:.2f}×" if to_peer is not None else "—"
            lines.append(f"| {case} | {fmt_ns(impls['kvz'])} | {fmt_ns(impls['single_calls'])}"
                         f" | {impls['kvz'] / impls['single_calls']:.2f}× | {peer_cell}"
                         f" | {goal_cells} |")
    return lines


def correlated_section(cases):
    lines = ["## Correlated draw (`dvalue_correlated`) beyond the draws themselves", "",
             "21 slots x 1000 values: the call against the same draws made by 21 `dvalue_batch` calls.", "",
             "| case | correlated | draws only | beyond the draws | target | met |", "|---|---|---|---|---|---|"]
    for case, impls in sorted(cases.items()):
        if "kvz" in impls and "draws_only" in impls:
            extra = impls["kvz"] - impls["draws_only"]
            lines.append(f"| {case} | {fmt_ns(impls['kvz'])} | {fmt_ns(impls['draws_only'])} | {fmt_ns(extra)}"
                         f" | ≤ 5 ms | {verdict(extra <= 5e6)} |")
    return lines


def rng_section(cases):
    impls = cases.get("per_value", {})
    lines = ["## Uniform generator (`rng`) per value", "",
             "Peers: one step of `std::minstd_rand` / `std::mt19937` turned into a double."
             " The stratified kind is amortised over whole blocks of 1000.", "",
             "| kind | kvz | fastest peer | ratio to peer | ratio to plain | target | met |",
             "|---|---|---|---|---|---|---|"]
    peer, peer_ns = fastest_peer(impls)
    plain = impls.get("kvz_plain")
    for kind in ("plain", "shuffled", "stratified"):
        ns = impls.get("kvz_" + kind)
        if ns is None:
            continue
        to_plain = ns / plain if plain else float("nan")
        target, met = "", ""
        if kind == "plain":
            target = f"≤ {PLAIN_SINGLE_LIMIT_NS} ns"
            met = verdict(ns <= PLAIN_SINGLE_LIMIT_NS)
        if kind == "stratified":
            target = f"≤ {STRATIFIED_TARGET:.0f}× plain"
            met = verdict(to_plain <= STRATIFIED_TARGET)
        lines.append(f"| {kind} | {fmt_ns(ns)} | {peer} {fmt_ns(peer_ns)} | {ns / peer_ns:.2f}×"
                     f" | {to_plain:.2f}× | {target} | {met} |")
    return lines


def rng_batch_section(cases):
    impls = cases.get("plain", {})
    if "kvz_rng_batch" not in impls or "kvz_step_by_step" not in impls:
        return []
    batch, steps = impls["kvz_rng_batch"], impls["kvz_step_by_step"]
    return ["## `rng_batch` of the plain kind per value", "",
            "Batches of 1000 through the export (lanes of the jump-ahead recurrence) beside the same"
            " values made one base step at a time.", "",
            "| rng_batch | step by step | ratio | target | met |", "|---|---|---|---|---|",
            f"| {fmt_ns(batch)} | {fmt_ns(steps)} | {batch / steps:.2f}× | ≤ {PLAIN_BATCH_LIMIT_NS} ns"
            f" | {verdict(batch <= PLAIN_BATCH_LIMIT_NS)} |"]


def evaluation_section(sections):
    lines = ["## Density, cumulative and inverse against Boost.Math", "",
             "Per call, averaged over 64 points across the distribution"
             " (probabilities 0.01 .. 0.99 for the inverse). Ratio = kvz / Boost.Math;"
             " Boost.Math computes in double (policy `promote_double<false>`), as the library"
             " does.", "",
             "| type | pdf kvz | pdf ratio | cdf kvz | cdf ratio | inverse kvz | inverse ratio |",
             "|---|---|---|---|---|---|---|"]
    types = sorted(set(sections["pdf"]) | set(sections["cdf"]) | set(sections["quantile"]))
    for t in types:
        row = [t]
        for sec in ("pdf", "cdf", "quantile"):
            impls = sections[sec].get(t, {})
            if "kvz" in impls and "boost_math" in impls:
                row += [fmt_ns(impls["kvz"]), f"{impls['kvz'] / impls['boost_math']:.2f}×"]
            else:
                row += ["—", "—"]
        lines.append("| " + " | ".join(row) + " |")
    lines += ["", "Speed goals (`get_pdf_g` / Boost.Math's quantile; `dinitialise` of a normal"
              " slot / three Boost.Math normal quantiles; `get_pdf_f` / Boost.Math's cdf):", "",
              "| case | ratio | goal | met |", "|---|---|---|---|"]
    for t, goal in QUANTILE_GOALS.items():
        impls = sections["quantile"].get(t, {})
        if "kvz" in impls and "boost_math" in impls:
            ratio = impls["kvz"] / impls["boost_math"]
            lines.append(f"| `get_pdf_g` {t} | {ratio:.2f}× | ≤ {goal:g}× | {verdict(ratio <= goal)} |")
    init = sections["dinitialise"].get("normal", {}).get("kvz")
    peer = sections["quantile"].get("normal", {}).get("boost_math")
    if init and peer:
        ratio = init / (3 * peer)
        lines.append(f"| `dinitialise` normal | {ratio:.2f}× | ≤ {NORMAL_INIT_GOAL:g}×"
                     f" | {verdict(ratio <= NORMAL_INIT_GOAL)} |")
    big = sections["cdf"].get("poisson_mean4e6", {})
    if "kvz" in big and "boost_math" in big:
        ratio = big["kvz"] / big["boost_math"]
        lines.append(f"| `get_pdf_f` Poisson mean 4e6, repeated | {ratio:.2f}× | ≤ {CDF_REPEAT_GOAL:g}×"
                     f" | {verdict(ratio <= CDF_REPEAT_GOAL)} |")
    trunc = {t: i["kvz"] for t, i in sections["quantile"].items()
             if t.startswith("truncated") and "kvz" in i}
    if trunc:
        lines += ["", f"`get_pdf_g` of a truncated slot, limit {fmt_ns(TRUNCATED_G_LIMIT_NS)}:", "",
                  "| case | time | met |", "|---|---|---|"]
        for t, ns in sorted(trunc.items()):
            lines.append(f"| {t} | {fmt_ns(ns)} | {verdict(ns <= TRUNCATED_G_LIMIT_NS)} |")
    return lines


def init_section(sections):
    lines = ["## Initialisation (`dinitialise`) and preparation (`precalc`)", "",
             f"Truncated slots: limit {fmt_ns(TRUNCATED_INIT_LIMIT_NS)} for `dinitialise`."
             " The case name gives the moment method the type's rule picks."
             + "".join(f" Speed goal for `precalc` of {c}: ≤ {fmt_ns(ns)}."
                       for c, ns in PRECALC_GOALS_NS.items()), "",
             "| case | dinitialise | met | precalc | met |", "|---|---|---|---|---|"]
    cases = sorted(set(sections["dinitialise"]) | set(sections["precalc"]),
                   key=lambda c: (c.startswith("truncated"), c))
    for c in cases:
        init = sections["dinitialise"].get(c, {}).get("kvz")
        pre = sections["precalc"].get(c, {}).get("kvz")
        met = verdict(init <= TRUNCATED_INIT_LIMIT_NS) if init and c.startswith("truncated") else ""
        goal = PRECALC_GOALS_NS.get(c)
        pre_met = verdict(pre <= goal) if goal and pre else ""
        lines.append(f"| {c} | {fmt_ns(init) if init else '—'} | {met}"
                     f" | {fmt_ns(pre) if pre else '—'} | {pre_met} |")
    return lines


FLOOR_LABELS = {
    "rng_export": "`rng()` through the export, plain kind (the uniform every draw takes)",
    "log": "`std::log(u)`",
    "sin_2pi_u": "`std::sin(2π u)`",
    "sqrt_log_sin": "`sin(2π u) × sqrt(−2 ln u')`, the normal-based method's arithmetic",
    "exp_power_kernel": "`exp(−pow(|x|, 2/a) / 2)`, the exponential power density's part in x (a = 1.5)",
    "exp_power_density": "`density` of the same exponential power slot, as `precalc` calls it",
    "table_locate_1001": "`table_locate` on a 1001-entry cumulative table",
    "table_interpolate_1001": "`table_interpolate` (locate + four-point Neville) on the same table",
    "guided_locate_1001": "`guided_locate` (the guide's bucket, then bisection inside it), same table",
    "guided_interpolate_1001": "`table_draw_interpolate` (guided locate + unrolled Neville), same table",
}


def floor_section(cases):
    lines = ["## Cost floors", "",
             "The calls a draw's algorithm cannot do without, timed alone on random uniforms.", "",
             "| call | time |", "|---|---|"]
    for case, label in FLOOR_LABELS.items():
        ns = cases.get(case, {}).get("kvz")
        if ns is not None:
            lines.append(f"| {label} | {fmt_ns(ns)} |")
    return lines


GUARD_CASES = {
    "rng": "`rng`, plain kind",
    "dvalue_exponential": "`dvalue`, exponential",
    "rng_batch_1000": "`rng_batch` of 1000, plain kind",
    "dvalue_batch_1000_exponential": "`dvalue_batch` of 1000, exponential",
}


def guard_section(cases):
    lines = ["## Generator guard", "",
             "Each export, which takes the guard once per call, beside the same work without it,"
             " in one run; per call for single draws, per value for batches of 1000."
             " The process has started a thread (as a threaded host has).", "",
             "| call | without guard | with guard | added | ratio | std::mutex instead |",
             "|---|---|---|---|---|---|"]
    for case, label in GUARD_CASES.items():
        impls = cases.get(case, {})
        if "unguarded" not in impls or "guarded" not in impls:
            continue
        before, after = impls["unguarded"], impls["guarded"]
        per_call = 1000 if "batch" in case else 1
        mutex = fmt_ns(impls["std_mutex"]) if "std_mutex" in impls else "—"
        lines.append(f"| {label} | {fmt_ns(before)} | {fmt_ns(after)}"
                     f" | {fmt_ns((after - before) * per_call)} per call | {after / before:.2f}× | {mutex} |")
    return lines


# Speed goal: every fitted type of the data's class on 10,000 values.
FIT_ALL_LIMIT_NS = 1e9


def fit_section(cases):
    lines = ["## Fitting (`fit_pdf`) on 10,000 values", "",
             "Absolute time per fit (no peer runs in-process): continuous values drawn from a gamma,"
             " whole numbers from a Poisson; each fitted type alone (by code), then all of the class"
             " in turn.", "", "| case | time | target | met |", "|---|---|---|---|"]
    def order(case):
        head, _, tail = case.rpartition("_")
        return (head, tail == "all", int(tail) if tail.isdigit() else 0)
    for case in sorted(cases, key=order):
        ns = cases[case].get("kvz")
        if ns is None:
            continue
        goal = case.endswith("_all")
        lines.append(f"| {case} | {fmt_ns(ns)} | {'≤ 1 s' if goal else ''}"
                     f" | {verdict(ns <= FIT_ALL_LIMIT_NS) if goal else ''} |")
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("json")
    parser.add_argument("--load", default="")
    args = parser.parse_args()
    context, sections = load(args.json)
    out = ["# Benchmark results", "",
           "Written by `bench/run.sh` from one run of `kvz_bench`; do not edit by hand.", ""]
    out += machine(context, args.load) + [""]
    out += dvalue_section(sections["dvalue"]) + [""]
    out += batch_section(sections["batch"], sections["dvalue"]) + [""]
    out += correlated_section(sections["correlated"]) + [""]
    out += fit_section(sections.get("fit", {})) + [""]
    out += rng_section(sections["rng"]) + [""]
    out += rng_batch_section(sections["rng_batch"]) + [""]
    out += evaluation_section(sections) + [""]
    out += init_section(sections) + [""]
    out += floor_section(sections["floor"]) + [""]
    out += guard_section(sections["guard"]) + [""]
    notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "notes.md")
    if os.path.exists(notes):
        with open(notes) as f:
            out += [f.read().rstrip(), ""]
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main()
