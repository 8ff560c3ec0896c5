"""Placing agents from Python and their JSON form."""

import json

import pytest

from orv_engine import POSITIVE, Environment

ONE_ARGUMENT_KINDS = [
    ("add_plus_magician", "Plus Magician", 10),
    ("add_minus_magician", "Minus Magician", 10),
    ("add_multiply_magician", "Multiply Magician", 50),
    ("add_divide_magician", "Divide Magician", 50),
    ("add_power_sorcerer", "Power Sorcerer", 75),
    ("add_root_magician", "The Extractor", 75),
    ("add_abs_magician", "The Purifier", 90),
    ("add_factorial_magician", "The Replicator", 85),
    ("add_modulo_magician", "The Scavenger", 50),
    ("add_log_magician", "The Architect", 90),
    ("add_chronomancer", "Chronomancer", 100),
]


def agents_of(zone):
    return json.loads(zone.to_json())["agents"]


def test_plus_magician_exact_text():
    zone = Environment("z")
    zone.add_plus_magician("p1")
    assert zone.to_json() == (
        '{"agents":[{"name":"Plus Magician","priority":10,"state":"dormant","visual_id":"p1"}],'
        '"charges":[],"id":"z","is_time_frozen":false,"sub_environments":[]}')


@pytest.mark.parametrize(("method", "name", "priority"), ONE_ARGUMENT_KINDS,
                         ids=[kind[0] for kind in ONE_ARGUMENT_KINDS])
def test_each_kind_has_its_fixed_identity(method, name, priority):
    zone = Environment("z")
    getattr(zone, method)("v")
    assert agents_of(zone) == [
        {"name": name, "priority": priority, "state": "dormant", "visual_id": "v"}]
    assert f'"priority":{priority},' in zone.to_json()
    assert getattr(Environment, method).__doc__ == (
        f"{method}(self: orv_engine.Environment, visual_id: str) -> None\n")


def test_equals_gate_json_with_integer_target():
    zone = Environment("z")
    zone.add_equals_gate("g", 10)
    assert agents_of(zone)[0] == {"is_open": False, "name": "Equals Gate", "priority": 0,
                                  "state": "dormant", "target_value": 10.0, "visual_id": "g"}
    assert '"target_value":10.0' in zone.to_json()


def test_agents_keep_call_order_and_equal_agents_stay_distinct():
    zone = Environment("z")
    zone.add_plus_magician("same")
    zone.add_chronomancer("c")
    zone.add_plus_magician("same")
    zone.add_inequality_gate("j", 1.5, ">")
    assert [(a["name"], a["visual_id"]) for a in agents_of(zone)] == [
        ("Plus Magician", "same"), ("Chronomancer", "c"), ("Plus Magician", "same"),
        ("The Judge", "j")]


def test_empty_and_non_ascii_visual_ids_are_kept():
    zone = Environment("z")
    zone.add_abs_magician("")
    zone.add_log_magician("魔法")
    assert '"visual_id":""' in zone.to_json()
    assert '"visual_id":"魔法"' in zone.to_json()


@pytest.mark.parametrize(
    ("text", "rule"),
    [("<", "<"), (">", ">"), ("<=", "<="), (">=", ">="), ("=>", "<"), ("==", "<"),
     (" <", "<"), ("<<", "<"), ("", "<"), ("abc", "<"), (">=x", "<"), (b">=", ">="),
     ("≥", "<")],
    ids=repr,
)
def test_comparison_text_mapping(text, rule):
    zone = Environment("z")
    zone.add_inequality_gate("j", 3, text)
    assert agents_of(zone)[0]["rule"] == rule


@pytest.mark.parametrize(
    "call",
    [
        lambda z: z.add_plus_magician(5),
        lambda z: z.add_plus_magician(),
        lambda z: z.add_equals_gate("g", "10"),
        lambda z: z.add_equals_gate("g"),
        lambda z: z.add_inequality_gate("j", 1, 3),
        lambda z: z.add_inequality_gate("j", 1, None),
        lambda z: z.add_chronomancer(visual_id="c", extra=1),
    ],
    ids=["number-id", "missing-id", "text-target", "missing-target", "number-rule",
         "none-rule", "unknown-keyword"],
)
def test_unconvertible_arguments_raise_type_error_and_add_nothing(call):
    zone = Environment("z")
    with pytest.raises(TypeError):
        call(zone)
    assert agents_of(zone) == []


def test_gate_methods_take_keywords():
    zone = Environment("z")
    zone.add_inequality_gate(comparison_type=">=", target=2, visual_id="j")
    zone.add_equals_gate(target=-1.25, visual_id="g")
    zone.add_charge(1, POSITIVE, "c")
    gates = agents_of(zone)
    assert (gates[0]["rule"], gates[0]["target_value"]) == (">=", 2.0)
    assert gates[1]["target_value"] == -1.25
