"""Puzzle files with something wrong in their puzzle keys, each as changes to the sample
puzzle locksmiths_vault: the table that the package's loader, orv._native and the browser
engine must refuse in the same words."""

from __future__ import annotations

import json
from typing import Any

from orv.levels.samples import sample_file

DROP = object()  # a key to take out of the top zone
HAND = [{"name": "Plus Magician", "visual_id": "p1"}]

BAD_PUZZLE_KEYS: dict[str, dict[str, Any]] = {
    "hand_not_a_list": {"hand": 3},
    "hand_a_huge_number": {"hand": 1e20},
    "hand_a_tiny_number": {"hand": 1e-05},
    "hand_a_small_number": {"hand": 0.0001},
    "hand_negative_zero": {"hand": -0.0},
    "hand_a_long_integer": {"hand": 123456789012345678},
    "hand_true": {"hand": True},
    "hand_null": {"hand": None},
    "hand_agent_not_an_object": {"hand": ["p1", [1]]},
    "hand_name_misspelt": {"hand": [{"name": "Plus Magican", "visual_id": "p"}]},
    "hand_name_far_off": {"hand": [{"name": "Zebra", "visual_id": "p"}]},
    "hand_name_not_text": {"hand": [{"name": 5, "visual_id": "p"}]},
    "hand_gate": {"hand": [{"name": "The Judge", "visual_id": "j"}]},
    "hand_keys_wrong": {"hand": [{"name": "Plus Magician", "visual": "p"}]},
    "hand_keys_missing": {"hand": [{}]},
    "hand_visual_id_not_text": {"hand": [{"name": "Plus Magician", "visual_id": None}]},
    "hand_id_of_two_kinds": {"hand": [{"name": "Plus Magician", "visual_id": "x"},
                                      {"name": "Plus Magician", "visual_id": "x"},
                                      {"name": "Minus Magician", "visual_id": "x"}]},
    "hand_many_problems": {"hand": [{"name": "Nobody", "visual_id": "n"}] * 25},
    "slots_not_a_list": {"slots": "forge"},
    "slot_unknown": {"slots": ["forje", "mill", "nowhere"]},
    "slot_twice": {"slots": ["mill", "forge", "mill"]},
    "slot_not_text": {"slots": [1.5]},
    "use_unknown": {"use": "some"},
    "use_empty": {"use": ""},
    "use_a_number": {"use": 2.5},
    "note_not_an_object": {"puzzle": []},
    "note_keys_wrong": {"puzzle": {"difficulty": 1, "min": 2}},
    "note_negative_difficulty": {"puzzle": {"difficulty": -1, "min_size": 1}},
    "note_text_difficulty": {"puzzle": {"difficulty": "hard", "min_size": 1}},
    "note_fractional_size": {"puzzle": {"difficulty": 1.5, "min_size": 2.0}},
    "note_negative_size": {"puzzle": {"difficulty": 1.5, "min_size": -2}},
    "title_not_text": {"title": 5},
    "several_keys_wrong": {"title": [], "use": "none", "slots": ["x"]},
    "slots_without_hand": {"hand": DROP, "slots": ["forge"], "use": "all"},
    "no_hand": {"hand": DROP},
    "shared_ids_every_zone": {"id": "forge"},
    "shared_ids_named_slot": {"id": "mill", "slots": ["mill", "forge"]},
    "accented_slot_misspelt": {"slots": ["fórge"]},
}


def puzzle_text(changes: dict[str, Any]) -> str:
    """The text of locksmiths_vault with ``changes`` made to its top zone."""
    top = json.loads(sample_file("locksmiths_vault").read_text(encoding="utf-8"))
    for key, value in changes.items():
        if value is DROP:
            top.pop(key, None)
        else:
            top[key] = value
    return json.dumps(top, ensure_ascii=False)
