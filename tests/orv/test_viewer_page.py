"""The frame viewer's page: self-contained, and holding every frame of the level."""

import json
import re

import pytest
from orv_test_support import frame_texts, run_orv, two_room_level

from orv import load_sample
from orv_engine import POSITIVE
from orv.viewer.page import SCRIPTS, START_MESSAGE, level_frames, viewer_data, viewer_page

DATA_ELEMENT = re.compile(r'<script type="application/json" id="orv-data">(.*?)</script>', re.S)


def embedded_data(page: str) -> dict:
    return json.loads(DATA_ELEMENT.search(page).group(1))


def unpack_zone(zone: dict, data: dict) -> dict:
    """The engine's JSON of a zone, rebuilt from the page's tables."""
    return {
        "agents": [data["agents"][index] for index in zone["agents"]],
        "charges": [data["charges"][index] for index in zone["charges"]],
        "id": zone["id"],
        "is_time_frozen": zone["frozen"],
        "sub_environments": [unpack_zone(sub, data) for sub in zone["subs"]],
    }


def without_meta(document: dict) -> dict:
    return {key: value for key, value in document.items() if key != "meta"}


def test_the_first_frame_is_the_level_as_loaded_and_the_rest_are_its_run():
    documents = level_frames(two_room_level())
    assert without_meta(documents[0]) == json.loads(two_room_level().to_json())
    assert documents[0]["meta"] == {"frame_index": 0, "last_event": None,
                                    "message": START_MESSAGE, "status": "START"}
    assert documents[1:] == [json.loads(text) for text in frame_texts(two_room_level())]


@pytest.mark.parametrize("name", ["workshop", "chronomancer_vault"])
def test_the_page_holds_every_frame_tree_and_meta(name):
    documents = level_frames(load_sample(name))
    data = embedded_data(viewer_page(documents, name))
    assert data == viewer_data(documents)
    assert [frame["meta"] for frame in data["frames"]] == [d["meta"] for d in documents]
    assert [unpack_zone(frame["top"], data) for frame in data["frames"]] == \
        [without_meta(d) for d in documents]


def test_each_distinct_agent_and_charge_is_stored_once_so_long_runs_stay_small():
    documents = level_frames(load_sample("endless_ritual"))
    page = viewer_page(documents, "endless_ritual")
    data = embedded_data(page)
    assert len(data["frames"]) == 1002
    assert len(data["agents"]) == 1001  # the altar and the 1000 Purifiers
    assert len(page.encode()) < 5_000_000


def test_the_page_needs_no_network():
    page = viewer_page(level_frames(load_sample("workshop")), "workshop")
    for reference in ("http:", "https:", "<link", "src=", "href=", "@import", "url("):
        assert reference not in page


def test_text_from_the_level_cannot_break_out_of_the_page():
    level = two_room_level()
    level.add_charge(1, POSITIVE, "</script><script>alert(1)")
    page = viewer_page(level_frames(level), '<b>"title" & more</b>')
    assert page.count("</script>") == 1 + len(SCRIPTS)
    assert "<title>&lt;b&gt;&quot;title&quot; &amp; more&lt;/b&gt; – orv frames</title>" in page
    visual_ids = {charge["visual_id"] for charge in embedded_data(page)["charges"]}
    assert "</script><script>alert(1)" in visual_ids


def test_view_writes_the_page_named_after_the_level_by_default(tmp_path):
    result = run_orv("view", "judges_hall", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "wrote judges_hall.html\n"
    page = (tmp_path / "judges_hall.html").read_text(encoding="utf-8")
    assert len(embedded_data(page)["frames"]) == 1 + len(frame_texts(load_sample("judges_hall")))


def test_view_writes_where_it_is_told(tmp_path):
    (tmp_path / "pages").mkdir()
    result = run_orv("view", "workshop", "-o", "pages/level.html", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    assert "<title>workshop – orv frames</title>" in (tmp_path / "pages/level.html").read_text()


def test_view_reports_a_page_it_cannot_write(tmp_path):
    result = run_orv("view", "workshop", "-o", "missing/level.html", cwd=tmp_path)
    assert result.returncode == 2
    assert result.stderr.startswith("python -m orv: cannot write missing/level.html: ")
    assert "Traceback" not in result.stderr
