"""Goal gates (EqualsGate, InequalityGate) and the Chronomancer, run through levels."""

import json
import math

import pytest

from orv_engine import NEGATIVE as N
from orv_engine import NEUTRAL as U
from orv_engine import POSITIVE as P
from orv_engine import Environment, NarrativeSequencer

NAN = float("nan")
POLARITY_TEXT = {P: "positive", N: "negative", U: "neutral"}
LEVEL_END = {"agent_name": "System", "description": "Equation Resolved.",
             "type": "FINISHED", "visual_id": "N/A"}


def num(value):
    """A double as it reads back from frame JSON (NaN and infinities are null)."""
    return float(value) if math.isfinite(value) else None


def zone(zone_id, charges=()):
    env = Environment(zone_id)
    for magnitude, polarity, vid in charges:
        env.add_charge(magnitude, polarity, vid)
    return env


def step(seq):
    return json.loads(seq.next_frame())


def charges_of(charges):
    return [{"magnitude": num(m), "polarity": POLARITY_TEXT[p], "visual_id": v}
            for m, p, v in charges]


def cast_meta(index, name, vid, zone_id="z"):
    text = f"{name} executed operation in {zone_id}"
    return {"frame_index": index, "status": "RUNNING", "message": text,
            "last_event": {"agent_name": name, "description": text,
                           "type": "CAST_SPELL", "visual_id": vid}}


def end_meta(index):
    return {"frame_index": index, "status": "FINISHED", "message": "Equation Resolved.",
            "last_event": LEVEL_END}


def gate_json(name, target, rule=None, vid="g"):
    agent = {"is_open": False, "name": name, "priority": 0, "state": "dormant",
             "target_value": num(target), "visual_id": vid}
    if rule is not None:
        agent["rule"] = rule
    return agent


def try_gate(charges, place, closed_json):
    """Runs one frame with a single gate in zone "z"; returns whether the gate opened."""
    top = zone("z", charges)
    place(top)
    frame = step(NarrativeSequencer(top))
    assert frame["charges"] == charges_of(charges)
    if frame["meta"]["status"] == "RUNNING":
        assert frame["meta"] == cast_meta(1, closed_json["name"], "g")
        assert frame["agents"] == []
        return True
    assert frame["meta"] == end_meta(1)
    assert frame["agents"] == [closed_json]
    return False


@pytest.mark.parametrize("charges,target,expected", [
    pytest.param([(4, P, "a"), (6, P, "b")], 10, True, id="exact-total"),
    pytest.param([(15, P, "a"), (5, N, "b")], 10, True, id="negative-subtracts"),
    pytest.param([(7, P, "a"), (3, U, "b")], 4, True, id="neutral-counts-negative"),
    pytest.param([(7, P, "a"), (3, U, "b")], 10, False, id="neutral-not-positive"),
    pytest.param([(3, P, "a"), (3, N, "b")], 0, True, id="total-zero"),
    pytest.param([(0.0000005, P, "a")], 0, True, id="within-tolerance"),
    pytest.param([(0.0000005, N, "a")], 0, True, id="within-tolerance-below"),
    pytest.param([(0.000001, P, "a")], 0, False, id="at-tolerance-closed"),
    pytest.param([(0.000001, N, "a")], 0, False, id="at-tolerance-below-closed"),
    pytest.param([(10, P, "a")], 10.5, False, id="off-target"),
    pytest.param([], 0, False, id="empty-zone-target-zero"),
    pytest.param([(NAN, P, "a")], 0, False, id="nan-total"),
    pytest.param([(0, P, "a")], NAN, False, id="nan-target"),
])
def test_equals_gate(charges, target, expected):
    def place(env):
        env.add_equals_gate("g", target)
    assert try_gate(charges, place, gate_json("Equals Gate", target)) is expected


@pytest.mark.parametrize("charges,target,rule,expected", [
    pytest.param([(5, P, "a")], 5, "<", False, id="at-target-lt"),
    pytest.param([(5, P, "a")], 5, ">", False, id="at-target-gt"),
    pytest.param([(5, P, "a")], 5, "<=", True, id="at-target-le"),
    pytest.param([(5, P, "a")], 5, ">=", True, id="at-target-ge"),
    pytest.param([(2, P, "a"), (3, P, "b")], 5, ">=", True, id="sum-at-target-ge"),
    pytest.param([(5.0000001, P, "a")], 5, ">", True, id="gt-no-tolerance"),
    pytest.param([(5.0000001, P, "a")], 5, "<=", False, id="le-no-tolerance"),
    pytest.param([(4.9999999, P, "a")], 5, "<", True, id="lt-no-tolerance"),
    pytest.param([(4.9999999, P, "a")], 5, ">=", False, id="ge-no-tolerance"),
    pytest.param([(3, U, "a")], -3, "<=", True, id="neutral-negative-le"),
    pytest.param([(3, U, "a")], -2.5, ">", False, id="neutral-negative-gt-closed"),
    pytest.param([(3, U, "a")], -3.5, ">", True, id="neutral-negative-gt"),
    pytest.param([(1, P, "a"), (4, N, "b")], 0, "<", True, id="negative-total-lt"),
    pytest.param([], 0, "<=", False, id="empty-zone-le"),
    pytest.param([], 0, ">=", False, id="empty-zone-ge"),
    pytest.param([], 1, "<", False, id="empty-zone-lt"),
    *[pytest.param([(NAN, P, "a")], 0, r, False, id=f"nan-total-{r}")
      for r in ("<", ">", "<=", ">=")],
    *[pytest.param([(1, P, "a")], NAN, r, False, id=f"nan-target-{r}")
      for r in ("<", ">", "<=", ">=")],
])
def test_inequality_gate(charges, target, rule, expected):
    def place(env):
        env.add_inequality_gate("g", target, rule)
    assert try_gate(charges, place, gate_json("The Judge", target, rule)) is expected


COMPARISON_TEXTS = [(">=", ">="), ("<=", "<="), (">", ">"), ("<", "<"), ("=>", "<"),
                    ("==", "<"), (" <", "<"), ("<<", "<"), ("", "<"), ("abc", "<"),
                    ("<=x", "<"), ("=", "<"), (">>", "<")]
OPENS = {"<": {4: True, 5: False, 6: False}, ">": {4: False, 5: False, 6: True},
         "<=": {4: True, 5: True, 6: False}, ">=": {4: False, 5: True, 6: True}}


@pytest.mark.parametrize("text,rule", COMPARISON_TEXTS, ids=[repr(t) for t, _ in COMPARISON_TEXTS])
def test_comparison_text_sets_rule_in_json(text, rule):
    env = Environment("z")
    env.add_inequality_gate("j", 3, text)
    assert json.loads(env.to_json())["agents"] == [gate_json("The Judge", 3, rule, vid="j")]


@pytest.mark.parametrize("text,rule,total", [
    pytest.param(t, r, total, id=f"{t!r}-total{total}")
    for t, r in COMPARISON_TEXTS for total in (4, 5, 6)
])
def test_comparison_text_sets_rule_behaviour(text, rule, total):
    def place(env):
        env.add_inequality_gate("g", 5, text)
    opened = try_gate([(total, P, "a")], place, gate_json("The Judge", 5, rule))
    assert opened is OPENS[rule][total]


def test_gate_json_exact_text():
    env = Environment("z")
    env.add_inequality_gate("j", 3, "<=")
    env.add_equals_gate("e", 10)
    env.add_equals_gate("n", -2.5)
    assert env.to_json() == (
        '{"agents":['
        '{"is_open":false,"name":"The Judge","priority":0,"rule":"<=","state":"dormant",'
        '"target_value":3.0,"visual_id":"j"},'
        '{"is_open":false,"name":"Equals Gate","priority":0,"state":"dormant",'
        '"target_value":10.0,"visual_id":"e"},'
        '{"is_open":false,"name":"Equals Gate","priority":0,"state":"dormant",'
        '"target_value":-2.5,"visual_id":"n"}'
        '],"charges":[],"id":"z","is_time_frozen":false,"sub_environments":[]}')


@pytest.mark.parametrize("equals_first", [True, False], ids=["equals-added-first",
                                                            "judge-added-first"])
def test_opened_gate_leaves_zone_and_closed_gate_stays(equals_first):
    top = zone("z", [(4, P, "a"), (6, P, "b")])
    adders = [lambda: top.add_equals_gate("g", 10), lambda: top.add_inequality_gate("j", 100, ">")]
    for add in (adders if equals_first else adders[::-1]):
        add()
    seq = NarrativeSequencer(top)
    judge = gate_json("The Judge", 100, ">", vid="j")
    first = step(seq)
    assert first["meta"] == cast_meta(1, "Equals Gate", "g")
    assert first["agents"] == [judge]
    second = step(seq)
    assert second["meta"] == end_meta(2)
    assert second["agents"] == [judge]
    assert second["charges"] == charges_of([(4, P, "a"), (6, P, "b")])


def test_gate_waits_for_spell_and_collapse_of_inner_zone():
    top = zone("z")
    top.add_equals_gate("g", 10)
    inner = zone("inner", [(4, P, "a"), (6, P, "b")])
    inner.add_plus_magician("p")
    top.add_sub_environment(inner)
    seq = NarrativeSequencer(top)
    gate = gate_json("Equals Gate", 10)
    ten = charges_of([(10, P, "result_p")])

    frame = step(seq)
    assert frame["meta"] == cast_meta(1, "Plus Magician", "p", zone_id="inner")
    assert (frame["is_time_frozen"], frame["agents"], frame["charges"]) == (True, [gate], [])
    frame = step(seq)
    assert frame["meta"]["last_event"] == {
        "agent_name": "Chronomancer", "description": "Zone inner has resolved and merged.",
        "type": "COLLAPSE_ZONE", "visual_id": "shield_inner"}
    assert (frame["agents"], frame["charges"], frame["sub_environments"]) == ([gate], ten, [])
    frame = step(seq)
    assert frame["meta"] == cast_meta(3, "Equals Gate", "g")
    assert (frame["agents"], frame["charges"]) == ([], ten)
    frame = step(seq)
    assert frame["meta"] == end_meta(4)


CHRONO = {"name": "Chronomancer", "priority": 100, "state": "dormant", "visual_id": "c"}


def test_chronomancer_never_casts_and_does_not_hold_level_open():
    top = zone("z", [(4, P, "a"), (6, N, "b")])
    top.add_chronomancer("c")
    seq = NarrativeSequencer(top)
    frame = step(seq)
    assert frame["meta"] == end_meta(1)
    assert frame["agents"] == [CHRONO]
    assert frame["charges"] == charges_of([(4, P, "a"), (6, N, "b")])
    later = step(seq)
    assert later["meta"]["status"] == "FINISHED"
    assert later["agents"] == [CHRONO]


def test_chronomancer_is_passed_over_by_lower_priority_caster():
    top = zone("z", [(4, P, "a"), (6, P, "b")])
    top.add_chronomancer("c")
    top.add_plus_magician("p")
    seq = NarrativeSequencer(top)
    frame = step(seq)
    assert frame["meta"] == cast_meta(1, "Plus Magician", "p")
    assert frame["agents"] == [CHRONO]
    assert frame["charges"] == charges_of([(10, P, "result_p")])
    assert step(seq)["meta"] == end_meta(2)


def test_chronomancer_keeps_parent_frozen_in_every_frame():
    top = zone("z", [(1, P, "x"), (2, P, "y")])
    top.add_plus_magician("never")
    clock = zone("clock", [(9, P, "t")])
    clock.add_chronomancer("c")
    work = zone("work", [(3, P, "a"), (4, P, "b")])
    work.add_plus_magician("w")
    top.add_sub_environment(clock)
    top.add_sub_environment(work)
    seq = NarrativeSequencer(top)
    stuck = {"name": "Plus Magician", "priority": 10, "state": "dormant", "visual_id": "never"}
    clock_json = {"agents": [CHRONO], "charges": charges_of([(9, P, "t")]), "id": "clock",
                  "is_time_frozen": False, "sub_environments": []}

    frames = [step(seq) for _ in range(4)]
    assert frames[0]["meta"] == cast_meta(1, "Plus Magician", "w", zone_id="work")
    assert frames[1]["meta"]["last_event"]["description"] == "Zone work has resolved and merged."
    assert frames[2]["meta"] == end_meta(3)
    assert frames[3]["meta"]["message"] == "Simulation complete. No further actions."
    for frame in frames:
        assert frame["is_time_frozen"] is True
        assert frame["agents"] == [stuck]
        assert frame["sub_environments"][0] == clock_json
    assert frames[2]["charges"] == charges_of([(1, P, "x"), (2, P, "y"), (7, P, "result_w")])
    assert frames[2]["sub_environments"] == [clock_json]
