"""What Python can do to the engine without breaking it: stale charge items, cycles, depth."""

import json

import pytest

from orv_engine import NEGATIVE, POSITIVE, Charge, Environment, NarrativeSequencer


def zone_with_charges(*magnitudes, zone_id="z"):
    zone = Environment(zone_id)
    for index, magnitude in enumerate(magnitudes):
        zone.add_charge(magnitude, POSITIVE, f"c{index}")
    return zone


class TestStaleChargeItems:
    @pytest.mark.parametrize(
        "change",
        [
            lambda zone: zone.add_charge(1, POSITIVE, "new"),
            lambda zone: setattr(zone, "charges", []),
            lambda zone: setattr(zone, "charges", zone.charges),
        ],
        ids=["add_charge", "write-empty", "write-same"],
    )
    def test_items_refuse_use_after_the_list_changes(self, change):
        zone = zone_with_charges(1, 2)
        item = zone.charges[1]
        change(zone)
        for use in (lambda: item.magnitude, lambda: item.to_json(),
                    lambda: setattr(item, "magnitude", 9)):
            with pytest.raises(ReferenceError, match="read Environment.charges again"):
                use()
        assert all(c["magnitude"] != 9 for c in json.loads(zone.to_json())["charges"])

    def test_items_refuse_use_after_a_spell_rewrote_the_list(self):
        zone = zone_with_charges(3, 4)
        zone.add_plus_magician("p")
        item = zone.charges[0]
        NarrativeSequencer(zone).next_frame()
        with pytest.raises(ReferenceError):
            item.visual_id = "rewritten"
        assert [c.visual_id for c in zone.charges] == ["result_p"]

    def test_parent_items_refuse_use_after_a_collapse_appended_to_it(self):
        top = zone_with_charges(1, zone_id="top")
        top.add_sub_environment(zone_with_charges(2, zone_id="inner"))
        item = top.charges[0]
        NarrativeSequencer(top).next_frame()
        with pytest.raises(ReferenceError):
            item.magnitude = 5
        assert [c.magnitude for c in top.charges] == [1.0, 2.0]

    def test_items_stay_valid_across_in_place_edits_and_failed_casts(self):
        zone = zone_with_charges(1)
        zone.add_divide_magician("d")  # declines: a single charge
        item = zone.charges[0]
        zone.charges[0].polarity = NEGATIVE
        NarrativeSequencer(zone).next_frame()
        item.magnitude = 6
        assert json.loads(zone.to_json())["charges"] == [
            {"magnitude": 6.0, "polarity": "negative", "visual_id": "c0"}]

    def test_a_stale_item_in_a_write_changes_nothing(self):
        zone = zone_with_charges(1, 2)
        stale = zone.charges[0]
        zone.add_charge(3, POSITIVE, "c2")
        before = zone.to_json()
        with pytest.raises(ReferenceError):
            zone.charges = [Charge(8, POSITIVE, "fresh"), stale]
        assert zone.to_json() == before


class TestCycles:
    def test_a_zone_cannot_hold_itself(self):
        zone = Environment("loop")
        with pytest.raises(ValueError, match='cannot add zone "loop" beneath zone "loop"'):
            zone.add_sub_environment(zone)
        assert json.loads(zone.to_json())["sub_environments"] == []

    def test_a_zone_cannot_go_beneath_its_own_descendant(self):
        top, middle, leaf = Environment("top"), Environment("middle"), Environment("leaf")
        top.add_sub_environment(middle)
        middle.add_sub_environment(leaf)
        before = top.to_json()
        with pytest.raises(ValueError, match='zone "top" beneath zone "leaf"'):
            leaf.add_sub_environment(top)
        assert top.to_json() == before
        assert json.loads(leaf.to_json())["sub_environments"] == []

    def test_invalid_utf8_ids_still_give_a_readable_message(self):
        zone = Environment(b"\xff")
        with pytest.raises(ValueError, match='zone "\ufffd"'):
            zone.add_sub_environment(zone)

    def test_shared_and_repeated_children_are_no_cycle(self):
        top, left, right, shared = (Environment(n) for n in ("top", "left", "right", "shared"))
        left.add_sub_environment(shared)
        right.add_sub_environment(shared)
        top.add_sub_environment(left)
        top.add_sub_environment(right)
        top.add_sub_environment(shared)
        top.add_sub_environment(shared)
        assert len(json.loads(top.to_json())["sub_environments"]) == 4
        with pytest.raises(ValueError):
            shared.add_sub_environment(top)

    def test_a_collapse_forgets_the_parent_link(self):
        top, inner = Environment("top"), zone_with_charges(1, zone_id="inner")
        top.add_sub_environment(inner)
        NarrativeSequencer(top).next_frame()  # inner collapses and leaves top
        inner.add_sub_environment(top)  # no longer a cycle
        assert json.loads(inner.to_json())["sub_environments"][0]["id"] == "top"


DEPTH = 100_000


def chain_top_down(depth):
    top = current = Environment("z0")
    for index in range(1, depth):
        nested = Environment(f"z{index}")
        current.add_sub_environment(nested)
        current = nested
    return top, current


def chain_bottom_up(depth):
    current = Environment(f"z{depth - 1}")
    bottom = current
    for index in range(depth - 2, -1, -1):
        parent = Environment(f"z{index}")
        parent.add_sub_environment(current)
        current = parent
    return current, bottom


@pytest.mark.parametrize("build", [chain_top_down, chain_bottom_up], ids=["top-down", "bottom-up"])
def test_a_chain_of_100000_zones_builds_writes_and_runs(build):
    top, bottom = build(DEPTH)
    bottom.add_charge(2, POSITIVE, "a")
    bottom.add_charge(3, POSITIVE, "b")
    bottom.add_multiply_magician("m")
    text = top.to_json()
    assert text.count('"sub_environments":[') == DEPTH
    assert text.endswith('"sub_environments":[]}' + "]}" * (DEPTH - 1))
    sequencer = NarrativeSequencer(top)
    first = sequencer.next_frame()
    assert '"message":"Multiply Magician executed operation in z99999"' in first
    # Python's own json module cannot parse this depth, so the text is searched instead.
    assert '"message":"Zone z99999 has resolved and merged."' in sequencer.next_frame()
    del top, bottom, sequencer  # releasing the chain must not recurse either


def test_a_zone_of_a_million_charges_builds_writes_and_runs():
    count = 1_000_000
    zone = Environment("wide")
    zone.charges = [Charge(1.0, POSITIVE, "c")] * count
    zone.add_plus_magician("p")
    text = zone.to_json()
    assert text.count('{"magnitude":1.0,"polarity":"positive","visual_id":"c"}') == count
    items = zone.charges
    assert len(items) == count and items[-1].visual_id == "c"
    frame = json.loads(NarrativeSequencer(zone).next_frame())
    assert frame["charges"] == [
        {"magnitude": float(count), "polarity": "positive", "visual_id": "result_p"}]
