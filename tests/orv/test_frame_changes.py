"""What the viewer highlights: the changes one step made, worked out from two frames."""

import copy
import re
from pathlib import Path

import pytest
from orv_test_support import two_room_level

from orv.playing.changes import frame_changes
from orv.viewer.page import level_frames


@pytest.fixture(scope="module")
def rooms():
    """The start and every frame of the two-room level: Abs and Plus cast in the rooms,
    both rooms collapse, then the top zone's Plus and gate act."""
    return level_frames(two_room_level())


def agent(name, priority, visual_id):
    return {"name": name, "priority": priority, "state": "dormant", "visual_id": visual_id}


def zone(zone_id, charges=(), agents=(), subs=(), frozen=False):
    return {"agents": list(agents), "charges": list(charges), "id": zone_id,
            "is_time_frozen": frozen, "sub_environments": list(subs)}


def charge(magnitude, visual_id, polarity="positive"):
    return {"magnitude": magnitude, "polarity": polarity, "visual_id": visual_id}


def test_a_spell_marks_the_departed_caster_and_the_charges_it_made(rooms):
    # Frame 1: The Purifier (priority 90) turns the negative 5 positive in the second room.
    assert frame_changes(rooms[0], rooms[1]) == {
        "1": {"new_charges": [0], "departed_agents": [agent("The Purifier", 90, "abs")]},
    }


def test_a_collapse_marks_the_zone_that_left_and_the_charge_its_parent_gained(rooms):
    adder_before = rooms[2]["sub_environments"][0]
    assert frame_changes(rooms[2], rooms[3]) == {
        "": {"new_charges": [0], "collapsed_zones": [adder_before]},
    }


def test_the_frame_that_ends_the_level_changes_nothing(rooms):
    assert rooms[-1]["meta"]["message"] == "Equation Resolved."
    assert frame_changes(rooms[-2], rooms[-1]) == {}


def test_freeze_flags_alone_are_no_change():
    before = zone("top", subs=[zone("a", [charge(1.0, "x")])], frozen=True)
    after = copy.deepcopy(before)
    after["is_time_frozen"] = False
    assert frame_changes(before, after) == {}


def test_the_collapsed_zone_is_told_apart_from_siblings_with_the_same_id():
    first = zone("twin", [charge(1.0, "a")])
    second = zone("twin", [charge(2.0, "b")], [agent("Plus Magician", 10, "p")])
    before = zone("top", subs=[first, second])
    after = zone("top", [charge(1.0, "a")], subs=[copy.deepcopy(second)])
    assert frame_changes(before, after) == {
        "": {"new_charges": [0], "collapsed_zones": [first]},
    }


def test_a_spell_deep_in_the_tree_is_keyed_by_the_path_of_its_zone():
    leaf_before = zone("leaf", [charge(2.0, "a"), charge(3.0, "b")],
                       [agent("Plus Magician", 10, "p")])
    leaf_after = zone("leaf", [charge(5.0, "result_p")])
    before = zone("top", subs=[zone("first"), zone("mid", subs=[zone("other"), leaf_before])])
    after = zone("top", subs=[zone("first"), zone("mid", subs=[zone("other"), leaf_after])])
    assert frame_changes(before, after) == {
        "1.1": {"new_charges": [0], "departed_agents": [agent("Plus Magician", 10, "p")]},
    }


def test_a_collapse_deep_in_the_tree_is_keyed_by_the_path_of_the_parent_in_the_later_frame():
    gone = zone("gone", [charge(9.0, "g")])
    before = zone("top", subs=[zone("first"), zone("mid", subs=[gone, zone("stays")])])
    after = zone("top", subs=[zone("first"),
                              zone("mid", [charge(9.0, "g")], subs=[zone("stays")])])
    assert frame_changes(before, after) == {
        "1": {"new_charges": [0], "collapsed_zones": [gone]},
    }


def test_an_equal_charge_already_there_is_not_new_but_an_extra_copy_is():
    before = zone("z", [charge(1.0, "a"), charge(1.0, "a")])
    after = zone("z", [charge(1.0, "a"), charge(1.0, "a"), charge(1.0, "a")])
    assert frame_changes(before, after) == {"": {"new_charges": [2]}}


def test_an_agent_that_stays_but_changes_state_is_marked_changed():
    before = zone("z", agents=[agent("Chronomancer", 100, "c"), agent("Plus Magician", 10, "p")])
    after = copy.deepcopy(before)
    after["agents"][1]["state"] = "active"
    assert frame_changes(before, after) == {"": {"changed_agents": [1]}}


def test_the_readme_example_of_frames_in_a_game_prints_what_it_shows(capsys):
    readme = (Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")
    section = readme[readme.index("## Using frames in a game"):]
    code, shown = re.search(r"```python\n(.*?)```\n\nprints\n\n```\n(.*?)```", section,
                            re.DOTALL).groups()
    exec(compile(code, "README example", "exec"), {})  # noqa: S102 - our own README's code
    assert capsys.readouterr().out == shown
