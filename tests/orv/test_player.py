"""The command-line player: ``python -m orv play`` narrates a level and sums it up."""

import io
import json
import subprocess
import sys

import pytest
from orv_test_support import frame_texts, run_orv, two_room_level

from orv import Frame, load_sample, save_level
from orv.playing.narration import describe_charge, narrate, play

WORKSHOP_SUMMARY = [
    "summary",
    "  outcome:       solved",
    "  frames:        7",
    "  spells:        3",
    "  collapses:     2",
    "  gates opened:  1 of 1",
    "  final charges: 13 positive (result_sum)",
    "  final status:  FINISHED (Equation Resolved.)",
]


def frame_with(status, message, event, index=4):
    meta = {"frame_index": index, "status": status, "message": message, "last_event": event}
    return Frame(text="", document={"meta": meta, "charges": []})


NARRATION = {
    "spell": (frame_with("RUNNING", "Plus Magician executed operation in adder",
                         {"type": "CAST_SPELL", "agent_name": "Plus Magician",
                          "visual_id": "plus"}),
              "frame    4  RUNNING   Plus Magician executed operation in adder  "
              "[CAST_SPELL by Plus Magician (plus)]"),
    "collapse": (frame_with("RUNNING", "Zone adder has resolved and merged.",
                            {"type": "COLLAPSE_ZONE", "agent_name": "Chronomancer",
                             "visual_id": "shield_adder"}),
                 "frame    4  RUNNING   Zone adder has resolved and merged."),
    "level end": (frame_with("FINISHED", "Equation Resolved.",
                             {"type": "FINISHED", "agent_name": "System", "visual_id": "N/A"}),
                  "frame    4  FINISHED  Equation Resolved."),
    "out of steps": (frame_with("ERROR", "Max frame limit reached. Infinite loop detected.",
                                None, index=1000),
                     "frame 1000  ERROR     Max frame limit reached. Infinite loop detected."),
}


@pytest.mark.parametrize("frame, line", NARRATION.values(), ids=NARRATION.keys())
def test_each_frame_is_narrated_with_number_status_message_and_event(frame, line):
    assert narrate(frame) == line


@pytest.mark.parametrize("charge, text", [
    ({"magnitude": 13.0, "polarity": "positive", "visual_id": "sum"}, "13 positive (sum)"),
    ({"magnitude": 0.5, "polarity": "negative", "visual_id": ""}, "0.5 negative ()"),
    ({"magnitude": None, "polarity": "neutral", "visual_id": "x"}, "NaN neutral (x)"),
], ids=["positive", "negative", "null magnitude"])
def test_final_charges_are_described_by_value_polarity_and_visual_id(charge, text):
    assert describe_charge(charge) == text


class LinesAtEachFlush(io.StringIO):
    """Records how many lines had been written each time the player flushed."""

    def __init__(self):
        super().__init__()
        self.lines_at_flush = []

    def flush(self):
        self.lines_at_flush.append(self.getvalue().count("\n"))


def test_the_player_writes_out_each_frame_as_soon_as_it_is_made():
    out = LinesAtEachFlush()
    play(load_sample("workshop"), out, summary_out=io.StringIO())
    assert out.lines_at_flush == list(range(1, 8))


def test_play_narrates_the_bundled_sample_by_default_and_sums_it_up(tmp_path):
    result = run_orv("play", cwd=tmp_path)
    lines = result.stdout.splitlines()
    assert result.returncode == 0, result.stderr
    assert len(lines) == 7 + len(WORKSHOP_SUMMARY)
    assert lines[0] == ("frame    1  RUNNING   Power Sorcerer in squarer: 3 ^ 2 → 9  "
                        "[CAST_SPELL by Power Sorcerer (power)]")
    assert lines[2] == "frame    3  RUNNING   Zone adder collapsed: +4 moves up to workshop"
    assert lines[6] == "frame    7  FINISHED  Equation Resolved."
    assert lines[7:] == WORKSHOP_SUMMARY


@pytest.mark.parametrize("option, sample, status, shown", [
    ("--summary", "workshop", 0, WORKSHOP_SUMMARY),
    ("--summary", "chronomancer_vault", 3, None),
    ("--quiet", "workshop", 0, []),
    ("--quiet", "judges_hall", 3, []),
])
def test_summary_prints_only_the_outcome_and_quiet_nothing(option, sample, status, shown,
                                                          tmp_path):
    result = run_orv("play", sample, option, cwd=tmp_path)
    played = run_orv("play", sample, cwd=tmp_path).stdout.splitlines()
    assert (result.returncode, result.stderr) == (status, "")
    expected = played[played.index("summary"):] if shown is None else shown
    assert result.stdout.splitlines() == expected


def test_play_json_prints_the_raw_frames_one_per_line_and_the_summary_apart(tmp_path):
    result = run_orv("play", "workshop", "--json", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == frame_texts(load_sample("workshop"))
    assert result.stderr.splitlines() == WORKSHOP_SUMMARY


@pytest.mark.parametrize("options", [(), ("--summary",)], ids=["narrated", "summary"])
def test_play_shows_the_title_and_hint_first_with_their_controls_escaped(options, tmp_path):
    designed = {**json.loads(two_room_level().to_json()), "title": "Two\x1b[2J rooms",
                "hint": "add first", "notes": "not shown"}
    (tmp_path / "designed.json").write_text(json.dumps(designed))
    done = run_orv("play", "designed.json", *options, cwd=tmp_path)
    lines = done.stdout.splitlines()
    assert lines[:2] == ["title: Two\\x1b[2J rooms", "hint: add first"]
    assert lines[2].startswith("summary" if options else "frame    1")
    assert "not shown" not in done.stdout


def test_play_loads_a_level_file(tmp_path):
    save_level(two_room_level(), tmp_path / "rooms.json")
    result = run_orv("play", "rooms.json", "--json", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == frame_texts(two_room_level())


def test_a_level_that_runs_out_of_steps_exits_with_status_one(tmp_path):
    result = run_orv("play", "endless_ritual", cwd=tmp_path)
    lines = result.stdout.splitlines()
    assert result.returncode == 1
    assert lines[999].startswith("frame 1000  RUNNING ")
    assert lines[1000].startswith("frame 1000  ERROR     Max frame limit reached.")
    assert "  final status:  ERROR (Max frame limit reached. Infinite loop detected.)" in lines
    assert "  outcome:       out of steps" in lines


@pytest.mark.parametrize("sample, closed", [
    ("judges_hall", '  closed gate "judge_of_debt" in zone judges_hall (< 0): total 23, '
                    'needs < 0 (difference 23)'),
    ("chronomancer_vault", '  closed gate "vault_door" in zone vault (== 2): total 2, '
                           'but the zone stayed frozen, held by zone timelock (Chronomancer '
                           '"keeper": never casts)'),
])
def test_a_stuck_level_names_its_closed_gates_and_exits_with_status_three(sample, closed,
                                                                          tmp_path):
    result = run_orv("play", sample, cwd=tmp_path)
    assert result.returncode == 3
    assert "  outcome:       stuck" in result.stdout.splitlines()
    assert closed in result.stdout.splitlines()


def broken_level(folder):
    path = folder / "broken.json"
    document = json.loads(two_room_level().to_json())
    document["sub_environments"][0]["agents"][0]["name"] = "Plus Magican"
    path.write_text(json.dumps(document))
    return "broken.json"


UNLOADABLE = {
    "malformed file": (broken_level, 'broken.json: sub_environments[0].agents[0]: unknown '
                                     'agent name "Plus Magican"'),
    "missing file": (lambda folder: "missing.json", 'no level file or bundled sample named '
                                                    '"missing.json" (samples: workshop, '),
    "directory": (lambda folder: ".", '"." is a directory, not a level file'),
    "mistyped sample": (lambda folder: "workshp", 'did you mean "workshop"?'),
}


@pytest.mark.parametrize("command", ["play", "view"])
@pytest.mark.parametrize("make_argument, message", UNLOADABLE.values(), ids=UNLOADABLE.keys())
def test_a_level_that_cannot_be_loaded_exits_with_status_two(command, make_argument, message,
                                                           tmp_path):
    result = run_orv(command, make_argument(tmp_path), cwd=tmp_path)
    assert result.returncode == 2
    assert result.stdout == ""
    assert result.stderr.startswith("python -m orv: cannot load level: ")
    assert message in result.stderr


def test_samples_lists_every_bundled_sample(tmp_path):
    result = run_orv("samples", cwd=tmp_path)
    names = [line.split()[0] for line in result.stdout.splitlines()]
    assert names == ["workshop", "judges_hall", "alchemists_tower", "chronomancer_vault",
                     "endless_ritual", "locksmiths_vault"]


def test_a_reader_that_stops_early_ends_the_player_quietly(tmp_path):
    player = subprocess.Popen([sys.executable, "-m", "orv", "play", "endless_ritual", "--json"],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=tmp_path)
    assert json.loads(player.stdout.readline())["meta"]["frame_index"] == 1
    player.stdout.close()
    assert player.wait(timeout=60) == 0
    assert b"Traceback" not in player.stderr.read()
    player.stderr.close()
