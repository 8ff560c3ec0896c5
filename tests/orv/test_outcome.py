"""The outcome of a level: the fast route and the route over parsed frames agree."""

import orv_engine
import pytest
from orv_engine import POSITIVE
from orv_test_support import two_room_level

from orv import load_sample
from orv.playing.outcome import Outcome, classify_frames, exit_status, play_outcome
from orv.viewer.page import level_frames


def zone(name, charges=(), subs=()):
    env = orv_engine.Environment(name)
    for index, value in enumerate(charges):
        env.add_charge(value, POSITIVE, f"{name}{index}")
    for sub in subs:
        env.add_sub_environment(sub)
    return env


def two_closed_gates():
    top = zone("hall", [3])
    top.add_equals_gate("door", 4)
    top.add_inequality_gate("judge", 10, ">")
    return top


def gate_carried_away():
    inner = zone("cell")
    inner.add_equals_gate("lost", 5)
    return zone("top", subs=[zone("outer", [1], subs=[inner])])


def no_gates():
    top = zone("top", [2, 2])
    top.add_plus_magician("plus")
    return top


def endless():
    top = zone("top", [1])
    for index in range(1001):
        top.add_abs_magician(f"abs{index}")
    top.add_equals_gate("never", 1)
    return top


LEVELS = {
    "solved": (two_room_level, Outcome.SOLVED, []),
    "two closed gates": (two_closed_gates, Outcome.STUCK,
                         ['gate "door" in zone hall (== 4): total 3',
                          'gate "judge" in zone hall (> 10): total 3']),
    "gate carried away": (gate_carried_away, Outcome.STUCK,
                          ['gate "lost" in zone cell (== 5): left the level with an outer '
                           'zone before it opened']),
    "no gates": (no_gates, Outcome.ENDED, []),
    "out of steps": (endless, Outcome.OUT_OF_STEPS,
                     ['gate "never" in zone top (== 1): total 1']),
    "frozen vault": (lambda: load_sample("chronomancer_vault"), Outcome.STUCK,
                     ['gate "vault_door" in zone vault (== 2): total 2, but the zone '
                      'stayed frozen']),
}


@pytest.mark.parametrize("build, outcome, closed", LEVELS.values(), ids=LEVELS.keys())
def test_playing_and_classifying_parsed_frames_agree_on_the_outcome(build, outcome, closed):
    documents = level_frames(build())
    fast = play_outcome(build())
    assert fast == classify_frames(documents[0], documents[1:])
    assert fast.outcome == outcome
    assert [gate.describe() for gate in fast.closed_gates] == closed
    assert fast.exit_status == exit_status(outcome) == {"solved": 0, "ended": 0,
                                                        "out of steps": 1, "stuck": 3}[outcome]
