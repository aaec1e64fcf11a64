"""The binding refuses inputs outside a type's domain with a ValueError that
names the input and the rule, before it takes a slot; the catalogue it reads
is the one kvzcalc is built from."""

import json
import pathlib
import sys

import pytest

import kvz_comp
from kvz_comp import _catalogue

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "tools"))
from domain_cases import BAD_PARAMETERS  # noqa: E402


@pytest.mark.parametrize("type_name, override, subject", BAD_PARAMETERS)
def test_inputs_outside_the_domain_raise_before_a_slot_is_taken(type_name, override, subject):
    info = kvz_comp.find_type(type_name)
    free = kvz_comp.free_slots()
    with pytest.raises(ValueError, match=rf"^{type_name}: {subject} \S+ is outside its domain: ") as e:
        kvz_comp.Distribution(type_name, **{**info.example, **override})
    assert str(e.value) == _catalogue.domain_error(info, {**info.example, **override})
    assert kvz_comp.free_slots() == free


def test_the_message_reads_like_kvzcalc_s():
    with pytest.raises(ValueError) as e:
        kvz_comp.Distribution("normal", mean=0, stdev=-1)
    assert str(e.value) == "normal: stdev -1 is outside its domain: stdev > 0"
    with pytest.raises(ValueError) as e:
        kvz_comp.Distribution("hypergeometric", pop=10, popsuc=20, sam=5)
    assert str(e.value) == "hypergeometric: popsuc 20 is outside its domain: 0 < popsuc < pop (pop 10)"


def test_every_type_accepts_its_example_and_describes_it():
    for info in kvz_comp.types():
        with kvz_comp.Distribution(info.code, **info.example) as d:
            if _catalogue.offered(info.statistics, False):
                assert d.minimum <= d.maximum, info.name
                assert d.is_discrete == info.discrete, info.name


def test_the_package_reads_the_one_catalogue_file():
    packaged = pathlib.Path(_catalogue.__file__).resolve().parent / "types.json"
    one_home = ROOT / "interface" / "types.json"
    assert json.loads(packaged.read_text()) == json.loads(one_home.read_text())
    assert [t.code for t in _catalogue.TYPES] == [t["code"] for t in json.loads(one_home.read_text())["types"]]


@pytest.mark.parametrize("rule, values, holds", [
    ("stdev > 0", {"stdev": 1e-300}, True),
    ("stdev > 0", {"stdev": 0.0}, False),
    ("0 < p < 1", {"p": 1.0}, False),
    ("minimum <= mode <= maximum", {"minimum": 1, "mode": 1, "maximum": 1}, True),
    ("shape_a is whole", {"shape_a": 3.0}, True),
    ("shape_a is whole", {"shape_a": 3.5}, False),
])
def test_rules_compare_as_written(rule, values, holds):
    assert _catalogue.Rule.parse(rule).holds(values) is holds


@pytest.mark.parametrize("rule", ["1 < 2", "p = 1", "p >", "p > 0 < 1 < 2", "minimum is integer"])
def test_malformed_rules_are_refused(rule):
    with pytest.raises(ValueError):
        _catalogue.Rule.parse(rule)
