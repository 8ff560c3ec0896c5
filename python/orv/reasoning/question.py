"""The question of a dataset entry: the puzzle in plain text and the answer's format."""

from __future__ import annotations

from orv.learning.answers import ARROW
from orv.learning.text import hand_line, rules_lines, zone_lines
from orv.puzzles.puzzle import Puzzle

INTRODUCTION = (
    "Solve this arithmetic puzzle. A level is a tree of zones; each zone holds numeric charges "
    "and agents whose spells combine its charges. When the level runs, inner zones settle "
    "first, a zone left with one charge and no agent collapses into the zone above it, and a "
    "gate opens when its zone's total meets what it wants. Place agents of the hand into "
    "slot zones so that the run opens every gate.")


def question_text(puzzle: Puzzle) -> str:
    """The puzzle, the rules of the kinds it uses, and the answer format."""
    how_many = ("every agent of the hand" if puzzle.use_all
                else "as many agents of the hand as you need")
    example = f"{puzzle.hand[0].visual_id} {ARROW} {puzzle.slot_ids[0]}"
    return "\n".join([
        INTRODUCTION, "",
        "Zones (a zone is listed under the zone that holds it; charges and agents in order):",
        *zone_lines(puzzle),
        hand_line(puzzle),
        f"Slots (the zones the hand may go into): {', '.join(puzzle.slot_ids)}",
        f"Place {how_many}. Each placed agent goes to the end of its zone's agents, in the "
        "order of your lines.", "",
        "Rules:", *rules_lines(puzzle), "",
        f"Answer with one line per placed agent, visual_id {ARROW} zone_id, in the order you "
        "place them, inside <answer> tags, for example:",
        f"<answer>\n{example}\n</answer>",
    ])
