"""The rules where users look: the README, ``python -m orv agents`` and the type stubs."""

import ast
import re
from pathlib import Path

import orv_engine
from orv_engine import POSITIVE
from orv_test_support import run_orv
from test_engine_stubs import stub_functions, stub_source

from orv import level_from_json, play_frames
from orv.playing.outcome import Outcome, play_outcome
from orv.rules.roster import AGENT_KINDS
from orv.rules.text import rules_markdown, rules_text

README = (Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")


def test_the_readme_the_agents_command_and_the_stubs_carry_the_same_rules(tmp_path):
    assert rules_markdown() in README
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
