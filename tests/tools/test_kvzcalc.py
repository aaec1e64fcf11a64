"""kvzcalc as a user runs it: printed output, --json parsed, exit codes and
the one-line error messages, and the plot rendered to PNG."""

import json
import math
import os
import pathlib
import re
import struct
import subprocess
import xml.etree.ElementTree as ET

import pytest
from scipy import stats

from domain_cases import BAD_PARAMETERS

KVZCALC = os.environ["KVZCALC"]
GAMMA = ["gamma", "--scale", "2", "--shape-a", "3"]
NORMAL = ["normal", "--mean", "0", "--stdev", "1"]
# The type catalogue both hosts read.
CATALOGUE = json.loads((pathlib.Path(__file__).resolve().parents[2] / "interface" / "types.json").read_text())


def run(*args):
    return subprocess.run([KVZCALC, *args], capture_output=True, text=True, timeout=120)


def ok(*args):
    r = run(*args)
    assert r.returncode == 0, r.stderr
    assert r.stderr == ""
    return r.stdout


def ok_json(command, *args):
    return json.loads(ok(command, "--json", *args))


def csv_rows(text):
    lines = text.strip().split("\n")
    return lines[0], [[float(v) for v in line.split(",")] for line in lines[1:]]


# --- describe ----------------------------------------------------------------

def test_describe_gamma_gives_the_closed_form_statistics():
    j = ok_json("describe", *GAMMA)
    assert (j["type"], j["code"], j["class"]) == ("gamma", 12, "continuous")
    assert j["parameters"] == {"scale": 2, "shape_a": 3}
    s = j["statistics"]
    # Gamma(k=3, theta=2): mean k theta, mode (k-1) theta, variance k theta^2,
    # skewness 2/sqrt(k), kurtosis 3 + 6/k.
    expected = {"mean": 6, "mode": 4, "variance": 12, "stdev": math.sqrt(12),
                "skewness": 2 / math.sqrt(3), "kurtosis": 5}
    for name, value in expected.items():
        assert s[name] == pytest.approx(value, rel=1e-12), name
    # scipy.stats.gamma.ppf(0.5, 3, scale=2); bisection to 1e-6 in probability.
    assert s["median"] == pytest.approx(5.348120627447118, abs=1e-4)
    r = j["range"]
    assert (r["minimum"], r["p_min"], r["bounded_below"]) == (0, 0, True)
    # scipy.stats.gamma.ppf(0.995, 3, scale=2)
    assert r["maximum"] == pytest.approx(18.547584178511087, abs=1e-3)
    assert (r["p_max"], r["bounded_above"]) == (0.995, False)


def test_describe_text_names_each_statistic_and_the_range_ends():
    out = ok("describe", *GAMMA)
    assert out.startswith("gamma (code 12), continuous\n")
    for line in (r"mean\s+6", r"mode\s+4", r"variance\s+12", r"kurtosis\s+5",
                 r"minimum\s+0\s+\(bound, p 0\)", r"maximum\s+18\.5\d*\s+\(quantile, p 0\.995\)"):
        assert re.search("^" + line + "$", out, re.M), line


def test_statistics_that_do_not_exist_are_null_in_json_and_named_in_text():
    j = ok_json("describe", "cauchy", "--mean", "1", "--scale", "2")
    assert j["statistics"]["variance"] is None and j["statistics"]["stdev"] is None
    assert j["statistics"]["median"] == pytest.approx(1)
    assert re.search(r"^variance\s+does not exist$", ok("describe", "cauchy", "--mean", "1", "--scale", "2"), re.M)


@pytest.mark.parametrize("name, canonical, code", [
    ("12", "gamma", 12), ("GAMMA", "gamma", 12), ("erlang", "erlang", 24), ("chi2", "chi-square", 25),
    ("Chi_Square", "chi-square", 25), ("25", "chi-square", 25)])
def test_types_are_found_by_name_alias_or_code(name, canonical, code):
    params = ["--shape-a", "4"] if code == 25 else ["--scale", "2", "--shape-a", "4"]
    j = ok_json("describe", name, *params)
    assert (j["type"], j["code"]) == (canonical, code)


def test_chi_square_degrees_of_freedom_reach_the_library_after_the_type():
    # Chi-square with 4 degrees of freedom: mean 4, variance 8.
    s = ok_json("describe", "chi-square", "--shape-a", "4")["statistics"]
    assert (s["mean"], s["variance"]) == (pytest.approx(4), pytest.approx(8))


def test_truncation_is_passed_and_reported():
    j = ok_json("describe", "normal", "--mean", "0", "--stdev", "1", "--t-min", "0")
    assert j["truncation"] == {"t_min": 0, "t_max": None}
    assert (j["range"]["minimum"], j["range"]["p_min"], j["range"]["bounded_below"]) == (0, 0, True)
    # Half-normal mean sqrt(2/pi); the truncated moments are numerical.
    assert j["statistics"]["mean"] == pytest.approx(math.sqrt(2 / math.pi), abs=1e-3)
    assert "truncated   below at 0" in ok("describe", "normal", "--mean", "0", "--stdev", "1", "--t-min", "0")


# --- pdf, cdf, quantile --------------------------------------------------------

@pytest.mark.parametrize("command, args, points, expected, tol", [
    # Gamma(3, 2): f(4) = e^-2, F(4) = 1 - 5 e^-2.
    ("pdf", GAMMA, ["4"], [math.exp(-2)], 1e-12),
    ("cdf", GAMMA, ["4"], [1 - 5 * math.exp(-2)], 1e-6),
    # Exponential with mean 2: median 2 ln 2; the normal cdf at its mean and symmetric points.
    ("quantile", ["exponential", "--mean", "2"], ["0.5"], [2 * math.log(2)], 1e-9),
    ("cdf", ["normal", "--mean", "1", "--stdev", "2"], ["1", "-1", "3"],
     [0.5, 0.15865525393145707, 0.8413447460685429], 1e-6),
    # Binomial(4, 1/2): C(4, 2) / 16.
    ("pdf", ["binomial", "--n", "4", "--p", "0.5"], ["2"], [6 / 16], 1e-12),
])
def test_points_are_evaluated_in_order(command, args, points, expected, tol):
    j = ok_json(command, *args, "--", *points)
    key_in, key_out = ("p", "quantile") if command == "quantile" else ("x", command)
    assert j[key_in] == [float(p) for p in points]
    assert j[key_out] == pytest.approx(expected, abs=tol)
    header, rows = csv_rows(ok(command, *args, "--", *points))
    assert header.startswith(f"{key_in},{key_out}")
    assert [row[1] for row in rows] == j[key_out]


@pytest.mark.parametrize("args, expected", [
    # scipy.stats.<type>.ppf at 0.1, 0.5, 0.9 (geometric: scipy counts trials, so one less).
    (["poisson", "--mean", "3"], [1, 3, 5]),
    (["geometric", "--p", "0.3"], [0, 1, 6]),
    (["binomial", "--n", "10", "--p", "0.3"], [1, 3, 5]),
    (["hypergeometric", "--pop", "20", "--popsuc", "7", "--sam", "5"], [1, 2, 3]),
    (["logarithmic", "--shape-a", "0.6"], [1, 1, 3]),
])
def test_quantiles_of_discrete_types_are_whole_numbers_truncated_or_not(args, expected):
    assert ok_json("quantile", *args, "--", "0.1", "0.5", "0.9")["quantile"] == expected


@pytest.mark.parametrize("args", [
    ["poisson", "--mean", "3", "--t-min", "2", "--t-max", "9"],
    ["binomial", "--n", "30", "--p", "0.4", "--t-max", "10"],
    ["geometric", "--p", "0.2"],
])
def test_a_whole_number_quantile_is_the_first_value_whose_cumulative_reaches_p(args):
    ps = ["0.05", "0.25", "0.5", "0.75", "0.95"]
    q = ok_json("quantile", *args, "--", *ps)["quantile"]
    assert all(v == int(v) for v in q)
    f = ok_json("cdf", *args, "--", *[str(v) for v in q], *[str(v - 1) for v in q])["cdf"]
    for i, p in enumerate(map(float, ps)):
        assert f[i] >= p > f[len(q) + i], (p, q[i])


def test_whole_number_quantiles_step_where_the_cumulative_reaches_p():
    # Binomial(4, 1/2): F(1) = 5/16, F(2) = 11/16; p at and just past a step.
    j = ok_json("quantile", "binomial", "--n", "4", "--p", "0.5", "--", "0.3125", "0.3126", "0.6875", "0.6876")
    assert j["quantile"] == [1, 2, 2, 3]


def test_pdf_flags_a_pole_as_invalid():
    beta = ["beta", "--minimum", "0", "--maximum", "1", "--shape-a", "0.5", "--shape-b", "2"]
    assert ok_json("pdf", *beta, "--", "0", "0.5")["valid"] == [False, True]
    header, rows = csv_rows(ok("pdf", *beta, "--", "0", "0.5"))
    assert header == "x,pdf,valid" and [row[2] for row in rows] == [0, 1]


def test_negative_points_follow_the_double_dash():
    j = ok_json("cdf", "normal", "--mean", "0", "--stdev", "1", "--", "-1", "1")
    assert j["cdf"][0] + j["cdf"][1] == pytest.approx(1, abs=1e-9)


# --- sample --------------------------------------------------------------------

def test_sample_writes_csv_that_repeats_with_the_seed():
    args = ["sample", *GAMMA, "-n", "500", "--seed", "11"]
    first = ok(*args)
    header, rows = csv_rows(first)
    assert header == "value" and len(rows) == 500
    assert ok(*args) == first
    assert ok("sample", *GAMMA, "-n", "500", "--seed", "12") != first
    # The shortest round-trip text: the JSON form carries the same doubles.
    j = ok_json(*args)
    assert (j["n"], j["seed"], j["rng"]) == (500, 11, "plain")
    assert j["values"] == [row[0] for row in rows]


def test_stratified_generator_puts_one_value_in_each_thousandth():
    out = ok("sample", "uniform", "--minimum", "0", "--maximum", "1", "-n", "1000", "--rng", "stratified",
             "--seed", "5")
    values = sorted(row[0] for row in csv_rows(out)[1])
    assert [math.floor(v * 1000) for v in values] == list(range(1000))


@pytest.mark.parametrize("kind", ["shuffled", "stratified"])
def test_each_generator_kind_gives_its_own_stream(kind):
    args = ["sample", "normal", "--mean", "0", "--stdev", "1", "-n", "50", "--seed", "3"]
    assert ok(*args, "--rng", kind) != ok(*args, "--rng", "plain")


def test_sample_mean_of_many_normal_variates_is_near_the_mean():
    j = ok_json("sample", "normal", "--mean", "10", "--stdev", "2", "-n", "20000", "--seed", "1")
    mean = sum(j["values"]) / len(j["values"])
    # Standard error 2 / sqrt(20000) = 0.014; five of them.
    assert abs(mean - 10) < 0.07


# --- errors ----------------------------------------------------------------------

@pytest.mark.parametrize("args, message", [
    (["describe", "nosuch"], r"unknown type 'nosuch'"),
    (["describe", "5"], r"unknown type '5'"),
    (["describe", "gamma", "--scale", "2"], r"gamma needs --shape-a"),
    (["describe", "gamma", "--scale", "two", "--shape-a", "3"], r"--scale.*'two' is not a number"),
    (["describe", "gamma", "--scale", "inf", "--shape-a", "3"], r"--scale.*not a finite number"),
    (["describe", *GAMMA, "--mean", "1"], r"gamma does not take --mean"),
    (["describe", "binomial", "--n", "2.5", "--p", "0.5"], r"--n.*not a whole number"),
    (["describe", *GAMMA, "--t-min", "5", "--t-max", "1"], r"--t-min must be below --t-max"),
    (["pdf", *GAMMA, "--", "x"], r"points: 'x' is not a number"),
    # Probabilities outside [0, 1], NaN among them, are refused before any is answered.
    (["quantile", *NORMAL, "--", "1.5"], r"points: '1.5' is not a probability in \[0, 1\]"),
    (["quantile", *NORMAL, "--", "0.5", "-0.1"], r"points: '-0.1' is not a probability"),
    (["quantile", *NORMAL, "--", "nan"], r"points: 'nan' is not a probability"),
    (["quantile", *GAMMA, "--", "1.0000001"], r"is not a probability"),
    (["sample", *GAMMA, "-n", "0"], r"-n.*0"),
    (["sample", *GAMMA, "-n", "100000001"], r"-n"),
    (["sample", *GAMMA, "-n", "ten"], r"-n.*not a whole number"),
    (["sample", *GAMMA, "-n", "5", "--rng", "fancy"], r"--rng"),
    (["sample", *GAMMA, "-n", "5", "--seed", "4294967296"], r"--seed.*out of the 32-bit integer range"),
    (["sample", *GAMMA], r"-n"),
    (["sample", "student-t", "--shape-a", "3", "-n", "5"], r"student-t: random variates .*only when truncated"),
    (["quantile", "f", "--shape-a", "3", "--shape-b", "4", "--", "0.5"], r"f: this type has no quantiles"),
    (["plot", "f", "--shape-a", "3", "--shape-b", "4", "--t-min", "1", "-o", "x.svg"],
     r"f: this type has no summary statistics"),
    (["cdf", "f", "--shape-a", "3", "--shape-b", "4", "--", "1"], r"f: this type has no cumulative"),
    (["describe", "f", "--shape-a", "3", "--shape-b", "4"], r"f: this type has no summary statistics"),
    (["plot", *GAMMA], r"--output"),
    ([], r"a command is needed"),
    (["bogus"], r"unknown command 'bogus'"),
])
def test_bad_input_gives_one_line_on_stderr_and_a_failure_status(args, message):
    r = run(*args)
    assert r.returncode != 0
    assert r.stdout == ""
    assert r.stderr.count("\n") == 1 and r.stderr.startswith("kvzcalc: ")
    assert re.search(message, r.stderr), r.stderr


def test_piped_stderr_gets_no_progress_bar():
    r = run("sample", "uniform", "--minimum", "0", "--maximum", "1", "-n", "200000", "--rng", "stratified")
    assert r.returncode == 0 and r.stderr == ""


# --- list --------------------------------------------------------------------------

def test_list_covers_every_assigned_code_once():
    types = ok_json("list")
    codes = [t["code"] for t in types]
    assert codes == [c for c in range(1, 37) if c not in (5, 32, 33)]
    names = [n for t in types for n in [t["name"], *t["aliases"]]]
    assert len(names) == len(set(names))
    text = ok("list")
    assert re.search(r"^\s*12\s+gamma\s+--scale --shape-a\s", text, re.M)
    assert re.search(r"^\s*25\s+chi-square \(chisquare, chi2\)\s+--shape-a\s", text, re.M)


def test_list_agrees_with_the_python_binding_catalogue():
    from kvz_comp import _catalogue
    listed = [(t["code"], t["name"], tuple(t["aliases"]), tuple(t["inputs"])) for t in ok_json("list")]
    assert listed == [(t.code, t.name, t.aliases, t.inputs) for t in _catalogue.TYPES]


def test_every_listed_type_can_be_described_or_says_why_not():
    examples = {t["code"]: t["example"] for t in CATALOGUE["types"]}
    for t in ok_json("list"):
        args = [a for f in t["inputs"] for a in ("--" + f.replace("_", "-"), str(examples[t["code"]][f]))]
        r = run("describe", t["name"], *args, "--json")
        if t["code"] == 36:
            assert r.returncode != 0 and "no summary statistics" in r.stderr
            continue
        assert r.returncode == 0, (t["name"], r.stderr)
        j = json.loads(r.stdout)
        assert j["code"] == t["code"]
        assert j["range"]["minimum"] <= j["range"]["maximum"], t["name"]


# --- plot ----------------------------------------------------------------------------

def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", head[16:24])


def render(svg_path, tmp_path):
    rsvg = os.environ.get("RSVG_CONVERT", "")
    assert os.path.isfile(rsvg), "rsvg-convert is needed (Debian package librsvg2-bin)"
    png = tmp_path / "plot.png"
    subprocess.run([rsvg, str(svg_path), "-o", str(png)], check=True, timeout=60)
    return png


SVG = "{http://www.w3.org/2000/svg}"


def test_plot_of_a_continuous_type_renders_with_its_histogram(tmp_path):
    svg = tmp_path / "gamma.svg"
    j = ok_json("plot", *GAMMA, "-o", str(svg), "--samples", "5000", "--seed", "2")
    assert (j["output"], j["samples"]) == (str(svg), 5000)
    assert png_size(render(svg, tmp_path)) == (820, 620)
    root = ET.parse(svg).getroot()
    curves = [p for p in root.iter(SVG + "path") if p.get("stroke") == "#1f5fbf"]
    assert len(curves) == 2  # the density and the cumulative distribution
    bars = [r for r in root.iter(SVG + "rect") if r.get("fill") == "#f4a460" and r.get("clip-path")]
    assert len(bars) > 10
    assert any("5000 variates" in (t.text or "") for t in root.iter(SVG + "text"))


def test_plot_of_a_discrete_type_has_one_stem_per_value(tmp_path):
    svg = tmp_path / "binomial.svg"
    assert ok("plot", "binomial", "--n", "12", "--p", "0.4", "-o", str(svg)) == f"wrote {svg}\n"
    render(svg, tmp_path)
    root = ET.parse(svg).getroot()
    assert len(list(root.iter(SVG + "circle"))) == 13
    assert not [r for r in root.iter(SVG + "rect") if r.get("fill") == "#f4a460"]


def test_plot_to_an_unwritable_path_fails_with_one_line(tmp_path):
    r = run("plot", *GAMMA, "-o", str(tmp_path / "missing" / "x.svg"))
    assert r.returncode != 0 and r.stderr.count("\n") == 1 and "cannot write" in r.stderr


# --- domains -------------------------------------------------------------------------

TYPE_ROWS = {t["name"]: t for t in CATALOGUE["types"]}


def number_arg(value):
    return str(int(value)) if float(value).is_integer() else repr(float(value))


def bad_args(type_name, override):
    values = {**TYPE_ROWS[type_name]["example"], **override}
    return values, [a for f in TYPE_ROWS[type_name]["inputs"]
                    for a in ("--" + f.replace("_", "-"), number_arg(values[f]))]


@pytest.mark.parametrize("type_name, override, subject", BAD_PARAMETERS)
def test_inputs_outside_the_domain_are_refused_with_the_rule_named(type_name, override, subject):
    from kvz_comp import _catalogue
    values, args = bad_args(type_name, override)
    for command, extra in (("describe", []), ("pdf", ["--", "1"]), ("sample", ["-n", "3"])):
        r = run(command, type_name, *args, *extra)
        assert r.returncode == 2 and r.stdout == "", (command, r.stderr)
        assert r.stderr.count("\n") == 1
        message = r.stderr[len("kvzcalc: "):].rstrip("\n")
        assert re.match(rf"{re.escape(type_name)}: {subject} \S+ is outside its domain: ", message), message
    # The Python binding words it the same.
    with pytest.raises(ValueError) as e:
        _catalogue.check_parameters(type_name, values)
    assert str(e.value) == message


def test_the_bad_parameter_table_breaks_every_rule_of_every_type():
    from kvz_comp import _catalogue
    broken = set()
    for type_name, override, _ in BAD_PARAMETERS:
        values = {**TYPE_ROWS[type_name]["example"], **override}
        broken |= {(type_name, rule.text) for rule in _catalogue.find_type(type_name).domain if not rule.holds(values)}
    assert broken == {(t["name"], rule) for t in CATALOGUE["types"] for rule in t["domain"]}


def test_the_messages_name_the_other_inputs_a_rule_reads():
    r = run("describe", "hypergeometric", "--pop", "10", "--popsuc", "20", "--sam", "5")
    assert r.stderr == "kvzcalc: hypergeometric: popsuc 20 is outside its domain: 0 < popsuc < pop (pop 10)\n"
    r = run("describe", "triangular", "--minimum", "0", "--mode", "5", "--maximum", "4")
    assert r.stderr == ("kvzcalc: triangular: mode 5 is outside its domain: minimum <= mode <= maximum "
                        "(minimum 0, maximum 4)\n")


def test_every_example_lies_inside_its_domain_and_at_its_edges_too():
    # The edges that belong to a domain are accepted.
    for args in (["triangular", "--minimum", "0", "--mode", "0", "--maximum", "1"],
                 ["erlang", "--scale", "1", "--shape-a", "1"],
                 ["binomial", "--n", "1", "--p", "0.5"],
                 ["hypergeometric", "--pop", "2", "--popsuc", "1", "--sam", "1"]):
        ok("describe", *args)


# --- describe: whole-number medians and open supports ------------------------------------

@pytest.mark.parametrize("args, median", [
    # scipy.stats.<type>.median
    (["poisson", "--mean", "3.5"], 3),
    (["poisson", "--mean", "1000"], 1000),
    (["binomial", "--n", "10", "--p", "0.3"], 3),
    (["hypergeometric", "--pop", "20", "--popsuc", "7", "--sam", "5"], 2),
    (["geometric", "--p", "0.3"], 1),
    (["logarithmic", "--shape-a", "0.6"], 1),
    (["discrete-uniform", "--minimum", "2", "--maximum", "9"], 5),
])
def test_describe_gives_discrete_types_their_whole_number_median(args, median):
    j = ok_json("describe", *args)
    assert (j["statistics"]["median"], j["whole_median"]) == (median, True)
    assert re.search(rf"^median\s+{median}\s+\(the smallest whole number reaching p 0\.5\)$", ok("describe", *args), re.M)


def test_an_open_support_ends_at_the_working_end_not_at_a_bound():
    j = ok_json("describe", "poisson", "--mean", "1e7")
    r = j["range"]
    assert (r["upper_end"], r["bounded_above"], r["lower_end"]) == ("working", False, "bound")
    # The masses summed to the end reach 1 - 1e-6 and no more than that by much.
    assert 0.999999 <= r["p_max"] < 1
    assert re.search(r"^maximum\s+\d+\s+\(working end, p 0\.99999", ok("describe", "poisson", "--mean", "1e7"), re.M)
    # Truncated above, the end is a bound again.
    assert ok_json("describe", "poisson", "--mean", "3", "--t-max", "10")["range"]["upper_end"] == "bound"


def test_version():
    assert re.fullmatch(r"kvzcalc \d+\.\d+\.\d+\n", ok("--version"))


# --- plot: the drawn range ---------------------------------------------------------------

def drawn_ranges(svg):
    g = next(e for e in ET.parse(svg).getroot().iter(SVG + "g") if e.get("id") == "ranges")
    return float(g.get("data-x0")), float(g.get("data-x1")), float(g.get("data-density-top"))


# Per case: the arguments, the distribution as SciPy knows it (for the mass in the
# drawn range), and its peak density or mass; None where the density has a pole.
PLOTS = [
    (["cauchy", "--mean", "0", "--scale", "1"], stats.cauchy(), 1 / math.pi),
    (["poisson", "--mean", "1e7"], stats.poisson(1e7), stats.poisson(1e7).pmf(1e7)),
    (["f", "--shape-a", "3", "--shape-b", "4"], stats.f(3, 4), stats.f(3, 4).pdf(2 / 9)),
    (["f", "--shape-a", "1", "--shape-b", "5"], stats.f(1, 5), None),
    (["gamma", "--scale", "1", "--shape-a", "0.5"], stats.gamma(0.5), None),
    (["exponential", "--mean", "2"], stats.expon(scale=2), 0.5),
    (["beta", "--minimum", "0", "--maximum", "1", "--shape-a", "2", "--shape-b", "5"], stats.beta(2, 5),
     stats.beta(2, 5).pdf(0.2)),
    (["student-t", "--shape-a", "1.5"], stats.t(1.5), stats.t(1.5).pdf(0)),
    (["binomial", "--n", "1000000", "--p", "0.5"], stats.binom(1000000, 0.5), stats.binom(1000000, 0.5).pmf(500000)),
    (["binomial", "--n", "12", "--p", "0.4"], stats.binom(12, 0.4), stats.binom(12, 0.4).pmf(5)),
    (["geometric", "--p", "0.001"], stats.geom(0.001, loc=-1), 0.001),
    (["laplace", "--mean", "5", "--scale", "0.01"], stats.laplace(5, 0.01), 50),
]


@pytest.mark.parametrize("args, dist, peak", PLOTS, ids=[" ".join(c[0]) for c in PLOTS])
def test_the_plot_holds_the_peak_and_the_bulk_of_the_mass(args, dist, peak, tmp_path):
    svg = tmp_path / "plot.svg"
    ok("plot", *args, "-o", str(svg))
    assert png_size(render(svg, tmp_path)) == (820, 620)
    x0, x1, top = drawn_ranges(svg)
    assert dist.cdf(x1) - dist.cdf(x0) >= 0.99
    if peak is not None:
        assert peak <= top <= 1.2 * peak
