"""The rules where users look: the README, ``python -m orv agents`` and the type stubs."""

import ast
import json
import math
import random
import re
from pathlib import Path

import pytest

import orv_engine
from orv_engine import NEGATIVE, NEUTRAL, POSITIVE
from orv_test_support import run_orv
from test_engine_stubs import stub_functions, stub_source

from orv import _native, level_from_json, play_frames
from orv.playing.outcome import Outcome, play_outcome
from orv.rules.roster import AGENT_KINDS, INEQUALITY_GATE
from orv.rules.text import rules_markdown, rules_text

README = (Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")


def test_the_readme_the_agents_command_and_the_stubs_carry_the_same_rules(tmp_path):
    assert rules_markdown() in README
    for kind in AGENT_KINDS.values():  # the reasons come from the spells themselves
        assert "; ".join(_native.decline_reasons()[kind.name]) in rules_markdown()
    assert run_orv("agents", cwd=tmp_path).stdout == rules_text() + "\n"
    documented = {function.name: ast.get_docstring(function) or ""
                  for _, function in stub_functions()}
    for kind in AGENT_KINDS.values():
        assert f"{kind.name}, priority {kind.priority}:" in documented[kind.add_method]


def test_the_readme_level_file_example_loads_and_is_solved():
    example = re.search(r"```json\n(.*?)```", README, re.DOTALL).group(1)
    assert play_outcome(level_from_json(example)).outcome == Outcome.SOLVED


def test_equal_priorities_keep_collection_order_beyond_sixteen_agents_as_documented():
    guarantee = "Equal priorities keep that order, however many agents are gathered."
    stubs = " ".join(ast.get_docstring(ast.parse(stub_source())).split())
    assert guarantee in rules_markdown() and guarantee.lower() in stubs.lower()
    top = orv_engine.Environment("top")
    rooms = [f"room{index:02d}" for index in range(20)]
    for index, name in enumerate(rooms):
        room = orv_engine.Environment(name)
        room.add_charge(1, POSITIVE, "one")
        room.add_charge(2, POSITIVE, "two")
        # Plus and Minus share priority 10; they alternate so that kind cannot be the order.
        getattr(room, "add_minus_magician" if index % 2 else "add_plus_magician")(name)
        top.add_sub_environment(room)
    gates = [f"gate{index:02d}" for index in range(20)]
    for gate in gates:
        top.add_equals_gate(gate, 10 * (1 + 2) + 10 * (1 - 2))
    casters = [frame.event["visual_id"] for frame in play_frames(top)
               if frame.event and frame.event["type"] == "CAST_SPELL"]
    assert casters == rooms + gates


MAGNITUDES = (0.0, -0.0, 1e-10, -1e-10, 1e-9, 0.5, 1.0, 2.0, 3.0, -8.0, -9.0, 171.5, math.nan,
              math.inf, -math.inf)
POLARITIES = {"positive": POSITIVE, "negative": NEGATIVE, "neutral": NEUTRAL}


def casts_through_the_engine(kind, charges, target, rule) -> bool:
    zone = orv_engine.Environment("z")
    for magnitude, polarity in charges:
        zone.add_charge(magnitude, POLARITIES[polarity], "c")
    place = getattr(zone, kind.add_method)
    if not kind.is_gate:
        place("agent")
    elif kind.name == INEQUALITY_GATE:
        place("agent", target, rule)
    else:
        place("agent", target)
    event = json.loads(orv_engine.NarrativeSequencer(zone).next_frame())["meta"]["last_event"]
    return event["type"] == "CAST_SPELL"


def as_pattern(reason: str) -> re.Pattern[str]:
    return re.compile(re.sub(r"\\\[\w+\\\]", ".+", re.escape(reason)))


@pytest.mark.parametrize("kind", AGENT_KINDS.values(), ids=AGENT_KINDS.keys())
def test_a_kind_gives_a_listed_reason_exactly_when_its_spell_declines(kind):
    chance = random.Random(kind.name)
    listed = [as_pattern(reason) for reason in _native.decline_reasons()[kind.name]]
    for _ in range(400):
        charges = [(chance.choice(MAGNITUDES), chance.choice(list(POLARITIES)))
                   for _ in range(chance.randrange(4))]
        target, rule = chance.choice((0.0, 1.0, 3.0, -8.0, math.nan)), chance.choice(("<", ">", "<=", ">="))
        reason = _native.decline_reason(kind.name, charges, target, rule)
        assert (reason == "") == casts_through_the_engine(kind, charges, target, rule), (
            charges, target, rule, reason)
        assert not reason or sum(bool(p.fullmatch(reason)) for p in listed) == 1, reason
