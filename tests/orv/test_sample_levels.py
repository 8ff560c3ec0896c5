"""The sample levels bundled with the package: each is a real puzzle that plays as described."""

import json
import subprocess
import sys
from importlib import resources
from pathlib import Path

import pytest
from orv_test_support import frame_texts

from orv import SAMPLES, level_to_json, load_sample, play_frames, sample_file
from orv.rules.roster import AGENT_KINDS

REPOSITORY = Path(__file__).resolve().parents[2]


def run_of(name: str) -> list[dict]:
    return [frame.document for frame in play_frames(load_sample(name))]


def events_of(run: list[dict]) -> list[tuple[str, str]]:
    return [(f["meta"]["last_event"]["type"], f["meta"]["last_event"]["agent_name"])
            for f in run if f["meta"]["last_event"]]


def top_values(frame: dict) -> list[float]:
    return [charge["magnitude"] for charge in frame["charges"]]


def test_every_listed_sample_has_a_file_and_every_file_is_listed():
    folder = resources.files("orv.levels").joinpath("sample_levels")
    packaged = {path.name for path in folder.iterdir()}
    assert packaged == {f"{name}.json" for name in SAMPLES}


@pytest.mark.parametrize("name", SAMPLES)
def test_each_sample_file_is_exactly_the_json_of_the_level_it_builds(name):
    written = json.loads(sample_file(name).read_text(encoding="utf-8"))
    compact = json.dumps(written, separators=(",", ":"), ensure_ascii=False)
    assert level_to_json(load_sample(name)) == compact


@pytest.mark.parametrize("name", SAMPLES)
def test_each_sample_plays_the_same_twice(name):
    assert frame_texts(load_sample(name)) == frame_texts(load_sample(name))


def test_together_the_samples_place_every_agent_kind():
    placed = set()
    for name in SAMPLES:
        text = sample_file(name).read_text(encoding="utf-8")
        placed |= {kind for kind in AGENT_KINDS if f'"name": "{kind}"' in text}
    assert placed == set(AGENT_KINDS)


def test_workshop_freezes_the_top_zone_collapses_both_rooms_and_opens_its_gate():
    run = run_of("workshop")
    assert run[0]["is_time_frozen"] is True
    assert [kind for kind, _ in events_of(run)].count("COLLAPSE_ZONE") == 2
    assert ("CAST_SPELL", "Equals Gate") in events_of(run)
    assert top_values(run[-1]) == [13.0]
    assert run[-1]["meta"]["status"] == "FINISHED"


def test_judges_hall_opens_one_judge_and_leaves_the_other_closed():
    run = run_of("judges_hall")
    assert events_of(run).count(("CAST_SPELL", "The Judge")) == 1
    remaining = run[-1]["agents"]
    assert [(a["visual_id"], a["is_open"]) for a in remaining] == [("judge_of_debt", False)]
    assert top_values(run[-1]) == [12.0, 9.0, 2.0]


def test_alchemists_tower_multiplies_six_by_ten_and_opens_at_sixty():
    run = run_of("alchemists_tower")
    casters = [name for kind, name in events_of(run) if kind == "CAST_SPELL"]
    assert casters == ["The Purifier", "The Architect", "The Replicator", "The Extractor",
                       "Plus Magician", "Multiply Magician", "Equals Gate"]
    assert top_values(run[-1]) == [60.0]


def test_chronomancer_vault_stays_frozen_with_its_door_closed():
    run = run_of("chronomancer_vault")
    assert ("COLLAPSE_ZONE", "Chronomancer") in events_of(run)
    last = run[-1]
    assert last["is_time_frozen"] is True
    assert [(a["name"], a["is_open"]) for a in last["agents"]] == [("Equals Gate", False)]
    assert [z["id"] for z in last["sub_environments"]] == ["timelock"]
    assert last["meta"]["message"] == "Equation Resolved."


def test_endless_ritual_runs_out_of_steps_before_the_altar_is_tried():
    run = run_of("endless_ritual")
    assert len(run) == 1001
    assert run[-2]["meta"]["frame_index"] == 1000
    assert run[-2]["meta"]["status"] == "RUNNING"
    assert run[-1]["meta"]["status"] == "ERROR"
    assert run[-1]["agents"][0]["is_open"] is False


def test_endless_ritual_file_is_what_its_generator_writes(tmp_path):
    output = tmp_path / "endless_ritual.json"
    subprocess.run([sys.executable, str(REPOSITORY / "scripts/make_endless_ritual.py"),
                    str(output)], check=True, timeout=60)
    assert output.read_bytes() == sample_file("endless_ritual").read_bytes()


def test_asking_for_a_sample_that_does_not_exist_lists_the_samples():
    with pytest.raises(KeyError, match="no sample level \"nope\" \\(samples: workshop, "):
        load_sample("nope")
