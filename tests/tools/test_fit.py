"""kvzcalc fit as a user runs it: the ranked table, the JSON (the same fits
as the Python binding's), the picture, and the refusals with exit status 2."""

import json
import math
import os
import pathlib
import re
import subprocess
import xml.etree.ElementTree as ET

import pytest

import kvz_comp
from kvz_comp import _catalogue

KVZCALC = os.environ["KVZCALC"]
EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "repair_times.csv"
SVG = "{http://www.w3.org/2000/svg}"


def run(*args):
    return subprocess.run([KVZCALC, *map(str, args)], capture_output=True, text=True, timeout=120)


def ok(*args):
    r = run(*args)
    assert r.returncode == 0, r.stderr
    assert r.stderr == ""  # no progress bar when stderr is not a terminal
    return r.stdout


def example_column(name):
    lines = EXAMPLE.read_text().split()
    index = lines[0].split(",").index(name)
    return [float(line.split(",")[index]) for line in lines[1:]]


def write_csv(tmp_path, text):
    path = tmp_path / "data.csv"
    path.write_text(text)
    return path


# Per case: the command line's options and the same request to kvz_comp.fit.
SAME_FITS = [
    ([], {}),
    (["--criterion", "ks"], {"criterion": "ks"}),
    (["--types", "gamma,weibull,lognormal-mean"], {"types": ["gamma", "weibull", "lognormal-mean"]}),
    (["--types", "normal", "--t-min", "0.1", "--t-max", "13"], {"types": "normal", "t_min": 0.1, "t_max": 13}),
    (["--types", "uniform", "--minimum", "0", "--maximum", "15"], {"types": "uniform", "minimum": 0, "maximum": 15}),
    (["--column", "parts", "--criterion", "bic"], {"criterion": "bic", "column": "parts"}),
    (["--column", "parts", "--types", "binomial", "--n", "12"], {"types": "binomial", "n": 12, "column": "parts"}),
]


@pytest.mark.parametrize("options, request_", SAME_FITS, ids=[" ".join(o) or "default" for o, _ in SAME_FITS])
def test_json_gives_the_fits_the_python_binding_gives_in_rank_order(options, request_):
    request_ = dict(request_)
    column = request_.pop("column", "hours")
    doc = json.loads(ok("fit", EXAMPLE, "--json", *options))
    expected = kvz_comp.fit(example_column(column), **request_)
    assert (doc["column"], doc["n"], doc["criterion"]) == (column, 300, request_.get("criterion", "aic"))
    assert [f["type"] for f in doc["fits"]] == [f.type for f in expected]
    for got, want in zip(doc["fits"], expected):
        statistic = "chi2" if want.ad is None else "ad"
        assert set(got) == {"type", "code", "parameters", "loglik", "aic", "bic", "ks", statistic}
        assert got["parameters"] == want.parameters
        for key in ("code", "loglik", "aic", "bic", "ks", statistic):
            assert got[key] == getattr(want, key), (want.type, key)
    assert {r["type"]: r["message"] for r in doc["refused"]} == expected.refused


def test_the_table_ranks_the_fits_and_lists_the_refused_types():
    out = ok("fit", EXAMPLE)
    lines = out.splitlines()
    assert lines[0] == "300 values of hours, fits ranked by AIC"
    assert re.fullmatch(r"rank\s+type\s+loglik\s+AIC\s+BIC\s+KS\s+AD\s+parameters", lines[1])
    rows = [line.split() for line in lines[2:] if re.match(r"\s*\d+\s", line)]
    assert [int(r[0]) for r in rows] == list(range(1, len(rows) + 1))
    aic = [float(r[3]) for r in rows]
    assert aic == sorted(aic)
    gamma = next(line for line in lines if re.match(r"\s*\d+\s+gamma\s", line))
    assert re.search(r"scale [0-9.]+, shape_a [0-9.]+$", gamma)
    doc = json.loads(ok("fit", EXAMPLE, "--json"))
    if doc["refused"]:
        assert lines[2 + len(rows)] == "not fitted:"
        assert lines[3 + len(rows):] == [f"  {r['type']}: {r['message']}" for r in doc["refused"]]


def test_discrete_data_get_the_chi_square_column():
    lines = ok("fit", EXAMPLE, "--column", "parts").splitlines()
    assert lines[0] == "300 values of parts, fits ranked by AIC"
    assert re.fullmatch(r"rank\s+type\s+loglik\s+AIC\s+BIC\s+KS\s+chi2\s+parameters", lines[1])


@pytest.mark.parametrize("text", [
    "3.5\n1.25\n2\n7.5\n",                  # no header: the first column
    "3.5,a\n1.25,b\n2,c\n7.5,d\n",          # no header, text beside the numbers
    "x,y\n3.5,a\n1.25,b\n2,c\n\n7.5,d\n",   # a header, text in another column, an empty line
    '"x, in hours",y\n3.5,1\n1.25,2\n 2 ,3\n7.5,4\n',  # a quoted name, spaces around a value
    "\ufeffx\r\n3.5\r\n1.25\r\n2\r\n7.5\r\n",          # a byte-order mark, Windows line ends
])
def test_the_first_column_is_read_with_or_without_a_header(tmp_path, text):
    path = tmp_path / "data.csv"
    path.write_bytes(text.encode("utf-8"))
    doc = json.loads(ok("fit", path, "--types", "normal", "--json"))
    assert doc["n"] == 4
    assert doc["fits"][0]["parameters"]["mean"] == pytest.approx((3.5 + 1.25 + 2 + 7.5) / 4, rel=1e-12)


def test_the_plot_shows_the_histogram_three_fits_and_their_p_p_curves(tmp_path):
    svg = tmp_path / "fit.svg"
    out = ok("fit", EXAMPLE, "--plot", svg)
    assert out.endswith(f"wrote {svg}\n")
    rsvg = os.environ.get("RSVG_CONVERT", "")
    assert os.path.isfile(rsvg), "rsvg-convert is needed (Debian package librsvg2-bin)"
    subprocess.run([rsvg, str(svg), "-o", str(tmp_path / "fit.png")], check=True, timeout=60)
    root = ET.parse(svg).getroot()
    curves = [p.get("stroke") for p in root.iter(SVG + "path") if p.get("fill") == "none"]
    assert len(curves) == 6 and len(set(curves)) == 3  # each fit's density and P-P curve, in one colour
    bars = [r for r in root.iter(SVG + "rect") if r.get("fill") == "#f4a460"]
    assert len(bars) >= 10
    best = [f["type"] for f in json.loads(ok("fit", EXAMPLE, "--json"))["fits"][:3]]
    texts = [t.text for t in root.iter(SVG + "text")]
    legend = [t for t in texts if re.match(r"\d\. ", t or "")]
    assert [t.split(" (AIC ")[0] for t in legend] == [f"{i + 1}. {name}" for i, name in enumerate(best)]


def test_a_discrete_plot_draws_each_mass(tmp_path):
    svg = tmp_path / "parts.svg"
    ok("fit", EXAMPLE, "--column", "parts", "--types", "poisson", "--plot", svg)
    parts = example_column("parts")
    circles = list(ET.parse(svg).getroot().iter(SVG + "circle"))
    assert len(circles) == max(parts) - min(parts) + 1


def refusal(code):
    return re.escape(_catalogue.FIT_REFUSALS[code])


@pytest.mark.parametrize("text, options, message", [
    ("x\n1.5\nnan\n2.5\n3.5\n4.5\n5.5\n", [], r"line 3: 'nan' in column 'x' is not a finite number$"),
    ("x\n1.5\n2.5\n1e400\n", ["--types", "gamma"], r"line 4: '1e400' in column 'x' is not a finite number$"),
    ("x\n1.5\n2.5\n-inf\n", [], r"line 4: '-inf' in column 'x' is not a finite number$"),
    ("x\n-1.5\n2.5\n3.5\n", ["--types", "gamma,hypergeometric,exponential"],
     "^no type could be fitted: " + refusal(-6) + r" \(gamma, exponential\); " + refusal(-3) + r" \(hypergeometric\)$"),
    ("x\n1.5\n2.5\nabc\n", [], r"line 4: 'abc' in column 'x' is not a number$"),
    ("x,y\n1.5,1\n2.5\n", ["--column", "y"], r"line 3: no value in column 'y'$"),
    ("x\n1.5\n2.5\n", ["--column", "z"], r"no column 'z' in .* \(its columns: x\)$"),
    ("1.5\n2.5\n", ["--column", "x"], r"has no header row to find the column 'x' in$"),
    ("x\n1.5\n", [], "^" + refusal(-4) + "$"),
    ("x\n", [], "^" + refusal(-4) + "$"),
    ("", [], r"holds no data$"),
    ("x\n-1.5\n2.5\n3.5\n", ["--types", "gamma"], "^gamma: " + refusal(-6) + "$"),
    ("x\n1.5\n2.5\n3.5\n4.5\n", ["--types", "f", "--t-min", "1"],
     "^f: the F type has no cumulative distribution to measure a cut with$"),
    ("x\n1.5\n2.5\n3.5\n", ["--types", "nosuch"], r"^unknown type 'nosuch'"),
    ("x\n1.5\n2.5\n3.5\n", ["--t-min", "3", "--t-max", "1"], r"^--t-min must be below --t-max$"),
    ("x\n1.5\n2.5\n3.5\n", ["--minimum", "3", "--maximum", "3"], r"^--minimum must be below --maximum$"),
    ("x\n1.5\n2.5\n3.5\n", ["--criterion", "mse"], r"--criterion"),
    ("x\n1\n2\n3\n", ["--n", "0"], r"--n"),
])
def test_bad_input_gives_one_line_and_exit_status_2(tmp_path, text, options, message):
    r = run("fit", write_csv(tmp_path, text), *options)
    assert r.returncode == 2 and r.stdout == ""
    assert r.stderr.count("\n") == 1 and r.stderr.startswith("kvzcalc: ")
    assert re.search(message, r.stderr[len("kvzcalc: "):].rstrip("\n")), r.stderr


def test_the_refusals_read_as_in_python(tmp_path):
    # (A NaN is stopped by the CSV reader, with its line, before any fit.)
    for values, types in (([1.5], "normal"), ([-1.5, 2.5, 4.0], "gamma")):
        with pytest.raises(ValueError) as e:
            kvz_comp.fit(values, types=types)
        path = write_csv(tmp_path, "x\n" + "\n".join(map(str, values)) + "\n")
        r = run("fit", path, *(["--types", types] if types else []))
        assert (r.returncode, r.stderr) == (2, f"kvzcalc: {e.value}\n"), values


def test_a_missing_file_or_an_unwritable_plot_fails_with_one_line(tmp_path):
    r = run("fit", tmp_path / "none.csv")
    assert (r.returncode, r.stderr) == (2, f"kvzcalc: cannot read {tmp_path / 'none.csv'}\n")
    r = run("fit", EXAMPLE, "--plot", tmp_path / "missing" / "fit.svg")
    assert r.returncode == 1 and r.stderr.count("\n") == 1 and "cannot write" in r.stderr
