"""Every change shows in the next text of a level whose texts were kept, as in a twin that kept
none. The validation build (ORV_VALIDATE) also checks each kept fact itself."""

import types

import pytest

from orv_engine import NEGATIVE, POSITIVE, Charge, Environment, NarrativeSequencer


def level():
    """top (plus) holding inner (multiply, two charges) and gated (a gate that opens)."""
    z = types.SimpleNamespace(top=Environment("top"), inner=Environment("inner"),
                              gated=Environment("gated"))
    z.top.charges = [Charge(2, POSITIVE, "a"), Charge(3, NEGATIVE, "b")]
    z.inner.charges = [Charge(4, POSITIVE, "c"), Charge(5, NEGATIVE, "d")]
    z.gated.charges = [Charge(5, POSITIVE, "e")]
    z.top.add_plus_magician("p")
    z.inner.add_multiply_magician("m")
    z.gated.add_equals_gate("g", 5)
    z.top.add_sub_environment(z.inner)
    z.top.add_sub_environment(z.gated)
    z.steps = NarrativeSequencer(z.top)
    return z


def after(change):
    return lambda z: (change(z), [z.top.to_json(), z.inner.to_json()])[1]


def frames(count):
    return lambda z: [z.steps.next_frame() for _ in range(count)]


CHANGES = {
    "charge item magnitude": after(lambda z: setattr(z.top.charges[0], "magnitude", 42)),
    "charge item polarity": after(lambda z: setattr(z.top.charges[1], "polarity", POSITIVE)),
    "charge item visual_id": after(lambda z: setattr(z.inner.charges[0], "visual_id", "new")),
    "charges written": after(lambda z: setattr(z.top, "charges", [Charge(7, NEGATIVE, "w")])),
    "add_charge": after(lambda z: z.inner.add_charge(6, POSITIVE, "f")),
    "agent added": after(lambda z: z.gated.add_abs_magician("abs")),
    "sub-zone added": after(lambda z: z.gated.add_sub_environment(Environment("late"))),
    "a parent released": after(lambda z: Environment("holder").add_sub_environment(z.inner)),
    "zone renamed and frozen": after(
        lambda z: (setattr(z.inner, "id", "renamed"), setattr(z.top, "is_time_frozen", True))),
    "spell result": frames(1), "gate opened": frames(2), "collapse": frames(3),
    "to the end": frames(8),
}


@pytest.mark.parametrize("change", CHANGES.values(), ids=CHANGES.keys())
def test_every_change_shows_in_the_next_text_of_a_level_whose_texts_were_kept(change):
    kept, fresh = level(), level()
    kept.top.to_json()
    kept.top.to_json()
    assert change(kept) == change(fresh)
