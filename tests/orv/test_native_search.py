"""The native puzzle search against the reference search of orv.puzzles and a brute force
that plays every ordered placement, both over the public Python API."""

from __future__ import annotations

import itertools
import random
import signal
from dataclasses import dataclass, field

import orv_engine
import pytest
from orv import _native
from orv.playing.outcome import Outcome, play_outcome
from orv.puzzles.reference import ReferenceSearch
from orv.rules.roster import AGENT_KINDS, EQUALS_GATE, GATE_NAMES, INEQUALITY_GATE

SPELL_KINDS = sorted(name for name in AGENT_KINDS if name not in GATE_NAMES)
Key = tuple[tuple[str, ...], ...]


@dataclass
class Zone:
    id: str
    parent: int | None
    charges: list[tuple[float, int]] = field(default_factory=list)
    agents: list[tuple[str, str, float, str]] = field(default_factory=list)


def random_puzzle(rng: random.Random) -> tuple[list[Zone], list[tuple[str, str]], list[int]]:
    """Zones in preorder (each parent before its sub-zones), a hand and its slots."""
    zones = [Zone("top", None)]
    for index in range(rng.randint(0, 2)):
        zones.append(Zone(f"z{index}", rng.randrange(len(zones))))
    zones = _preorder(zones)
    for zone in zones:
        for _ in range(rng.randint(0, 3)):
            zone.charges.append((float(rng.randint(0, 6)), rng.choice([0, 0, 1, 2])))
        if rng.random() < 0.4:
            zone.agents.append((rng.choice(SPELL_KINDS), "own", 0.0, ""))
    for number in range(rng.choice([0, 1, 1, 2])):
        gate = rng.choice([EQUALS_GATE, INEQUALITY_GATE])
        rule = rng.choice(["<", ">", "<=", ">="])
        rng.choice(zones).agents.append((gate, f"g{number}", float(rng.randint(-4, 12)), rule))
    hand = [(rng.choice([*SPELL_KINDS, "Plus Magician", "Minus Magician"]), f"h{index}")
            for index in range(rng.randint(1, 3))]
    slots = sorted(rng.sample(range(len(zones)), rng.randint(1, len(zones))))
    return zones, hand, slots


def _preorder(zones: list[Zone]) -> list[Zone]:
    ordered: list[Zone] = []

    def visit(index: int, parent: int | None) -> None:
        zone = zones[index]
        ordered.append(Zone(zone.id, parent))
        at = len(ordered) - 1
        for child, sub in enumerate(zones):
            if sub.parent == index:
                visit(child, at)

    visit(0, None)
    return ordered


def build(zones: list[Zone], added: dict[int, list[tuple[str, str]]]) -> orv_engine.Environment:
    """The level through the public API, with `added` agents at the end of those zones."""
    made = [orv_engine.Environment(zone.id) for zone in zones]
    for number, (zone, env) in enumerate(zip(zones, made)):
        for magnitude, polarity in zone.charges:
            env.add_charge(magnitude, orv_engine.ChargePolarity(polarity), "c")
        for name, visual_id, target, rule in zone.agents:
            if name == EQUALS_GATE:
                env.add_equals_gate(visual_id, target)
            elif name == INEQUALITY_GATE:
                env.add_inequality_gate(visual_id, target, rule)
            else:
                getattr(env, AGENT_KINDS[name].add_method)(visual_id)
        for name, visual_id in added.get(number, []):
            getattr(env, AGENT_KINDS[name].add_method)(visual_id)
    for zone, env in zip(zones, made):
        if zone.parent is not None:
            made[zone.parent].add_sub_environment(env)
    return made[0]


def canonical(slots: list[int], placed: dict[int, list[str]]) -> Key:
    """Each slot's kinds stably sorted by priority, highest first."""
    return tuple(tuple(sorted(placed.get(zone, []), key=lambda name: -AGENT_KINDS[name].priority))
                 for zone in slots)


def brute_force(zones: list[Zone], hand: list[tuple[str, str]], slots: list[int],
                size: int) -> dict[Key, bool]:
    """Every ordered placement of `size` hand agents, played; outcomes grouped by canonical
    form, which must agree within a group."""
    outcomes: dict[Key, bool] = {}
    for chosen in itertools.permutations(range(len(hand)), size):
        for cuts in itertools.combinations_with_replacement(range(size + 1), len(slots) - 1):
            bounds = (0, *cuts, size)
            added = {zone: [hand[i] for i in chosen[bounds[n]:bounds[n + 1]]]
                     for n, zone in enumerate(slots)}
            solved = play_outcome(build(zones, added)).outcome == Outcome.SOLVED
            key = canonical(slots, {zone: [name for name, _ in agents]
                                    for zone, agents in added.items()})
            assert outcomes.setdefault(key, solved) == solved
    return outcomes


def key_of(placement: list[tuple[int, list[int]]], hand: list[tuple[str, str]],
           slots: list[int]) -> Key:
    placed = dict(placement)
    return tuple(tuple(hand[i][0] for i in placed.get(slot, [])) for slot in range(len(slots)))


@pytest.mark.parametrize("first_seed", range(0, 300, 75), ids=lambda seed: f"seeds{seed}+")
def test_native_search_equals_the_reference_and_a_brute_force(first_seed: int) -> None:
    for seed in range(first_seed, first_seed + 75):
        rng = random.Random(seed)
        zones, hand, slots = random_puzzle(rng)
        use_all = rng.random() < 0.2
        text = build(zones, {}).to_json()
        native = _native.PuzzleSearch(text, hand, slots, use_all)
        reference = ReferenceSearch(text, hand, slots, use_all)
        for size in range(len(hand) + 2):
            expected = {} if size > len(hand) or (use_all and size != len(hand)) else \
                brute_force(zones, hand, slots, size)
            count = native.placement_count(size)
            assert count == reference.placement_count(size) == len(expected), (seed, size)
            placements = [native.placement(size, rank) for rank in range(count)]
            assert placements == [reference.placement(size, rank) for rank in range(count)]
            assert {key_of(placement, hand, slots) for placement in placements} == set(expected)
            found = native.search(size, 0, count + 5, count)
            assert found == reference.search(size, 0, count, count), (seed, size)
            solving = {key for key, solves in expected.items() if solves}
            assert {key_of(placements[rank], hand, slots) for rank in found[2]} == solving
            # Two chunks give what one search over everything gives.
            low, high = native.search(size, 0, count // 2, 1), native.search(size, count // 2,
                                                                              count, 9)
            assert (low[0] + high[0], low[1] + high[1]) == found[:2]
            assert (low[2] + high[2])[:1] == found[2][:1]


@pytest.mark.parametrize(("first", "second", "placements"), [
    ("Plus Magician", "Minus Magician", 2),
    ("Plus Magician", "Multiply Magician", 1),
    ("Plus Magician", "Plus Magician", 1),
])
def test_order_in_a_zone_counts_only_among_equal_priorities(first: str, second: str,
                                                            placements: int) -> None:
    top = orv_engine.Environment("top")
    top.add_equals_gate("goal", 1)
    search = _native.PuzzleSearch(top.to_json(), [(first, "a"), (second, "b")], [0], True)
    assert search.placement_count(2) == placements
    assert search.placement_count(1) == 0
    orders = [search.placement(2, rank) for rank in range(placements)]
    assert len({str(order) for order in orders}) == placements


def test_ranks_follow_the_documented_order() -> None:
    top = orv_engine.Environment("top")
    top.add_sub_environment(orv_engine.Environment("inner"))
    search = _native.PuzzleSearch(
        top.to_json(), [("Plus Magician", "p"), ("Minus Magician", "m"), ("Plus Magician", "q")],
        [0, 1], False)
    # Count vectors (plus, minus) ascending: (0, 1), then (1, 0); within each, every agent in
    # the last slot first. Size 2 starts at (1, 1): plus before minus, both in the last slot;
    # (2, 0) uses the hand's plus agents in hand order.
    assert [search.placement(1, rank) for rank in range(4)] == [
        [(1, [1])], [(0, [1])], [(1, [0])], [(0, [0])]]
    assert [search.placement(2, rank) for rank in (0, 1, 2)] == [
        [(1, [0, 1])], [(1, [1, 0])], [(0, [0]), (1, [1])]]
    assert search.placement(2, search.placement_count(2) - 1) == [(0, [0, 2])]


@pytest.mark.parametrize(("arguments", "error", "message"), [
    (("{", [], [0], False), ValueError, "not JSON"),
    (('{"agents":[]}', [], [0], False), ValueError, "is missing"),
    ((None, [("Equals Gate", "g")], [0], False), ValueError, "is a gate"),
    ((None, [("Gandalf", "g")], [0], False), ValueError, "not the name of an agent kind"),
    ((None, [("Plus Magician", "p")], [2], False), ValueError, "not one of the level's 2 zones"),
    ((None, [("Plus Magician", "p")], [-1], False), ValueError, "not one of the level's"),
    ((None, [("Plus Magician", "p")], [1, 1], False), ValueError, "is already slot 0"),
], ids=["text", "member", "hand-gate", "hand-name", "slot-range", "slot-negative", "slot-twice"])
def test_bad_puzzles_are_refused(arguments: tuple[object, ...], error: type[Exception],
                                 message: str) -> None:
    top = orv_engine.Environment("top")
    top.add_sub_environment(orv_engine.Environment("inner"))
    text = arguments[0] if arguments[0] is not None else top.to_json()
    with pytest.raises(error, match=message):
        _native.PuzzleSearch(text, *arguments[1:])


@pytest.mark.parametrize(("call", "error", "message"), [
    (lambda s: s.placement_count(-1), ValueError, "is negative"),
    (lambda s: s.placement(2**62, 0), IndexError, "is not below 0"),
    (lambda s: s.search(-1, 0, 1, 1), ValueError, "is negative"),
    (lambda s: s.search(1, -1, 1, 1), ValueError, "start must not be negative"),
    (lambda s: s.search(1, 0, 1, -1), ValueError, "max_solutions must not be negative"),
    (lambda s: s.placement(1, 1), IndexError, "is not below 1"),
    (lambda s: s.placement(2, 0), IndexError, "is not below 0"),
    (lambda s: s.placement(1, -1), IndexError, "is negative"),
], ids=["count", "huge-size", "search-size", "search-start", "search-max", "rank", "empty-size",
        "rank-neg"])
def test_bad_calls_raise_clean_errors(call, error: type[Exception], message: str) -> None:
    search = _native.PuzzleSearch(orv_engine.Environment("top").to_json(),
                                  [("Plus Magician", "p")], [0], False)
    with pytest.raises(error, match=message):
        call(search)


def test_an_interrupt_stops_a_search() -> None:
    top = orv_engine.Environment("top")
    for index in range(5):
        top.add_sub_environment(orv_engine.Environment(f"z{index}"))
    top.add_equals_gate("goal", 1)
    hand = [(name, f"h{index}") for index, name in enumerate(SPELL_KINDS[:8])]
    search = _native.PuzzleSearch(top.to_json(), hand, list(range(6)), True)
    count = search.placement_count(8)
    assert count > 10**6

    def interrupt(_signal: int, _frame: object) -> None:
        raise KeyboardInterrupt

    # A timer of this process's processor time, not of the clock: it fires inside the search
    # however busy the machine, since nothing else here uses the processor meanwhile.
    previous = signal.signal(signal.SIGPROF, interrupt)
    try:
        signal.setitimer(signal.ITIMER_PROF, 0.05)
        with pytest.raises(KeyboardInterrupt):
            search.search(8, 0, count, 1)
    finally:
        signal.setitimer(signal.ITIMER_PROF, 0)
        signal.signal(signal.SIGPROF, previous)
    assert search.search(8, 0, 3, 1)[0] == 3
