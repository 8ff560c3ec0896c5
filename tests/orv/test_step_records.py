"""The step record the engine makes with each frame, checked against the frames themselves."""

import json
import math
import random

import orv_engine
import pytest

from orv import _native, level_from_json
from orv.documents import zone_total
from orv.generating.levels import generate_level
from orv.playing.numbers import number


def zone_at(document, path):
    zone = document
    for index in path:
        zone = zone["sub_environments"][index]
    return zone


def ids_along(document, path):
    ids, zone = [document["id"]], document
    for index in path:
        zone = zone["sub_environments"][index]
        ids.append(zone["id"])
    return ids


def check_spell(before, after, record):
    place = record["zone"]
    old, new = zone_at(before, place["path"]), zone_at(after, place["path"])
    assert ids_along(before, place["path"]) == place["ids"] and old["id"] == place["id"]
    agent = record["agent"]
    assert any((listed["name"], listed["visual_id"]) == (agent["name"], agent["visual_id"])
               for listed in old["agents"])
    assert len(new["agents"]) == len(old["agents"]) - 1
    consumed, produced = record["consumed"], record["produced"]
    if record["step"] == "gate":
        assert (consumed, produced) == ([], []) and old["charges"] == new["charges"]
        total = zone_total(old["charges"])
        assert record["total"] == total or math.isnan(total)
    elif agent["name"] == "The Purifier":
        assert consumed == [c for c in old["charges"] if c["polarity"] == "negative"]
        assert [c["visual_id"] for c in produced] == [
            "purified_" + c["visual_id"] for c in consumed]
    else:
        kept = len(old["charges"]) - len(consumed)
        assert old["charges"][kept:] == consumed
        assert new["charges"] == old["charges"][:kept] + produced


def check_collapse(before, after, record):
    zone, parent = record["zone"], record["parent"]
    left = zone_at(before, zone["path"])
    assert (left["id"], left["agents"], left["charges"]) == (zone["id"], [], record["consumed"])
    assert parent["path"] == zone["path"][:-1] and parent["ids"] == zone["ids"][:-1]
    joined = zone_at(after, parent["path"])["charges"][-1]
    assert joined == record["produced"][0] == left["charges"][0]


def check_run(level_text):
    """Plays the level both ways and checks every record against the frames around it."""
    recording = _native.RecordingSequencer(level_text)
    plain = orv_engine.NarrativeSequencer(level_from_json(level_text))
    before = json.loads(level_text)
    while not recording.is_finished:
        frame_text, record_text = recording.next_frame()
        assert frame_text == plain.next_frame()
        after, record = json.loads(frame_text), json.loads(record_text)
        meta = after["meta"]
        assert record["frame"] == meta["frame_index"]
        kind = record["step"]
        if kind in ("spell", "gate"):
            check_spell(before, after, record)
            caster, zone = record["agent"]["name"], record["zone"]["id"]
            assert record["text"].startswith(f"{caster} in {zone}: ")
        elif kind == "collapse":
            check_collapse(before, after, record)
        else:
            expected = {"ERROR": "budget", "FINISHED": "end"}[meta["status"]]
            assert (kind, record["text"]) == (expected, meta["message"])
        before = after
    return before


@pytest.mark.parametrize("seed", range(12))
def test_every_record_says_exactly_what_its_step_did(seed):
    for zones in (4, 12, 30):
        check_run(generate_level(seed, 0, zones).to_json())


def test_a_whole_level_is_recorded_as_data():
    top = orv_engine.Environment("root")
    inner = orv_engine.Environment("inner")
    inner.add_charge(3, orv_engine.POSITIVE, "a")
    inner.add_charge(4, orv_engine.POSITIVE, "b")
    inner.add_plus_magician("p")
    top.add_sub_environment(inner)
    top.add_equals_gate("door", 7)
    recording = _native.RecordingSequencer(top.to_json())
    records = [json.loads(recording.next_frame()[1]) for _ in range(5)]
    charge = {"magnitude": 7.0, "polarity": "positive", "visual_id": "result_p"}
    inner_place = {"id": "inner", "ids": ["root", "inner"], "path": [0]}
    top_place = {"id": "root", "ids": ["root"], "path": []}
    nothing = {"agent": None, "consumed": [], "parent": None, "produced": [], "total": None,
               "zone": None}
    assert records == [
        {"agent": {"name": "Plus Magician", "visual_id": "p"},
         "consumed": [{"magnitude": 3.0, "polarity": "positive", "visual_id": "a"},
                      {"magnitude": 4.0, "polarity": "positive", "visual_id": "b"}],
         "frame": 1, "parent": None, "produced": [charge], "step": "spell",
         "text": "Plus Magician in inner: 3 + 4 → 7", "total": None, "zone": inner_place},
        {"agent": None, "consumed": [charge], "frame": 2, "parent": top_place,
         "produced": [charge], "step": "collapse",
         "text": "Zone inner collapsed: +7 moves up to root", "total": None,
         "zone": inner_place},
        {"agent": {"name": "Equals Gate", "rule": "==", "target": 7.0, "visual_id": "door"},
         "consumed": [], "frame": 3, "parent": None, "produced": [], "step": "gate",
         "text": "Equals Gate in root: total 7 == 7 → opened", "total": 7.0,
         "zone": top_place},
        {**nothing, "frame": 4, "step": "end", "text": "Equation Resolved."},
        {**nothing, "frame": 4, "step": "none",
         "text": "Simulation complete. No further actions."},
    ]


def test_a_spent_budget_is_recorded_and_a_record_knows_an_infinity_the_frame_cannot_write():
    top = orv_engine.Environment("top")
    top.add_charge(1e308, orv_engine.POSITIVE, "a")
    top.add_charge(10, orv_engine.POSITIVE, "b")
    top.add_multiply_magician("x")
    frame, record = _native.RecordingSequencer(top.to_json()).next_frame()
    assert json.loads(record)["text"] == "Multiply Magician in top: 1e+308 × 10 → inf"
    assert '"magnitude":null' in frame
    for index in range(1000):
        top.add_abs_magician(f"p{index}")
    assert check_run(top.to_json())["meta"]["status"] == "ERROR"


def test_the_engine_reads_numbers_as_the_package_does():
    spread = random.Random(3)
    values = [spread.choice([1, -1]) * 10 ** spread.uniform(-12, 22) for _ in range(4000)]
    values += [float(spread.randrange(-10**6, 10**6)) + spread.choice([0, 0.5, 0.25, 1 / 3])
               for _ in range(2000)]
    values += [123456.5, 12345.25, 999999.5, 0.00012345650000000001, 5e-324, 1e15, 2**53]
    for value in values:
        for signed_zero in (False, True):
            shown = number(value, signed_zero=signed_zero)
            assert _native.readable_number(value, signed_zero) == shown, value
