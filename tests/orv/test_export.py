"""Runs drawn as pictures (``orv export``, ``Run.to_gif``) and a run shown in a notebook
(``Run._repr_html_``)."""

import html.parser

import orv_engine
import pytest
from orv_engine import NEGATIVE, POSITIVE
from orv_test_support import frame_texts, run_orv, two_room_level
from PIL import Image

import orv
from orv.cli import main
from orv.exit_status import ExitStatus
from orv.extras import EXTRAS
from orv.viewer.page import level_frames, played_level, viewer_page


def engine_frame_count(top):
    return len(level_frames(top)) - 1


@pytest.mark.parametrize("level", ["workshop", "judges_hall", "chronomancer_vault"])
def test_a_gif_and_pngs_have_the_level_as_loaded_then_one_picture_per_engine_frame(
        level, tmp_path):
    result = run_orv("export", level, "--gif", "run.gif", "--png", "frames", "--duration",
                     "250", "--size", "640x400", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    frames = engine_frame_count(orv.load_sample(level))
    with Image.open(tmp_path / "run.gif") as gif:
        assert (gif.n_frames, gif.size) == (frames + 1, (640, 400))
        durations = []
        for number in range(gif.n_frames):
            gif.seek(number)
            durations.append(gif.info["duration"])
    assert durations == [250] * frames + [1000]
    assert sorted(p.name for p in (tmp_path / "frames").iterdir()) == [
        f"frame_{number:04d}.png" for number in range(frames + 1)]


def test_any_text_of_a_level_is_drawn(tmp_path):
    top = orv_engine.Environment("zone \u202eevil\u202c \U0001F98A \u4e2d\u6587 \x07 " + "x" * 5000)
    top.add_charge(float("nan"), NEGATIVE, "\u0301\ufeff\u200b")
    top.add_charge(-2.5e300, POSITIVE, "\U0010ffff")
    top.add_equals_gate("\u0000gate\n\r\t", float("inf"))
    run = orv.Run(top)
    assert run.to_gif(tmp_path / "odd.gif", size=(200, 150)) == 2
    assert "\\u202e" in repr(run) and "\\x07" in repr(run)


def test_a_run_shows_in_a_notebook_as_the_viewer_page_inside_an_iframe():
    run = orv.Run(two_room_level(), title="rooms")
    found = []

    class Frames(html.parser.HTMLParser):
        def handle_starttag(self, tag, attributes):
            found.append((tag, dict(attributes)))

    Frames().feed(run._repr_html_())
    [(tag, attributes)] = found
    assert (tag, attributes["sandbox"]) == ("iframe", "allow-scripts")
    played = played_level(two_room_level())
    assert attributes["srcdoc"] == viewer_page(played.documents, "rooms", played.records)
    assert [frame.text for frame in run.frames] == frame_texts(two_room_level())
    assert repr(run) == f"<Run 'rooms': {orv.play_outcome(two_room_level()).line()}>"


@pytest.mark.parametrize("command, extra", [(["export", "workshop", "--gif", "x.gif"], "export"),
                                            (["studio", "workshop"], "studio")])
def test_a_command_whose_extra_is_missing_says_how_to_install_it(command, extra, monkeypatch,
                                                                 capsys):
    monkeypatch.setitem(EXTRAS, extra, ("orv_no_such_library",))
    assert main(command) == ExitStatus.CANNOT_RUN
    assert capsys.readouterr().err == (
        f"python -m orv: orv {command[0]} needs orv_no_such_library, which is not installed; "
        f"install it with: pip install 'orv_engine[{extra}]'\n")
