"""The command-line player: narrates a level frame by frame and sums the run up at the end."""

from __future__ import annotations

import json
from typing import Any, TextIO

import orv_engine

from orv.playing.arithmetic import Step, explain_step
from orv.playing.frames import Frame, play_frames
from orv.playing.outcome import LevelOutcome, OutcomeTally
from orv.terminal import terminal_text

# Beyond this many closed gates or idle agents the summary only counts the rest.
DETAIL_LIMIT = 20


def narrate(frame: Frame, step: Step | None = None) -> str:
    """One line per frame: number, status, what the step did with its numbers (the engine's
    message when there is no arithmetic to show), and who acted."""
    event = frame.event
    if event is None:
        happened = "no event"
    else:
        happened = f"{event['type']} by {event['agent_name']} ({event['visual_id']})"
    text = step.text if step is not None else frame.message
    return f"frame {frame.index:>4}  {frame.status:<8}  {text}  [{happened}]"


def describe_charge(charge: dict[str, Any]) -> str:
    """A charge as ``13.0 positive (visual_id)``; the JSON null of NaN or infinity reads NaN."""
    magnitude = charge["magnitude"]
    shown = "NaN" if magnitude is None else repr(float(magnitude))
    return f"{shown} {charge['polarity']} ({charge['visual_id']})"


def summary_lines(result: LevelOutcome) -> list[str]:
    charges = ", ".join(describe_charge(charge) for charge in result.final_charges)
    gates = result.gates_opened + len(result.closed_gates)
    return [
        "summary",
        f"  outcome:       {result.outcome}",
        f"  frames:        {result.frames}",
        f"  spells:        {result.spells}",
        f"  collapses:     {result.collapses}",
        f"  gates opened:  {result.gates_opened} of {gates}",
        f"  final charges: {charges or 'none'}",
        f"  final status:  {result.final_status} ({result.final_message})",
    ] + [f"  {line}" for line in result.details(DETAIL_LIMIT)]


def play(top: orv_engine.Environment, out: TextIO, raw_json: bool = False,
         summary_out: TextIO | None = None) -> LevelOutcome:
    """Play the level to its end, writing each frame to ``out`` as soon as it is made, and
    return its outcome.

    With ``raw_json`` each frame is written as its exact JSON text, one per line; otherwise
    the narration shows the level's ids with their control characters escaped. The summary
    goes to ``summary_out`` (``out`` when not given).
    """
    previous = json.loads(top.to_json())
    tally = OutcomeTally(previous)
    for frame in play_frames(top):
        tally.record(frame.document["meta"])
        if raw_json:
            out.write(frame.text + "\n")
        else:
            out.write(terminal_text(narrate(frame, explain_step(previous, frame.document)))
                      + "\n")
        out.flush()
        previous = frame.document
    result = tally.result(previous)
    for line in summary_lines(result):
        (summary_out or out).write(terminal_text(line) + "\n")
    return result
