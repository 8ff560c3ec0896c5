"""Which zones are time-frozen, which agents get to cast and in what order, and how
resolved zones collapse into their parents, observed through the sequencer's frames."""

import gc
import json

import pytest

import orv_engine as orv
from frame_shapes import END_EVENT, agent, charge, collapse_event, frame, spell_event, zone


def tree_of(doc):
    """The zone tree of a frame document, without its meta object."""
    return {key: value for key, value in doc.items() if key != "meta"}


def play_to_end_from(sequencer):
    docs = []
    while not sequencer.is_finished:
        docs.append(frame(sequencer))
    return docs


def play_to_end(top):
    return play_to_end_from(orv.NarrativeSequencer(top))


def events(docs):
    return [doc["meta"]["last_event"] for doc in docs]


def plus(visual_id, state="dormant"):
    return agent("Plus Magician", 10, visual_id, state)


def sub_zone(parent, zone_id, charges=()):
    child = orv.Environment(zone_id)
    for magnitude, visual_id in charges:
        child.add_charge(magnitude, orv.POSITIVE, visual_id)
    parent.add_sub_environment(child)
    return child


# --- freezing and the order of casting -----------------------------------------------------


def build_r_a_b():
    r = orv.Environment("R")
    r.add_charge(1, orv.POSITIVE, "r1")
    r.add_charge(1, orv.POSITIVE, "r2")
    r.add_plus_magician("r")
    a = sub_zone(r, "A", [(2, "a_two"), (3, "a_three")])
    a.add_multiply_magician("a1")
    a.add_plus_magician("a2")
    b = orv.Environment("B")
    b.add_charge(5, orv.NEGATIVE, "b_five")
    b.add_abs_magician("b")
    r.add_sub_environment(b)
    return r, a, b


def test_r_a_b_first_frame_abs_casts_and_r_is_frozen():
    r, _, _ = build_r_a_b()
    first = frame(orv.NarrativeSequencer(r))
    assert first["meta"]["last_event"] == spell_event("The Purifier", "b", "B")
    assert tree_of(first) == zone(
        "R",
        charges=[charge(1, "positive", "r1"), charge(1, "positive", "r2")],
        agents=[plus("r")],
        frozen=True,
        subs=[
            zone(
                "A",
                charges=[charge(2, "positive", "a_two"), charge(3, "positive", "a_three")],
                agents=[agent("Multiply Magician", 50, "a1"), plus("a2")],
            ),
            zone("B", charges=[charge(5, "positive", "purified_b_five")]),
        ],
    )


def test_r_a_b_casting_order_across_frames():
    r, a, _ = build_r_a_b()
    sequencer = orv.NarrativeSequencer(r)
    first, second = frame(sequencer), frame(sequencer)
    # a1 and a2 could both cast on 2 and 3; the multiplier goes first
    assert second["meta"]["last_event"] == spell_event("Multiply Magician", "a1", "A")
    assert second["sub_environments"][0]["agents"] == [plus("a2")]
    a.add_charge(4, orv.POSITIVE, "a_four")
    rest = play_to_end_from(sequencer)
    assert events([first, second] + rest) == [
        spell_event("The Purifier", "b", "B"),
        spell_event("Multiply Magician", "a1", "A"),
        spell_event("Plus Magician", "a2", "A"),
        spell_event("Plus Magician", "r", "R"),
        collapse_event("A"),
        collapse_event("B"),
        END_EVENT,
    ]
    assert tree_of(rest[-1]) == zone(
        "R",
        charges=[
            charge(2, "positive", "result_r"),
            charge(10, "positive", "result_a2"),
            charge(5, "positive", "purified_b_five"),
        ],
    )


def busy_with_declining_agent(child):
    child.add_charge(1, orv.POSITIVE, "lonely")
    child.add_plus_magician("stuck")


def busy_with_two_charges(child):
    child.add_charge(1, orv.POSITIVE, "x")
    child.add_charge(2, orv.POSITIVE, "y")


def busy_with_closed_gate(child):
    child.add_equals_gate("gate", 3)


def busy_with_chronomancer(child):
    child.add_charge(4, orv.POSITIVE, "kept")
    child.add_chronomancer("chrono")


@pytest.mark.parametrize(
    "make_busy",
    [
        pytest.param(busy_with_declining_agent, id="agent-that-declines"),
        pytest.param(busy_with_two_charges, id="two-charges-no-agent"),
        pytest.param(busy_with_closed_gate, id="gate-without-charges"),
        pytest.param(busy_with_chronomancer, id="chronomancer"),
    ],
)
def test_busy_sub_zone_keeps_parent_agents_from_casting(make_busy):
    top = orv.Environment("top")
    top.add_charge(3, orv.POSITIVE, "t1")
    top.add_charge(4, orv.POSITIVE, "t2")
    top.add_plus_magician("p")
    child = orv.Environment("child")
    make_busy(child)
    top.add_sub_environment(child)
    tree_before = json.loads(top.to_json())
    docs = play_to_end(top)
    assert events(docs) == [END_EVENT]
    tree_before["is_time_frozen"] = True
    assert tree_of(docs[0]) == tree_before
    assert top.is_time_frozen is True


@pytest.mark.parametrize(
    "charges",
    [pytest.param([], id="no-charge"), pytest.param([(9, "nine")], id="one-charge")],
)
def test_idle_sub_zone_with_at_most_one_charge_does_not_freeze(charges):
    top = orv.Environment("top")
    top.add_charge(3, orv.POSITIVE, "t1")
    top.add_charge(4, orv.POSITIVE, "t2")
    top.add_plus_magician("p")
    sub_zone(top, "idle", charges)
    first = frame(orv.NarrativeSequencer(top))
    assert first["is_time_frozen"] is False
    assert first["meta"]["last_event"] == spell_event("Plus Magician", "p", "top")
    assert first["charges"] == [charge(7, "positive", "result_p")]


def test_frozen_zone_sub_zones_still_act():
    top = orv.Environment("top")
    top.add_plus_magician("t")
    middle = sub_zone(top, "middle", [(2, "m1"), (2, "m2")])
    middle.add_plus_magician("m")
    deep = sub_zone(middle, "deep", [(3, "d1"), (3, "d2")])
    deep.add_multiply_magician("d")
    sequencer = orv.NarrativeSequencer(top)
    first = frame(sequencer)
    assert first["meta"]["last_event"] == spell_event("Multiply Magician", "d", "deep")
    assert first["is_time_frozen"] is True
    assert first["sub_environments"][0]["is_time_frozen"] is True
    assert first["sub_environments"][0]["sub_environments"][0]["is_time_frozen"] is False
    second = frame(sequencer)
    # deep now holds one charge and no agent: middle thaws, top stays frozen
    assert second["meta"]["last_event"] == spell_event("Plus Magician", "m", "middle")
    assert second["is_time_frozen"] is True
    assert second["sub_environments"][0]["is_time_frozen"] is False


def test_frozen_parent_with_stuck_and_working_sub_zones():
    top = orv.Environment("top")
    top.add_charge(1, orv.POSITIVE, "t1")
    top.add_charge(1, orv.POSITIVE, "t2")
    top.add_plus_magician("t")
    sub_zone(top, "stuck", [(1, "s1"), (2, "s2")])
    worker = sub_zone(top, "worker", [(5, "w1"), (6, "w2")])
    worker.add_plus_magician("w")
    docs = play_to_end(top)
    assert events(docs) == [
        spell_event("Plus Magician", "w", "worker"),
        collapse_event("worker"),
        END_EVENT,
    ]
    assert [doc["is_time_frozen"] for doc in docs] == [True, True, True]
    assert docs[-1]["agents"] == [plus("t")]


def test_chronomancer_keeps_parent_frozen_for_good():
    top = orv.Environment("top")
    top.add_charge(1, orv.POSITIVE, "t1")
    top.add_charge(2, orv.POSITIVE, "t2")
    top.add_plus_magician("t")
    keeper = sub_zone(top, "keeper", [(5, "k")])
    keeper.add_chronomancer("chrono")
    worker = sub_zone(top, "worker", [(1, "w1"), (1, "w2")])
    worker.add_plus_magician("w")
    docs = play_to_end(top)
    assert events(docs) == [
        spell_event("Plus Magician", "w", "worker"),
        collapse_event("worker"),
        END_EVENT,
    ]
    assert [doc["is_time_frozen"] for doc in docs] == [True, True, True]
    assert tree_of(docs[-1]) == zone(
        "top",
        charges=[
            charge(1, "positive", "t1"),
            charge(2, "positive", "t2"),
            charge(2, "positive", "result_w"),
        ],
        agents=[plus("t")],
        frozen=True,
        subs=[
            zone(
                "keeper",
                charges=[charge(5, "positive", "k")],
                agents=[agent("Chronomancer", 100, "chrono")],
            )
        ],
    )


def frozen_flag_was_wrongly_set():
    """top should not be frozen, but True was written into its flag."""
    top = orv.Environment("top")
    top.add_charge(3, orv.POSITIVE, "t1")
    top.add_charge(4, orv.POSITIVE, "t2")
    top.add_plus_magician("p")
    sub_zone(top, "idle", [(9, "nine")])
    top.is_time_frozen = True
    return top, False, spell_event("Plus Magician", "p", "top")


def frozen_flag_was_wrongly_cleared():
    """top should be frozen, but False was written into its flag."""
    top = orv.Environment("top")
    top.add_charge(3, orv.POSITIVE, "t1")
    top.add_charge(4, orv.POSITIVE, "t2")
    top.add_plus_magician("p")
    sub_zone(top, "full", [(1, "x"), (2, "y")])
    top.is_time_frozen = False
    return top, True, END_EVENT


@pytest.mark.parametrize(
    "build",
    [
        pytest.param(frozen_flag_was_wrongly_set, id="true-written"),
        pytest.param(frozen_flag_was_wrongly_cleared, id="false-written"),
    ],
)
def test_flag_written_from_python_is_recomputed_at_next_step(build):
    top, expected_flag, expected_event = build()
    first = frame(orv.NarrativeSequencer(top))
    assert first["is_time_frozen"] is expected_flag
    assert top.is_time_frozen is expected_flag
    assert first["meta"]["last_event"] == expected_event


def test_flag_written_after_the_end_is_not_recomputed():
    top = orv.Environment("top")
    sub_zone(top, "full", [(1, "x"), (2, "y")])
    sequencer = orv.NarrativeSequencer(top)
    assert frame(sequencer)["is_time_frozen"] is True
    top.is_time_frozen = False
    later = frame(sequencer)
    assert later["meta"]["message"] == "Simulation complete. No further actions."
    assert later["is_time_frozen"] is False


def add_minus(env, visual_id):
    env.add_minus_magician(visual_id)


def add_plus(env, visual_id):
    env.add_plus_magician(visual_id)


@pytest.mark.parametrize(
    "first_added, second_added, expected",
    [
        pytest.param(
            add_minus,
            add_plus,
            spell_event("Minus Magician", "first", "top"),
            id="minus-added-first",
        ),
        pytest.param(
            add_plus,
            add_minus,
            spell_event("Plus Magician", "first", "top"),
            id="plus-added-first",
        ),
    ],
)
def test_equal_priority_in_one_zone_follows_order_of_addition(first_added, second_added, expected):
    top = orv.Environment("top")
    top.add_charge(5, orv.POSITIVE, "five")
    top.add_charge(3, orv.POSITIVE, "three")
    first_added(top, "first")
    second_added(top, "second")
    first = frame(orv.NarrativeSequencer(top))
    assert first["meta"]["last_event"] == expected
    assert [a["visual_id"] for a in first["agents"]] == ["second"]


def test_equal_priority_in_sibling_zones_follows_sub_zone_order():
    top = orv.Environment("top")
    for name in ("A", "B"):
        child = sub_zone(top, name, [(1, name + "1"), (2, name + "2")])
        child.add_plus_magician(name.lower())
    docs = play_to_end(top)
    assert events(docs) == [
        spell_event("Plus Magician", "a", "A"),
        spell_event("Plus Magician", "b", "B"),
        collapse_event("A"),
        collapse_event("B"),
        END_EVENT,
    ]


@pytest.mark.parametrize("count", [17, 20, 33], ids=["17-zones", "20-zones", "33-zones"])
def test_equal_priority_keeps_sub_zone_order_beyond_sixteen_candidates(count):
    top = orv.Environment("top")
    names = [f"z{i:02d}" for i in range(count)]
    for name in names:
        child = sub_zone(top, name, [(1, name + "_a"), (2, name + "_b")])
        child.add_plus_magician("p_" + name)
    docs = play_to_end(top)
    assert events(docs) == (
        [spell_event("Plus Magician", "p_" + name, name) for name in names]
        + [collapse_event(name) for name in names]
        + [END_EVENT]
    )
    assert docs[-1]["charges"] == [charge(3, "positive", "result_p_" + name) for name in names]


def test_priority_order_holds_beyond_sixteen_candidates():
    top = orv.Environment("top")
    names = [f"z{i:02d}" for i in range(20)]
    for index, name in enumerate(names):
        child = sub_zone(top, name, [(2, name + "_a"), (3, name + "_b")])
        if index % 2:
            child.add_multiply_magician("m_" + name)
        else:
            child.add_plus_magician("p_" + name)
    docs = play_to_end(top)
    multipliers = [
        spell_event("Multiply Magician", "m_" + name, name) for name in names[1::2]
    ]
    adders = [spell_event("Plus Magician", "p_" + name, name) for name in names[0::2]]
    assert events(docs)[:20] == multipliers + adders


@pytest.mark.parametrize(
    "high_method, charges, high_json, result",
    [
        pytest.param(
            "add_chronomancer",
            [(3, orv.POSITIVE), (5, orv.NEGATIVE)],
            agent("Chronomancer", 100, "high"),
            charge(2, "negative", "result_low"),
            id="chronomancer",
        ),
        pytest.param(
            "add_factorial_magician",
            [(3, orv.POSITIVE), (5, orv.NEGATIVE)],
            agent("The Replicator", 85, "high"),
            charge(2, "negative", "result_low"),
            id="factorial-of-negative",
        ),
        pytest.param(
            "add_divide_magician",
            [(3, orv.POSITIVE), (0, orv.POSITIVE)],
            agent("Divide Magician", 50, "high"),
            charge(3, "positive", "result_low"),
            id="divide-by-zero",
        ),
        pytest.param(
            "add_log_magician",
            [(1, orv.POSITIVE), (8, orv.POSITIVE)],
            agent("The Architect", 90, "high"),
            charge(9, "positive", "result_low"),
            id="log-base-one",
        ),
    ],
)
def test_declining_higher_priority_agent_stays_dormant_while_lower_casts(
    high_method, charges, high_json, result
):
    top = orv.Environment("top")
    for index, (magnitude, polarity) in enumerate(charges):
        top.add_charge(magnitude, polarity, f"c{index}")
    getattr(top, high_method)("high")
    top.add_plus_magician("low")
    first = frame(orv.NarrativeSequencer(top))
    assert first["meta"]["last_event"] == spell_event("Plus Magician", "low", "top")
    assert first["agents"] == [high_json]
    assert first["charges"] == [result]


# --- collapse ------------------------------------------------------------------------------


def test_resolved_grandchild_collapses_before_resolved_child():
    top = orv.Environment("top")
    child = sub_zone(top, "child", [(1, "c")])
    sub_zone(child, "grandchild", [(2, "g")])
    docs = play_to_end(top)
    assert events(docs) == [collapse_event("grandchild"), END_EVENT]
    assert tree_of(docs[0]) == zone(
        "top",
        subs=[zone("child", charges=[charge(1, "positive", "c"), charge(2, "positive", "g")])],
    )
    # child holds two charges now: it neither collapses nor lets top thaw
    assert docs[-1]["is_time_frozen"] is True


def test_earlier_sibling_collapses_first_and_charges_keep_their_values():
    top = orv.Environment("top")
    top.add_charge(1, orv.POSITIVE, "own")
    first = orv.Environment("A")
    first.add_charge(2.5, orv.NEGATIVE, "from_a")
    second = orv.Environment("B")
    second.add_charge(0.0, orv.NEUTRAL, "from_b")
    top.add_sub_environment(first)
    top.add_sub_environment(second)
    docs = play_to_end(top)
    assert events(docs) == [collapse_event("A"), collapse_event("B"), END_EVENT]
    assert docs[0]["meta"]["message"] == "Zone A has resolved and merged."
    assert [sub["id"] for sub in docs[0]["sub_environments"]] == ["B"]
    assert tree_of(docs[-1]) == zone(
        "top",
        charges=[
            charge(1, "positive", "own"),
            charge(2.5, "negative", "from_a"),
            charge(0, "neutral", "from_b"),
        ],
    )


def inner_with_chronomancer(inner):
    inner.add_chronomancer("chrono")


def inner_with_two_charges(inner):
    inner.add_charge(7, orv.POSITIVE, "i1")
    inner.add_charge(8, orv.POSITIVE, "i2")


@pytest.mark.parametrize(
    "fill_inner",
    [
        pytest.param(inner_with_chronomancer, id="inner-keeps-an-agent"),
        pytest.param(inner_with_two_charges, id="inner-keeps-two-charges"),
    ],
)
def test_collapsing_zone_takes_its_sub_zones_along(fill_inner):
    top = orv.Environment("top")
    outer = sub_zone(top, "outer", [(4, "o")])
    inner = orv.Environment("inner")
    fill_inner(inner)
    outer.add_sub_environment(inner)
    inner_before = inner.to_json()
    docs = play_to_end(top)
    assert events(docs) == [collapse_event("outer"), END_EVENT]
    assert tree_of(docs[0]) == zone("top", charges=[charge(4, "positive", "o")])
    # outer was frozen by inner when it collapsed
    assert outer.is_time_frozen is True
    assert inner.to_json() == inner_before


def test_middle_sibling_collapses_and_others_keep_their_order():
    top = orv.Environment("top")
    sub_zone(top, "X", [(1, "x1"), (2, "x2")])
    sub_zone(top, "Y", [(3, "y")])
    z = sub_zone(top, "Z")
    z.add_chronomancer("chrono")
    first = frame(orv.NarrativeSequencer(top))
    assert first["meta"]["last_event"] == collapse_event("Y")
    assert [sub["id"] for sub in first["sub_environments"]] == ["X", "Z"]
    assert first["charges"] == [charge(3, "positive", "y")]


def test_nested_zones_collapse_one_level_per_frame():
    p = orv.Environment("P")
    s = sub_zone(p, "S")
    sub_zone(s, "T", [(6, "t")])
    docs = play_to_end(p)
    assert events(docs) == [collapse_event("T"), collapse_event("S"), END_EVENT]
    assert tree_of(docs[0]) == zone("P", subs=[zone("S", charges=[charge(6, "positive", "t")])])
    assert tree_of(docs[1]) == zone("P", charges=[charge(6, "positive", "t")])
    assert [doc["meta"]["frame_index"] for doc in docs] == [1, 2, 3]


def leave_empty(child):
    pass


@pytest.mark.parametrize(
    "fill_child",
    [
        pytest.param(leave_empty, id="no-charges"),
        pytest.param(busy_with_two_charges, id="two-charges"),
        pytest.param(busy_with_chronomancer, id="one-charge-and-chronomancer"),
        pytest.param(busy_with_declining_agent, id="one-charge-and-plus"),
    ],
)
def test_unresolved_sub_zone_stays_in_the_tree(fill_child):
    top = orv.Environment("top")
    child = orv.Environment("child")
    fill_child(child)
    top.add_sub_environment(child)
    child_before = json.loads(child.to_json())
    docs = play_to_end(top)
    assert events(docs) == [END_EVENT]
    assert docs[0]["sub_environments"] == [child_before]
    assert docs[0]["charges"] == []


def test_collapsed_zone_kept_by_python_stays_valid_and_detached():
    root = orv.Environment("root")
    inner = sub_zone(root, "inner", [(3, "a"), (4, "b")])
    inner.add_plus_magician("p")
    sequencer = orv.NarrativeSequencer(root)
    sequencer.next_frame()
    collapse = frame(sequencer)
    assert collapse["sub_environments"] == []
    gc.collect()
    assert inner.to_json() == (
        '{"agents":[],"charges":[{"magnitude":7.0,"polarity":"positive","visual_id":"result_p"}],'
        '"id":"inner","is_time_frozen":false,"sub_environments":[]}'
    )
    inner.add_charge(1, orv.POSITIVE, "late")
    inner.add_plus_magician("q")
    end = frame(sequencer)
    assert end["meta"]["last_event"] == END_EVENT
    assert tree_of(end) == zone("root", charges=[charge(7, "positive", "result_p")])
    assert [c.visual_id for c in inner.charges] == ["result_p", "late"]


def test_collapse_of_zone_with_empty_id():
    top = orv.Environment("top")
    sub_zone(top, "", [(2, "v")])
    text = orv.NarrativeSequencer(top).next_frame()
    assert text == (
        '{"agents":[],"charges":[{"magnitude":2.0,"polarity":"positive","visual_id":"v"}],'
        '"id":"top","is_time_frozen":false,"meta":{"frame_index":1,"last_event":{"agent_name":'
        '"Chronomancer","description":"Zone  has resolved and merged.","type":"COLLAPSE_ZONE",'
        '"visual_id":"shield_"},"message":"Zone  has resolved and merged.","status":"RUNNING"},'
        '"sub_environments":[]}'
    )


def test_casting_takes_precedence_over_a_pending_collapse():
    top = orv.Environment("top")
    sub_zone(top, "ready", [(1, "r")])
    worker = sub_zone(top, "worker", [(2, "w1"), (3, "w2")])
    worker.add_plus_magician("w")
    docs = play_to_end(top)
    assert events(docs) == [
        spell_event("Plus Magician", "w", "worker"),
        collapse_event("ready"),
        collapse_event("worker"),
        END_EVENT,
    ]
