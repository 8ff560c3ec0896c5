"""Zones: construction, JSON of whole trees, charge lists and sub-zones."""

import json

import pytest

from orv_engine import NEGATIVE, NEUTRAL, POSITIVE, Charge, Environment

EMPTY_Z = '{"agents":[],"charges":[],"id":"z","is_time_frozen":false,"sub_environments":[]}'


def charge_ids(zone):
    return [charge["visual_id"] for charge in json.loads(zone.to_json())["charges"]]


def test_new_zone_is_empty_and_not_frozen():
    zone = Environment("z")
    assert zone.id == "z"
    assert zone.charges == []
    assert zone.is_time_frozen is False
    assert zone.to_json() == EMPTY_Z


def test_empty_id_is_an_empty_string():
    assert json.loads(Environment("").to_json())["id"] == ""


@pytest.mark.parametrize(("has_sub_zone", "written"), [(False, "false"), (True, "true")])
def test_frozen_flag_is_written_only_for_zones_with_sub_zones(has_sub_zone, written):
    zone = Environment("z")
    if has_sub_zone:
        zone.add_sub_environment(Environment("s"))
    zone.is_time_frozen = True
    assert f'"is_time_frozen":{written}' in zone.to_json().split('"sub_environments"')[0]


def test_three_level_tree_is_written_nested():
    top, middle, leaf = Environment("top"), Environment("middle"), Environment("leaf")
    leaf.add_charge(1.5, NEUTRAL, "c")
    middle.add_sub_environment(leaf)
    top.add_sub_environment(middle)
    assert top.to_json() == (
        '{"agents":[],"charges":[],"id":"top","is_time_frozen":false,"sub_environments":['
        '{"agents":[],"charges":[],"id":"middle","is_time_frozen":false,"sub_environments":['
        '{"agents":[],"charges":[{"magnitude":1.5,"polarity":"neutral","visual_id":"c"}],'
        '"id":"leaf","is_time_frozen":false,"sub_environments":[]}]}]}')


def test_shared_child_is_live_and_listed_at_each_place():
    child = Environment("shared")
    left, right, top = Environment("left"), Environment("right"), Environment("top")
    left.add_sub_environment(child)
    right.add_sub_environment(child)
    top.add_sub_environment(left)
    top.add_sub_environment(right)
    top.add_sub_environment(child)
    top.add_sub_environment(child)
    child.add_charge(4, POSITIVE, "late")  # added after the child was placed
    tree = json.loads(top.to_json())
    listed = [tree["sub_environments"][0]["sub_environments"][0],
              tree["sub_environments"][1]["sub_environments"][0],
              tree["sub_environments"][2], tree["sub_environments"][3]]
    assert all(entry["id"] == "shared" for entry in listed)
    assert all(entry["charges"][0]["visual_id"] == "late" for entry in listed)


def test_child_lives_on_inside_its_parent_after_its_last_python_reference():
    top = Environment("top")
    child = Environment("child")
    child.add_charge(1, POSITIVE, "kept")
    top.add_sub_environment(child)
    del child
    assert json.loads(top.to_json())["sub_environments"][0]["charges"][0]["visual_id"] == "kept"


def test_add_charge_appends_in_call_order_and_keeps_duplicates():
    zone = Environment("z")
    zone.add_charge(1, POSITIVE, "a")
    zone.add_charge(2, NEGATIVE, "b")
    zone.add_charge(1, POSITIVE, "a")
    assert [c.visual_id for c in zone.charges] == ["a", "b", "a"]
    assert charge_ids(zone) == ["a", "b", "a"]


class TestChargesAttribute:
    def test_items_write_through_but_the_list_is_not_live(self):
        zone = Environment("z")
        zone.add_charge(1, POSITIVE, "a")
        items = zone.charges
        items.append(Charge(9, POSITIVE, "ignored"))
        items[0].magnitude = 5
        items[0].polarity = NEGATIVE
        assert len(zone.charges) == 1
        assert json.loads(zone.to_json())["charges"] == [
            {"magnitude": 5.0, "polarity": "negative", "visual_id": "a"}]

    def test_item_keeps_its_zone_alive(self):
        zone = Environment("z")
        zone.add_charge(3, POSITIVE, "a")
        item = zone.charges[0]
        del zone
        assert item.magnitude == 3.0

    @pytest.mark.parametrize(
        "make",
        [
            lambda cs: tuple(cs),
            lambda cs: list(cs),
            lambda cs: (c for c in cs),
            lambda cs: map(lambda c: c, cs),
            lambda cs: {i: c for i, c in enumerate(cs)}.values(),
        ],
        ids=["tuple", "list", "generator", "map", "dict_values"],
    )
    def test_writing_stores_independent_copies_in_order(self, make):
        given = [Charge(1, POSITIVE, "a"), Charge(2, NEGATIVE, "b")]
        zone = Environment("z")
        zone.charges = make(given)
        given[0].magnitude = 100
        assert json.loads(zone.to_json())["charges"] == [
            {"magnitude": 1.0, "polarity": "positive", "visual_id": "a"},
            {"magnitude": 2.0, "polarity": "negative", "visual_id": "b"}]

    def test_writing_a_set_stores_its_one_element(self):
        zone = Environment("z")
        zone.charges = {Charge(1, POSITIVE, "only")}
        assert charge_ids(zone) == ["only"]

    def test_writing_an_empty_list_empties_the_zone(self):
        zone = Environment("z")
        zone.add_charge(1, POSITIVE, "a")
        zone.charges = []
        assert zone.to_json() == EMPTY_Z

    def test_writing_the_zones_own_items_back_reorders_them(self):
        zone = Environment("z")
        zone.add_charge(1, POSITIVE, "a")
        zone.add_charge(2, POSITIVE, "b")
        zone.charges = list(reversed(zone.charges))
        assert charge_ids(zone) == ["b", "a"]

    @pytest.mark.parametrize(
        "value",
        [[Charge(1, POSITIVE, "a"), None], [Charge(1, POSITIVE, "a"), 1.0], None, "ab", b"ab",
         5],
        ids=["none-element", "float-element", "none", "str", "bytes", "int"],
    )
    def test_refused_values_leave_the_zone_unchanged(self, value):
        zone = Environment("z")
        zone.add_charge(7, NEUTRAL, "kept")
        before = zone.to_json()
        with pytest.raises(TypeError):
            zone.charges = value
        assert zone.to_json() == before


class TestZoneAttributesAndArguments:
    @pytest.mark.parametrize(("value", "stored"), [(1, True), (0, False), (None, False),
                                                   (True, True)])
    def test_frozen_flag_conversions(self, value, stored):
        zone = Environment("z")
        zone.is_time_frozen = value
        assert zone.is_time_frozen is stored

    def test_frozen_flag_refuses_text(self):
        zone = Environment("z")
        with pytest.raises(TypeError):
            zone.is_time_frozen = "yes"
        assert zone.is_time_frozen is False

    def test_id_accepts_bytes_and_can_be_rewritten(self):
        zone = Environment(b"ascii")
        assert zone.id == "ascii"
        zone.id = "renamed"
        assert json.loads(zone.to_json())["id"] == "renamed"

    def test_invalid_utf8_id_is_stored_but_cannot_be_read_or_written_out(self):
        zone = Environment(b"\xfe")
        with pytest.raises(UnicodeDecodeError):
            _ = zone.id
        with pytest.raises(RuntimeError, match=r"type_error\.316\] invalid UTF-8 byte at index 0"):
            zone.to_json()

    @pytest.mark.parametrize(
        "call",
        [
            lambda z: Environment(5),
            lambda z: Environment(),
            lambda z: z.add_charge(1, 1, "c"),
            lambda z: z.add_charge("1", POSITIVE, "c"),
            lambda z: z.add_sub_environment(Charge(1, POSITIVE, "c")),
            lambda z: z.add_sub_environment("zone"),
        ],
        ids=["number-id", "no-id", "int-polarity", "text-magnitude", "charge-as-zone",
             "text-as-zone"],
    )
    def test_unconvertible_arguments_raise_type_error_and_change_nothing(self, call):
        zone = Environment("z")
        with pytest.raises(TypeError):
            call(zone)
        assert zone.to_json() == EMPTY_Z

    def test_add_charge_takes_keywords(self):
        zone = Environment(id="z")
        zone.add_charge(visual_id="k", polarity=NEGATIVE, magnitude=2)
        assert json.loads(zone.to_json())["charges"] == [
            {"magnitude": 2.0, "polarity": "negative", "visual_id": "k"}]


# Texts of 64 KiB and more are written straight into a str sized by the previous large text;
# these sizes cross that line, outgrow the guess, shrink, and switch to UTF-8 and back.
LARGE_TEXT_STEPS = [(1000, "a"), (1400, "a"), (1400, "a"), (5000, "b"), (1500, "é"),
                    (1500, "é"), (1500, "c"), (1501, "c"), (10, "d"), (3000, "€")]


def test_large_zone_texts_equal_their_charges_texts_at_every_size():
    zone = Environment("w")
    for count, visual_id in LARGE_TEXT_STEPS:
        zone.charges = [Charge(index / 7, POSITIVE, visual_id * 3) for index in range(count)]
        pieces = ",".join(charge.to_json() for charge in zone.charges)
        expected = f'{{"agents":[],"charges":[{pieces}],"id":"w","is_time_frozen":false,'
        assert zone.to_json() == expected + '"sub_environments":[]}'
