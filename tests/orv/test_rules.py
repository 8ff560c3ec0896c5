"""The rules where users look: the README, ``python -m orv agents`` and the type stubs."""

import ast
import re
from pathlib import Path

from orv_test_support import run_orv
from test_engine_stubs import stub_functions

from orv import level_from_json
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
