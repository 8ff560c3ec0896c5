"""Plays the bundled sample level to its end, printing each frame's narration.

The level asks for 2 + 2 + 3 ** 2 = 13. Two inner zones work out 2 + 2 and 3 ** 2 while
the top zone waits, frozen; each collapses into the top zone once it holds a single charge;
a Plus Magician then adds the two results and an Equals Gate checks the total.
Run it with --json to print the raw frame documents instead.
"""

import json
import sys

import orv_engine as orv


def build_level() -> orv.Environment:
    top = orv.Environment("workshop")
    top.add_equals_gate("goal", 13)
    top.add_plus_magician("sum")

    adder = orv.Environment("adder")
    adder.add_charge(2, orv.POSITIVE, "two")
    adder.add_charge(2, orv.POSITIVE, "two_again")
    adder.add_plus_magician("plus")

    squarer = orv.Environment("squarer")
    squarer.add_charge(3, orv.POSITIVE, "three")
    squarer.add_charge(2, orv.POSITIVE, "exponent")
    squarer.add_power_sorcerer("power")

    top.add_sub_environment(adder)
    top.add_sub_environment(squarer)
    return top


def narrate(frame: dict) -> str:
    meta = frame["meta"]
    event = meta["last_event"]
    who = f" [{event['agent_name']} / {event['visual_id']}]" if event else ""
    charges = ", ".join(
        f"{c['magnitude']} {c['polarity']}" for c in frame["charges"]
    )
    return (
        f"frame {meta['frame_index']:>3}  {meta['status']:<8} {meta['message']}{who}"
        f"  | top zone: [{charges}]"
    )


def main(argv: list[str]) -> int:
    raw = "--json" in argv
    sequencer = orv.NarrativeSequencer(build_level())
    while True:
        text = sequencer.next_frame()
        frame = json.loads(text)
        print(text if raw else narrate(frame))
        if frame["meta"]["status"] != "RUNNING":
            return 0 if frame["meta"]["status"] == "FINISHED" else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
