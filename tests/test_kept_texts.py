"""Zone texts are kept from one write to the next; every change must show in the next text.

Each case changes a level whose texts were kept (written twice) and a twin that never wrote
any, and compares what both write next. Under the validation build (ORV_VALIDATE) the engine
also checks every reuse itself and raises RuntimeError for a kept fact left out of date."""

import types

import pytest

from orv_engine import NEGATIVE, POSITIVE, Charge, Environment, NarrativeSequencer


def level():
    """top (plus) holding inner (multiply, two charges) and gated (a gate that opens)."""
    zones = types.SimpleNamespace(top=Environment("top"), inner=Environment("inner"),
                                  gated=Environment("gated"))
    zones.top.add_charge(2, POSITIVE, "a")
    zones.top.add_charge(3, NEGATIVE, "b")
    zones.top.add_plus_magician("p")
    zones.inner.add_charge(4, POSITIVE, "c")
    zones.inner.add_charge(5, NEGATIVE, "d")
    zones.inner.add_multiply_magician("m")
    zones.gated.add_charge(5, POSITIVE, "e")
    zones.gated.add_equals_gate("g", 5)
    zones.top.add_sub_environment(zones.inner)
    zones.top.add_sub_environment(zones.gated)
    zones.steps = NarrativeSequencer(zones.top)
    return zones


def frames(count):
    return lambda zones: [zones.steps.next_frame() for _ in range(count)]


def after(change):
    def changed(zones):
        change(zones)
        return [zones.top.to_json()]
    return changed


def dropped_parent(zones):
    holder = Environment("holder")
    holder.add_sub_environment(zones.inner)
    del holder
    return [zones.top.to_json(), zones.inner.to_json()]


CHANGES = {
    "charge item magnitude": after(lambda z: setattr(z.top.charges[0], "magnitude", 42)),
    "charge item polarity": after(lambda z: setattr(z.top.charges[1], "polarity", POSITIVE)),
    "charge item visual_id": after(lambda z: setattr(z.inner.charges[0], "visual_id", "new")),
    "charges written": after(lambda z: setattr(z.top, "charges", [Charge(7, NEGATIVE, "w")])),
    "add_charge": after(lambda z: z.inner.add_charge(6, POSITIVE, "f")),
    "agent added": after(lambda z: z.gated.add_abs_magician("abs")),
    "sub-zone added": after(lambda z: z.gated.add_sub_environment(Environment("late"))),
    "zone renamed and frozen": after(
        lambda z: (setattr(z.inner, "id", "renamed"), setattr(z.top, "is_time_frozen", True))),
    "spell result": frames(1),
    "gate opened": frames(2),
    "collapse": frames(3),
    "to the end": frames(8),
    "a parent released": dropped_parent,
}


@pytest.mark.parametrize("change", CHANGES.values(), ids=CHANGES.keys())
def test_every_change_shows_in_the_next_text_of_a_level_whose_texts_were_kept(change):
    kept, fresh = level(), level()
    kept.top.to_json()
    kept.top.to_json()
    assert change(kept) == change(fresh)
