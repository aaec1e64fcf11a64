"""kvzcalc sample-correlated and plot-correlated with the shipped example
model and models written for a case: CSV and JSON, the achieved matrix,
the repair of a matrix that is no correlation matrix, and the errors."""

import json
import os
import pathlib
import subprocess
import xml.etree.ElementTree as ET

import numpy as np
import pytest
from scipy import stats

KVZCALC = os.environ["KVZCALC"]
EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "correlated_model.json"


def run(*args):
    return subprocess.run([KVZCALC, *map(str, args)], capture_output=True, text=True, timeout=120)


def write_model(tmp_path, variables, correlation):
    path = tmp_path / "model.json"
    path.write_text(json.dumps({"variables": variables, "correlation": correlation}))
    return path


def test_example_model_csv_has_one_column_per_variable_and_reaches_its_matrix():
    r = run("sample-correlated", EXAMPLE, "-n", 1000, "--rng", "stratified", "--seed", 7)
    assert r.returncode == 0, r.stderr
    lines = r.stdout.strip().split("\n")
    assert lines[0] == "cost,duration,orders"
    values = np.array([[float(v) for v in line.split(",")] for line in lines[1:]])
    assert values.shape == (1000, 3)
    target = np.array(json.loads(EXAMPLE.read_text())["correlation"])
    rho = stats.spearmanr(values).correlation
    assert np.max(np.abs(rho - target)) <= 0.02
    # The truncation of the first variable holds.
    assert values[:, 0].min() >= 1 and values[:, 0].max() <= 30
    assert "achieved rank correlation" in r.stderr and "repair distance: 0" in r.stderr


def test_json_gives_the_values_the_achieved_matrix_and_the_repair(tmp_path):
    model = write_model(tmp_path, [
        {"name": "a", "type": "normal", "mean": 0, "stdev": 1},
        {"name": "b", "type": "exponential", "mean": 2},
        {"name": "c", "type": 2, "minimum": 0, "maximum": 1},
    ], [[1, -0.9, -0.9], [-0.9, 1, -0.9], [-0.9, -0.9, 1]])
    r = run("sample-correlated", model, "-n", 500, "--json")
    assert r.returncode == 0, r.stderr
    doc = json.loads(r.stdout)
    assert doc["variables"] == ["a", "b", "c"] and doc["n"] == 500
    values = np.array(doc["values"])
    assert values.shape == (500, 3)
    np.testing.assert_allclose(doc["achieved"], stats.spearmanr(values).correlation, atol=1e-12)
    assert doc["repaired"] == pytest.approx(np.sqrt(6 * 0.4 ** 2), abs=1e-6)


def test_stratified_block_stays_whole_and_a_repair_is_announced(tmp_path):
    # The normal takes a uniform as it is prepared; the seed comes after, so
    # each inverse-drawn column puts one value in every thousandth.
    model = write_model(tmp_path, [
        {"name": "z", "type": "normal", "mean": 0, "stdev": 1},
        {"name": "u", "type": "uniform", "minimum": 0, "maximum": 1},
        {"name": "e", "type": "exponential", "mean": 2},
    ], [[1, 0.9, -0.9], [0.9, 1, 0.9], [-0.9, 0.9, 1]])
    r = run("sample-correlated", model, "-n", 1000, "--rng", "stratified", "--seed", 5)
    assert r.returncode == 0, r.stderr
    values = np.loadtxt(r.stdout.splitlines()[1:], delimiter=",")
    assert len(set(np.floor(values[:, 1] * 1000).astype(int))) == 1000
    assert len(set(np.floor(stats.expon(scale=2).cdf(values[:, 2]) * 1000).astype(int))) == 1000
    assert "not positive semi-definite" in r.stderr and "nearest correlation matrix" in r.stderr


def test_same_seed_same_output():
    first = run("sample-correlated", EXAMPLE, "-n", 200, "--seed", 3)
    second = run("sample-correlated", EXAMPLE, "-n", 200, "--seed", 3)
    assert first.returncode == 0 and first.stdout == second.stdout


def test_plot_draws_one_panel_per_pair(tmp_path):
    out = tmp_path / "corr.svg"
    r = run("plot-correlated", EXAMPLE, "-o", out)
    assert r.returncode == 0, r.stderr
    root = ET.parse(out).getroot()
    texts = [t.text for t in root.iter("{http://www.w3.org/2000/svg}text")]
    assert sum(1 for t in texts if t and t.startswith("rank corr.")) == 6
    assert {"cost", "duration", "orders"} <= set(texts)


@pytest.mark.parametrize("variables, correlation, message", [
    ([{"type": "gamma", "scale": 2}], [[1]], "needs shape_a"),
    ([{"type": "gamma", "scale": 2, "shape_a": 3, "mean": 1}], [[1]], "does not take mean"),
    ([{"type": "no-such-type"}], [[1]], "unknown type"),
    ([{"type": "binomial", "n": 2.5, "p": 0.5}], [[1]], "whole number"),
    ([{"type": "f", "shape_a": 3, "shape_b": 4}], [[1]], "no random variates"),
    ([{"type": "normal", "mean": 0, "stdev": 1}] * 2, [[1, 0.5], [0.4, 1]], "(row 2) and"),
    ([{"type": "normal", "mean": 0, "stdev": 1}] * 2, [[1, 0.5], [0.4, 1]], "mirror entry is 0.5"),
    ([{"name": "x", "type": "normal", "mean": 0, "stdev": 1}, {"name": "y", "type": "exponential", "mean": 1}],
     [[1, 1.5], [1.5, 1]], "x (row 1) and y (column 2) is 1.5, not in [-1, 1]"),
    ([{"name": "x", "type": "normal", "mean": 0, "stdev": 1}, {"name": "y", "type": "exponential", "mean": 1}],
     [[1, 0.2], [0.2, 0.9]], "y (row 2) and y (column 2) is 0.9, not 1"),
    ([{"name": "x", "type": "normal", "mean": 0, "stdev": 1}, {"name": "x", "type": "exponential", "mean": 1}],
     [[1, 0.2], [0.2, 1]], 'variables 1 and 2 are both named "x"'),
    ([{"type": "normal", "mean": 0, "stdev": 1}] * 2, [[1, 0.5]], "2 rows"),
    ([{"type": "normal", "mean": 0, "stdev": 1}] * 22, [[1]], "1 to 21 variables"),
])
def test_model_errors_are_one_line_and_exit_status_2(tmp_path, variables, correlation, message):
    r = run("sample-correlated", write_model(tmp_path, variables, correlation), "-n", 100)
    assert r.returncode == 2
    assert r.stderr.count("\n") == 1 and r.stderr.startswith("kvzcalc: ") and message in r.stderr
    assert r.stdout == ""


def test_missing_model_file_and_small_n():
    r = run("sample-correlated", "/nonexistent/model.json", "-n", 100)
    assert r.returncode == 2 and "cannot read" in r.stderr
    r = run("sample-correlated", EXAMPLE, "-n", 1)
    assert r.returncode == 2
