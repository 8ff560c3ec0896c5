"""The ten arithmetic magicians, each cast once in a one-zone level.

Every case builds a top zone "z" holding the operand charges and a single
agent, steps the level once and reads the zone's charges and the frame's meta.
"""

import json
import math

import pytest

# The spells use the engine's own correctly rounded pow, log and log10, not the C library's
# (tests/orv/test_native_math.py checks those against MPFR).
from orv import _native as engine
from orv_engine import NEGATIVE as N
from orv_engine import NEUTRAL as U
from orv_engine import POSITIVE as P
from orv_engine import Environment, NarrativeSequencer

NAN = float("nan")
INF = float("inf")
POLARITY_TEXT = {P: "positive", N: "negative", U: "neutral"}

# kind -> (Environment method, display name)
KINDS = {
    "plus": ("add_plus_magician", "Plus Magician"),
    "minus": ("add_minus_magician", "Minus Magician"),
    "multiply": ("add_multiply_magician", "Multiply Magician"),
    "divide": ("add_divide_magician", "Divide Magician"),
    "modulo": ("add_modulo_magician", "The Scavenger"),
    "power": ("add_power_sorcerer", "Power Sorcerer"),
    "root": ("add_root_magician", "The Extractor"),
    "log": ("add_log_magician", "The Architect"),
    "factorial": ("add_factorial_magician", "The Replicator"),
    "abs": ("add_abs_magician", "The Purifier"),
}
PRIORITIES = {"plus": 10, "minus": 10, "multiply": 50, "divide": 50, "modulo": 50,
              "power": 75, "root": 75, "factorial": 85, "log": 90, "abs": 90}


def first_frame(kind, charges, agent_vid="m"):
    top = Environment("z")
    for magnitude, polarity, vid in charges:
        top.add_charge(magnitude, polarity, vid)
    getattr(top, KINDS[kind][0])(agent_vid)
    return json.loads(NarrativeSequencer(top).next_frame())


def zone_charges(frame):
    out = []
    for c in frame["charges"]:
        assert c["magnitude"] is None or type(c["magnitude"]) is float
        out.append((c["magnitude"], c["polarity"], c["visual_id"]))
    return out


def as_json(charges):
    return [(float(m) if math.isfinite(m) else None, POLARITY_TEXT[p], v) for m, p, v in charges]


def cast(kind, charges, agent_vid="m"):
    """Steps once, checks that the spell was cast, returns the zone's charges."""
    frame = first_frame(kind, charges, agent_vid)
    name = KINDS[kind][1]
    text = f"{name} executed operation in z"
    assert frame["meta"] == {
        "frame_index": 1, "status": "RUNNING", "message": text,
        "last_event": {"agent_name": name, "description": text,
                       "type": "CAST_SPELL", "visual_id": agent_vid}}
    assert frame["agents"] == []
    return zone_charges(frame)


def assert_declines(kind, charges):
    frame = first_frame(kind, charges)
    assert frame["meta"] == {
        "frame_index": 1, "status": "FINISHED", "message": "Equation Resolved.",
        "last_event": {"agent_name": "System", "description": "Equation Resolved.",
                       "type": "FINISHED", "visual_id": "N/A"}}
    assert zone_charges(frame) == as_json(charges)
    assert frame["agents"] == [{"name": KINDS[kind][1], "priority": PRIORITIES[kind],
                                "state": "dormant", "visual_id": "m"}]


def _fact(n):
    value = 1.0
    for i in range(1, n + 1):
        value *= i
    return value


# (kind, operands, resulting charge list); "m" is the caster's visual id.
APPLIES = [
    ("plus", [(3, P, "a"), (5, N, "b")], [(2.0, "negative", "result_m")]),
    ("plus", [(3, P, "a"), (1, U, "b")], [(2.0, "positive", "result_m")]),
    ("plus", [(3, P, "a"), (3, N, "b")], [(0.0, "positive", "result_m")]),
    ("plus", [(-3, P, "a"), (1, P, "b"), (4, P, "c")], [(2.0, "positive", "result_m")]),
    ("plus", [(INF, P, "a"), (INF, N, "b")], [(None, "negative", "result_m")]),
    ("plus", [(NAN, P, "a"), (1, P, "b")], [(None, "negative", "result_m")]),
    ("minus", [(10, P, "a"), (3, P, "b"), (2, P, "c")], [(5.0, "positive", "result_m")]),
    ("minus", [(3, P, "a"), (5, P, "b")], [(2.0, "negative", "result_m")]),
    ("minus", [(5, P, "a"), (5, N, "b")], [(10.0, "positive", "result_m")]),
    ("minus", [(1, P, "a"), (4, U, "b")], [(5.0, "positive", "result_m")]),
    ("minus", [(2, U, "a"), (1, P, "b")], [(3.0, "negative", "result_m")]),
    ("minus", [(NAN, P, "a"), (1, P, "b")], [(None, "negative", "result_m")]),
    ("multiply", [(2, P, "a"), (3, N, "b")], [(6.0, "negative", "result_product_m")]),
    ("multiply", [(2, N, "a"), (3, N, "b")], [(6.0, "positive", "result_product_m")]),
    ("multiply", [(2, U, "a"), (3, P, "b")], [(6.0, "positive", "result_product_m")]),
    ("multiply", [(0, P, "a"), (5, N, "b")], [(0.0, "neutral", "result_product_m")]),
    ("multiply", [(-2, P, "a"), (3, P, "b")], [(-6.0, "positive", "result_product_m")]),
    ("multiply", [(2, N, "a"), (3, N, "b"), (4, N, "c")],
     [(24.0, "negative", "result_product_m")]),
    ("multiply", [(1e-5, P, "a"), (1e-5, N, "b")],
     [(1e-5 * 1e-5, "neutral", "result_product_m")]),
    ("multiply", [(1e-9, P, "a"), (1, N, "b")], [(1e-9, "negative", "result_product_m")]),
    ("multiply", [(NAN, P, "a"), (2, N, "b")], [(None, "negative", "result_product_m")]),
    ("divide", [(10, P, "a"), (4, P, "b")], [(2.5, "positive", "result_quotient_m")]),
    ("divide", [(10, N, "a"), (4, U, "b")], [(2.5, "negative", "result_quotient_m")]),
    ("divide", [(9, N, "a"), (3, N, "b")], [(3.0, "positive", "result_quotient_m")]),
    ("divide", [(12, P, "a"), (3, P, "b"), (2, N, "c")],
     [(2.0, "negative", "result_quotient_m")]),
    ("divide", [(1, P, "a"), (1e-9, P, "b")], [(1 / 1e-9, "positive", "result_quotient_m")]),
    ("divide", [(0, P, "a"), (5, P, "b")], [(0.0, "neutral", "result_quotient_m")]),
    ("divide", [(1e-9, P, "a"), (10, P, "b")], [(1e-9 / 10, "neutral", "result_quotient_m")]),
    ("divide", [(1, P, "a"), (NAN, N, "b")], [(None, "negative", "result_quotient_m")]),
    ("modulo", [(4, P, "a"), (7, P, "b"), (3, N, "c")],
     [(4.0, "positive", "a"), (1.0, "positive", "result_remainder_m")]),
    ("modulo", [(-7, P, "a"), (3, P, "b")], [(-1.0, "positive", "result_remainder_m")]),
    ("modulo", [(7, N, "a"), (-3, P, "b")], [(1.0, "positive", "result_remainder_m")]),
    ("modulo", [(5.5, P, "a"), (2, P, "b")], [(1.5, "positive", "result_remainder_m")]),
    ("modulo", [(1, P, "a"), (1e-9, P, "b")],
     [(math.fmod(1, 1e-9), "positive", "result_remainder_m")]),
    ("power", [(2, P, "a"), (3, P, "b")], [(8.0, "positive", "result_power_m")]),
    ("power", [(2, N, "a"), (3, P, "b")], [(8.0, "negative", "result_power_m")]),
    ("power", [(2, N, "a"), (2, P, "b")], [(4.0, "positive", "result_power_m")]),
    ("power", [(2, P, "a"), (1, N, "b")], [(0.5, "positive", "result_power_m")]),
    ("power", [(2, U, "a"), (3, U, "b")], [(8.0, "positive", "result_power_m")]),
    ("power", [(0, P, "a"), (5, P, "b")], [(0.0, "neutral", "result_power_m")]),
    ("power", [(8, N, "a"), (0.5, P, "b")], [(None, "neutral", "result_power_m")]),
    ("power", [(-2, P, "a"), (3, P, "b")], [(8.0, "negative", "result_power_m")]),
    ("power", [(9, P, "keep"), (2, P, "a"), (3, P, "b")],
     [(9.0, "positive", "keep"), (8.0, "positive", "result_power_m")]),
    ("root", [(16, P, "a")], [(4.0, "positive", "result_root_m")]),
    ("root", [(16, U, "a")], [(4.0, "positive", "result_root_m")]),
    ("root", [(-4, P, "a")], [(None, "positive", "result_root_m")]),
    ("root", [(3, P, "k"), (27, P, "x")], [(engine.pow(27, 1 / 3), "positive", "result_root_m")]),
    ("root", [(2, P, "k"), (9, N, "x")], [(3.0, "positive", "result_root_m")]),
    ("root", [(3, P, "k"), (-8, P, "x")], [(-2.0, "positive", "result_root_m")]),
    ("root", [(3.9, P, "k"), (-8, P, "x")],
     [(-engine.pow(8, 1 / 3.9), "positive", "result_root_m")]),
    ("root", [(0, P, "k"), (4, P, "x")], [(None, "positive", "result_root_m")]),
    ("root", [(0, P, "k"), (0.5, P, "x")], [(0.0, "positive", "result_root_m")]),
    ("root", [(0, P, "k"), (1, P, "x")], [(1.0, "positive", "result_root_m")]),
    ("root", [(100, P, "keep"), (3, P, "k"), (27, P, "x")],
     [(100.0, "positive", "keep"), (engine.pow(27, 1 / 3), "positive", "result_root_m")]),
    ("log", [(100, P, "a")], [(2.0, "positive", "result_log_m")]),
    ("log", [(100, N, "a")], [(2.0, "positive", "result_log_m")]),
    ("log", [(0.01, P, "a")], [(abs(engine.log10(0.01)), "negative", "result_log_m")]),
    ("log", [(1, P, "a")], [(0.0, "positive", "result_log_m")]),
    ("log", [(2, P, "b"), (8, P, "x")],
     [(engine.log(8) / engine.log(2), "positive", "result_log_m")]),
    ("log", [(0.5, P, "b"), (8, P, "x")],
     [(abs(engine.log(8) / engine.log(0.5)), "negative", "result_log_m")]),
    ("log", [(NAN, P, "a")], [(None, "negative", "result_log_m")]),
    ("log", [(7, N, "keep"), (10, P, "b"), (1000, P, "x")],
     [(7.0, "negative", "keep"), (engine.log(1000) / engine.log(10), "positive", "result_log_m")]),
    ("factorial", [(5, P, "a")], [(120.0, "positive", "result_factorial_m")]),
    ("factorial", [(3, U, "a")], [(6.0, "positive", "result_factorial_m")]),
    ("factorial", [(4.7, P, "a")], [(24.0, "positive", "result_factorial_m")]),
    ("factorial", [(0, P, "a")], [(1.0, "positive", "result_factorial_m")]),
    ("factorial", [(-3.5, P, "a")], [(1.0, "positive", "result_factorial_m")]),
    ("factorial", [(22, P, "a")], [(float(math.factorial(22)), "positive", "result_factorial_m")]),
    ("factorial", [(170, P, "a")], [(_fact(170), "positive", "result_factorial_m")]),
    ("factorial", [(171, P, "a")], [(None, "positive", "result_factorial_m")]),
    ("factorial", [(1e10, P, "a")], [(None, "positive", "result_factorial_m")]),
    ("factorial", [(-1e10, P, "a")], [(1.0, "positive", "result_factorial_m")]),
    ("factorial", [(2, N, "keep"), (3, P, "a")],
     [(2.0, "negative", "keep"), (6.0, "positive", "result_factorial_m")]),
    ("abs", [(5, N, "a"), (2, U, "b")], [(5.0, "positive", "purified_a"), (2.0, "neutral", "b")]),
    ("abs", [(1, P, "a"), (2, N, "b"), (3, N, "c")],
     [(1.0, "positive", "a"), (2.0, "positive", "purified_b"), (3.0, "positive", "purified_c")]),
    ("abs", [(-4, N, "a")], [(-4.0, "positive", "purified_a")]),
    ("abs", [(1, P, "a"), (2, P, "b")], [(1.0, "positive", "a"), (2.0, "positive", "b")]),
]


def _case_id(case):
    kind, operands, _ = case
    return kind + ":" + ",".join(f"{POLARITY_TEXT[p][:3]}{m}" for m, p, _ in operands)


@pytest.mark.parametrize("kind,operands,expected", APPLIES, ids=[_case_id(c) for c in APPLIES])
def test_spell_applies(kind, operands, expected):
    assert cast(kind, operands) == expected


DECLINES = [
    ("plus", [(3, P, "a")]),
    ("plus", []),
    ("minus", [(3, P, "a")]),
    ("multiply", [(3, N, "a")]),
    ("divide", [(10, P, "a")]),
    ("divide", [(10, P, "a"), (2, P, "b"), (0, P, "c")]),
    ("divide", [(1, P, "a"), (9.99e-10, P, "b")]),
    ("divide", [(1, P, "a"), (-1e-10, P, "b")]),
    ("modulo", [(7, P, "a")]),
    ("modulo", [(7, P, "a"), (0, P, "b")]),
    ("modulo", [(4, P, "keep"), (7, P, "a"), (5e-10, N, "b")]),
    ("power", [(2, P, "a")]),
    ("root", []),
    ("root", [(16, N, "a")]),
    ("root", [(2, P, "k"), (-9, P, "x")]),
    ("root", [(0, P, "k"), (-8, P, "x")]),
    ("root", [(4.5, P, "k"), (-8, P, "x")]),
    ("root", [(NAN, P, "k"), (-8, P, "x")]),
    ("root", [(INF, P, "k"), (-8, P, "x")]),
    ("root", [(-INF, P, "k"), (-8, P, "x")]),
    ("log", []),
    ("log", [(0, P, "a")]),
    ("log", [(-5, P, "a")]),
    ("log", [(1, P, "b"), (8, P, "x")]),
    ("log", [(2, P, "b"), (0, P, "x")]),
    ("log", [(0, P, "b"), (8, P, "x")]),
    ("log", [(-2, P, "b"), (8, P, "x")]),
    ("factorial", []),
    ("factorial", [(5, N, "a")]),
    ("factorial", [(3, P, "keep"), (5, N, "a")]),
    ("factorial", [(NAN, P, "a")]),
    ("abs", []),
]


@pytest.mark.parametrize("kind,operands", DECLINES,
                         ids=[_case_id((k, o, None)) for k, o in DECLINES])
def test_spell_declines_and_level_ends_with_charges_unchanged(kind, operands):
    assert_declines(kind, operands)


@pytest.mark.parametrize("kind,prefix", [
    ("plus", "result_"), ("minus", "result_"), ("multiply", "result_product_"),
    ("divide", "result_quotient_"), ("modulo", "result_remainder_"),
    ("power", "result_power_"), ("root", "result_root_"), ("log", "result_log_"),
    ("factorial", "result_factorial_"),
])
def test_result_visual_id_is_prefix_plus_caster_id_and_result_is_last(kind, prefix):
    operands = [(2, P, "x1"), (3, P, "x2"), (4, P, "x3")]
    result = cast(kind, operands, agent_vid="wand-7")
    assert result[-1][2] == prefix + "wand-7"
    kept = {"modulo": 1, "power": 1, "root": 1, "log": 1, "factorial": 2}.get(kind, 0)
    assert result[:-1] == as_json(operands[:kept])


def test_abs_on_unchanged_list_still_reports_a_cast():
    frame = first_frame("abs", [(1, P, "a")], agent_vid="pure")
    assert frame["meta"]["status"] == "RUNNING"
    assert frame["meta"]["last_event"] == {
        "agent_name": "The Purifier", "description": "The Purifier executed operation in z",
        "type": "CAST_SPELL", "visual_id": "pure"}
    assert zone_charges(frame) == [(1.0, "positive", "a")]


def test_nan_magnitude_is_written_as_null_in_frame_text():
    top = Environment("z")
    top.add_charge(8, N, "a")
    top.add_charge(0.5, P, "b")
    top.add_power_sorcerer("m")
    text = NarrativeSequencer(top).next_frame()
    assert '"charges":[{"magnitude":null,"polarity":"neutral","visual_id":"result_power_m"}]' in text

