"""The distribution types: code, names, the inputs each reads, which
computations the library offers for it and the domain of its inputs.

All of it is read from types.json beside this module (in the source tree a
link to interface/types.json, the one file kvzcalc is built from too)."""

import json
import operator
import pathlib
from dataclasses import dataclass, field

_DATA = json.loads((pathlib.Path(__file__).resolve().parent / "types.json").read_text(encoding="utf-8"))

# Input fields: whole-number fields go through the library's int setters.
FIELDS = tuple(f["name"] for f in _DATA["fields"])
WHOLE_FIELDS = tuple(f["name"] for f in _DATA["fields"] if f["whole"])
REAL_FIELDS = tuple(f for f in FIELDS if f not in WHOLE_FIELDS)

# The library-wide uniform generators by name: their codes for set_rng_type.
GENERATORS = {g["name"]: g["code"] for g in _DATA["generators"]}

# What each refusal of fit_pdf means, by its code.
FIT_REFUSALS = {r["code"]: r["message"] for r in _DATA["fit_refusals"]}


def fit_refusal(code):
    """The message for a refusal of fit_pdf; the same words as kvzcalc's."""
    return FIT_REFUSALS.get(code, f"the library refused the fit (code {code})")

ALWAYS = "always"
TRUNCATED = "truncated"  # only for a truncated distribution
NEVER = "never"

_COMPARISONS = {"<": operator.lt, "<=": operator.le, ">": operator.gt, ">=": operator.ge}


@dataclass(frozen=True)
class Rule:
    """One rule of a domain, e.g. "0 < p < 1" or "shape_a is whole"."""
    text: str
    subject: str   # the input the rule is about
    terms: tuple   # input names (str) and numbers (float)
    ops: tuple     # comparison symbols between neighbouring terms; empty for "is whole"

    @classmethod
    def parse(cls, text):
        words = text.split()
        if len(words) == 3 and words[1:] == ["is", "whole"]:
            return cls(text, words[0], (words[0],), ())
        terms = tuple(w if w in FIELDS else float(w) for w in words[0::2])
        ops = tuple(words[1::2])
        if len(terms) not in (2, 3) or len(ops) != len(terms) - 1 or not set(ops) <= set(_COMPARISONS):
            raise ValueError(f"malformed domain rule {text!r}")
        subject = terms[1] if len(terms) == 3 else terms[0]
        if not isinstance(subject, str):
            raise ValueError(f"domain rule {text!r} is about no input")
        return cls(text, subject, terms, ops)

    def holds(self, values):
        vals = [values[t] if isinstance(t, str) else t for t in self.terms]
        if not self.ops:
            return float(vals[0]).is_integer()
        return all(_COMPARISONS[op](a, b) for op, a, b in zip(self.ops, vals, vals[1:]))

    def others(self):
        """The inputs the rule reads besides its subject, in order."""
        return [t for t in self.terms if isinstance(t, str) and t != self.subject]


@dataclass(frozen=True)
class TypeInfo:
    code: int
    name: str
    aliases: tuple
    inputs: tuple
    description: str
    discrete: bool = False
    statistics: str = ALWAYS
    cdf: str = ALWAYS
    quantile: str = ALWAYS
    sample: str = ALWAYS
    open_above: bool = False
    domain: tuple = ()
    # The type fit_pdf fits it as: its own name, or the type it renames; None
    # when it is not fitted.
    fit_as: str = None
    example: dict = field(default_factory=dict, compare=False, hash=False)
    names: tuple = field(init=False, repr=False, compare=False)

    def __post_init__(self):
        object.__setattr__(self, "names", (self.name,) + self.aliases)

    @property
    def fitted_alone(self):
        """Fitted on its own account: when no types are named, a type that
        renames another is fitted once, through that one."""
        return self.fit_as == self.name


def _type_info(row):
    return TypeInfo(
        code=row["code"], name=row["name"], aliases=tuple(row["aliases"]), inputs=tuple(row["inputs"]),
        description=row["description"], discrete=row["class"] == "discrete",
        statistics=row.get("statistics", ALWAYS), cdf=row.get("cdf", ALWAYS),
        quantile=row.get("quantile", ALWAYS), sample=row.get("sample", ALWAYS),
        open_above=row.get("open_above", False), domain=tuple(Rule.parse(r) for r in row["domain"]),
        fit_as=row.get("fit"),
        example=dict(row["example"]))


TYPES = tuple(_type_info(row) for row in _DATA["types"])


def _normalise(name):
    return name.strip().lower().replace("_", "-")


_BY_NAME = {n: t for t in TYPES for n in t.names}
_BY_CODE = {t.code: t for t in TYPES}


def find_type(name_or_code):
    """A type by its code, name or alias (any case, '_' or '-'); ValueError if unknown."""
    if isinstance(name_or_code, TypeInfo):
        return name_or_code
    if isinstance(name_or_code, int) and not isinstance(name_or_code, bool):
        found = _BY_CODE.get(name_or_code)
    elif isinstance(name_or_code, str):
        text = _normalise(name_or_code)
        found = _BY_CODE.get(int(text)) if text.isdigit() else _BY_NAME.get(text)
    else:
        found = None
    if found is None:
        raise ValueError(f"unknown distribution type {name_or_code!r}")
    return found


def offered(availability, truncated):
    return availability == ALWAYS or (availability == TRUNCATED and truncated)


def number_text(value):
    """A parameter as the messages show it: 15 significant digits, as C's %.15g."""
    return f"{float(value):.15g}"


def domain_error(type, values):
    """The message for the first domain rule the inputs break, or None.

    The same text as kvzcalc's: "<type>: <input> <value> is outside its
    domain: <rule>", then the other inputs the rule reads in parentheses.
    """
    info = find_type(type)
    for rule in info.domain:
        if rule.holds(values):
            continue
        message = f"{info.name}: {rule.subject} {number_text(values[rule.subject])} is outside its domain: {rule.text}"
        others = rule.others()
        if others:
            message += " (" + ", ".join(f"{o} {number_text(values[o])}" for o in others) + ")"
        return message
    return None


def check_parameters(type, values):
    """Raises ValueError when the inputs (a dict by field name) lie outside the type's domain."""
    message = domain_error(type, values)
    if message is not None:
        raise ValueError(message)
