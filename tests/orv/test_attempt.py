"""A player's attempt at a puzzle: moves and their refusals, runs that leave the puzzle as it
is, hints that lead to a solution, and orv play --place."""

from __future__ import annotations

from importlib import resources

import pytest
from orv_test_support import run_orv
from puzzle_cases import puzzle_text

import orv
from orv.generating.puzzles import generate_puzzle
from orv.puzzles.puzzle import HandAgent
from orv.puzzles.result import Solution

VAULT = "locksmiths_vault"
SOLUTION = (("forge", ("p1", "m1")), ("crucible", ("x1",)), ("mill", ("p2",)))

# (changes to the vault's top zone, moves made first, the refused move, its one line)
REFUSALS = {
    "unknown_agent": ({}, [], ("place", "zz", "forge"),
                      'no agent of the hand has the visual id "zz"'),
    "gate_of_the_level": ({}, [], ("place", "door", "forge"),
                          '"door" is the level\'s own Equals Gate of zone "vault", not an '
                          "agent of the hand"),
    "already_placed": ({}, [("place", "x1", "crucible")], ("place", "x1", "mill"),
                       'hand agent "x1" is already placed, in zone "crucible"'),
    "no_such_zone": ({}, [], ("place", "x1", "forje"),
                     'no zone has the id "forje" (did you mean "forge"?)'),
    "not_a_slot": ({"slots": ["forge", "mill"]}, [], ("place", "x1", "crucible"),
                   'zone "crucible" is not one of the puzzle\'s slots'),
    "index_past_the_end": ({}, [("place", "p1", "forge")], ("place", "m1", "forge", 2),
                           'index 2 is past the end of zone "forge", which holds 1 hand agent '
                           "(0 to 1)"),
    "index_negative": ({}, [], ("place", "m1", "forge", -1), "index -1 is negative"),
    "remove_not_placed": ({}, [], ("remove", "p1"), 'hand agent "p1" is not placed'),
    "move_not_placed": ({}, [], ("move", "p1", "mill"), 'hand agent "p1" is not placed'),
    "move_to_no_zone": ({}, [("place", "p1", "forge")], ("move", "p1", "nowhere"),
                        'no zone has the id "nowhere"'),
    "use_all_not_met": ({"use": "all"}, [("place", "x1", "crucible")], ("run",),
                        'the puzzle\'s "use" is "all": every hand agent must be placed, and '
                        'these are not: Plus Magician "p1", Plus Magician "p2", Minus '
                        'Magician "m1"'),
}


def vault(changes: dict[str, object] | None = None) -> orv.Puzzle:
    return orv.Puzzle(orv.level_from_json(puzzle_text(changes or {})))


def make(attempt: orv.Attempt, move: tuple[object, ...]) -> object:
    name, *arguments = move
    return getattr(attempt, str(name))(*arguments)


def placed(attempt: orv.Attempt) -> tuple[tuple[str, tuple[str, ...]], ...]:
    return tuple((zone, tuple(agent.visual_id for agent in agents))
                 for zone, agents in attempt.placement.placement)


@pytest.mark.parametrize("changes, before, move, line", REFUSALS.values(), ids=REFUSALS.keys())
def test_a_refused_move_says_why_in_one_line_and_changes_nothing(changes, before, move, line):
    attempt = vault(changes).attempt()
    for earlier in before:
        make(attempt, earlier)
    placement = placed(attempt)
    with pytest.raises(orv.PlacementError) as refused:
        make(attempt, move)
    assert isinstance(refused.value, ValueError)
    assert str(refused.value) == line
    assert placed(attempt) == placement


# (moves, the placement they leave)
MOVES = {
    "in_order": ([("place", "p1", "forge"), ("place", "m1", "forge")],
                 (("forge", ("p1", "m1")),)),
    "at_an_index": ([("place", "p1", "forge"), ("place", "m1", "forge", 0)],
                    (("forge", ("m1", "p1")),)),
    "zones_in_tree_order": ([("place", "p2", "mill"), ("place", "x1", "vault")],
                            (("vault", ("x1",)), ("mill", ("p2",)))),
    "moved_within_its_zone": ([("place", "p1", "forge"), ("place", "m1", "forge"),
                               ("move", "p1", "forge")], (("forge", ("m1", "p1")),)),
    "moved_away": ([("place", "p1", "forge"), ("move", "p1", "mill", 0)],
                   (("mill", ("p1",)),)),
    "removed": ([("place", "p1", "forge"), ("place", "x1", "forge"), ("remove", "p1")],
                (("forge", ("x1",)),)),
    "undone": ([("place", "p1", "forge"), ("place", "x1", "mill"), ("undo",)],
               (("forge", ("p1",)),)),
    "redone": ([("place", "p1", "forge"), ("undo",), ("redo",)], (("forge", ("p1",)),)),
    "reset": ([("place", "p1", "forge"), ("reset",)], ()),
    "reset_undone": ([("place", "p1", "forge"), ("reset",), ("undo",)],
                     (("forge", ("p1",)),)),
    "redo_gone_after_a_change": ([("place", "p1", "forge"), ("undo",), ("place", "x1", "mill"),
                                  ("redo",)], (("mill", ("x1",)),)),
}


@pytest.mark.parametrize("moves, expected", MOVES.values(), ids=MOVES.keys())
def test_moves_change_the_placement_step_by_step(moves, expected):
    attempt = vault().attempt()
    for move in moves:
        make(attempt, move)
    assert placed(attempt) == expected
    in_zones = {agent for _, agents in expected for agent in agents}
    assert [agent.visual_id for agent in attempt.unplaced] == [
        agent.visual_id for agent in attempt.hand if agent.visual_id not in in_zones]


def test_undo_and_redo_say_when_there_is_nothing_to_take_back():
    attempt = vault().attempt()
    assert (attempt.undo(), attempt.redo()) == (False, False)
    attempt.place("p1", "forge")
    assert (attempt.undo(), attempt.undo(), attempt.redo(), attempt.redo()) == (
        True, False, True, False)


def follow_hints(puzzle: orv.Puzzle) -> tuple[orv.Attempt, list[orv.Hint]]:
    attempt = puzzle.attempt()
    hints = []
    while (hint := attempt.hint()).action in ("place", "remove"):
        hints.append(hint)
        hint.follow(attempt)
        assert len(hints) <= 3 * len(puzzle.hand), [h.text for h in hints]
    hints.append(hint)
    return attempt, hints


def puzzles() -> list[tuple[str, orv.Puzzle]]:
    """The sample puzzle, generated ones, and the campaign's when the package ships one."""
    made = [(f"generated_{seed}", orv.Puzzle(generate_puzzle(seed, 0, 4, 3, False)))
            for seed in range(6)]
    campaign = resources.files("orv.levels").joinpath("campaign")
    shipped = sorted(entry.name for entry in campaign.iterdir()) if campaign.is_dir() else []
    return [(VAULT, orv.Puzzle(VAULT)), ("vault_use_all", vault({"use": "all"}))] + made + [
        (name, orv.Puzzle(orv.level_from_json(campaign.joinpath(name).read_bytes())))
        for name in shipped if name.endswith(".json")]


@pytest.mark.parametrize("name, puzzle", puzzles(), ids=[name for name, _ in puzzles()])
def test_hints_followed_from_nothing_placed_lead_to_a_smallest_solution(name, puzzle):
    attempt, hints = follow_hints(puzzle)
    assert hints[-1].action == "solved", [hint.text for hint in hints]
    assert attempt.run().outcome == orv.Outcome.SOLVED
    assert attempt.placement.size == orv.solve(puzzle).min_size
    assert all(hint.action == "place" for hint in hints[:-1])


def test_a_misplaced_agent_is_hinted_back_out_and_the_hints_still_solve():
    attempt = vault().attempt()
    attempt.place("m1", "forge")
    attempt.place("p1", "forge")        # the Minus Magician first: the door would want -5
    hint = attempt.hint()
    assert (hint.action, hint.zone_id) == ("remove", "forge")
    assert hint.text.startswith(f"take the {'Minus' if hint.visual_id == 'm1' else 'Plus'} ")
    while (hint := attempt.hint()).action in ("place", "remove"):
        hint.follow(attempt)
    assert hint.action == "solved"
    assert placed(attempt) == SOLUTION


@pytest.mark.parametrize("bound, action", [(0, "unknown"), (1, "unknown"), (10**6, "place")])
def test_the_hint_says_when_its_bound_keeps_it_from_telling(bound, action):
    hint = orv.Puzzle(VAULT).attempt().hint(max_placements=bound)
    assert hint.action == action
    assert hint.placements <= bound


def test_a_run_plays_a_fresh_level_each_time_and_leaves_the_puzzle_as_it_is():
    puzzle = orv.Puzzle(VAULT)
    before = puzzle.top.to_json()
    attempt = puzzle.attempt()
    for zone, agents in SOLUTION:
        for agent in agents:
            attempt.place(agent, zone)
    first, second = attempt.run(), attempt.run()
    assert first.outcome == orv.Outcome.SOLVED and first.solved
    assert [frame.text for frame in first.frames] == [frame.text for frame in second.frames]
    assert [frame.record for frame in first.frames] == [frame.record for frame in second.frames]
    assert first.level_outcome == second.level_outcome
    assert puzzle.top.to_json() == before
    attempt.move("m1", "forge", 0)
    stuck = attempt.run()
    assert stuck.outcome == orv.Outcome.STUCK
    assert stuck.level_outcome.closed_gates[0].cause == "wrong_total"


def test_a_sample_name_opens_a_puzzle_for_solve_and_for_puzzle():
    assert orv.solve(VAULT).min_size == 4
    assert [agent.visual_id for agent in orv.Puzzle(VAULT).attempt().hand] == [
        "p1", "p2", "x1", "m1"]


# (orv play arguments after the puzzle, exit status, what stdout starts with, stderr)
PLAYS = {
    "nothing_placed": ([], 3, "locksmiths_vault is a puzzle with a hand of 4 agents still to "
                              "be placed", ""),
    "solution_placed": ([f"--place={agent}@{zone}" for zone, agents in SOLUTION
                         for agent in agents], 0, "locksmiths_vault is a puzzle, played with",
                        ""),
    "refusals": (["--place", "x1@crucible", "--place", "x1@mill", "--place", "q@forge",
                  "--place", "nonsense"], 2, "",
                 'python -m orv: --place x1@mill: hand agent "x1" is already placed, in zone '
                 '"crucible"\npython -m orv: --place q@forge: no agent of the hand has the '
                 'visual id "q"\npython -m orv: --place nonsense: expected VISUAL_ID@ZONE, '
                 "such as x1@crucible\n"),
}


@pytest.mark.parametrize("arguments, status, out, err", PLAYS.values(), ids=PLAYS.keys())
def test_orv_play_places_a_hand_from_the_command_line(tmp_path, arguments, status, out, err):
    result = run_orv("play", VAULT, *arguments, cwd=tmp_path)
    assert (result.returncode, result.stderr) == (status, err)
    assert result.stdout.startswith(out)
    assert ("outcome:       unsolved: the hand is still to be placed" in result.stdout) == (
        not arguments)


P1, X1 = HandAgent("Plus Magician", "p1"), HandAgent("Multiply Magician", "x1")
# (a placement that Puzzle.apply refuses, what the refusal says)
BAD_SOLUTIONS = {
    "agent_not_in_the_hand": ((("forge", (HandAgent("Plus Magician", "q"),)),),
                              'no agent of the hand has the visual id "q"'),
    "agent_placed_twice": ((("forge", (P1, P1)),), "is placed more often than the hand holds it"),
    "unknown_zone": ((("forje", (X1,)),), 'no zone has the id "forje"'),
    "gate_of_the_level": ((("forge", (HandAgent("Equals Gate", "door"),)),),
                          'no agent of the hand has the visual id "door"'),
}


@pytest.mark.parametrize("placement, message", BAD_SOLUTIONS.values(), ids=BAD_SOLUTIONS.keys())
def test_apply_places_only_what_the_hand_holds(placement, message):
    with pytest.raises(ValueError, match=message):
        orv.Puzzle(VAULT).apply(Solution(len(placement[0][1]), placement))
