"""The command-line player: narrates a level frame by frame and sums the run up at the end."""

from __future__ import annotations

from typing import Any, TextIO

import orv_engine

from orv.frames import Frame, PlaySummary, play_frames


def narrate(frame: Frame) -> str:
    """One line per frame: number, status, message, and who did what."""
    event = frame.event
    if event is None:
        happened = "no event"
    else:
        happened = f"{event['type']} by {event['agent_name']} ({event['visual_id']})"
    return f"frame {frame.index:>4}  {frame.status:<8}  {frame.message}  [{happened}]"


def describe_charge(charge: dict[str, Any]) -> str:
    """A charge as ``13.0 positive (visual_id)``; the JSON null of NaN or infinity reads NaN."""
    magnitude = charge["magnitude"]
    shown = "NaN" if magnitude is None else repr(float(magnitude))
    return f"{shown} {charge['polarity']} ({charge['visual_id']})"


def summary_lines(summary: PlaySummary) -> list[str]:
    charges = ", ".join(describe_charge(charge) for charge in summary.final_charges)
    return [
        "summary",
        f"  frames:        {summary.frames}",
        f"  spells:        {summary.spells}",
        f"  collapses:     {summary.collapses}",
        f"  gates opened:  {summary.gates_opened}",
        f"  final charges: {charges or 'none'}",
        f"  final status:  {summary.final_status} ({summary.final_message})",
    ]


def play(top: orv_engine.Environment, out: TextIO, raw_json: bool = False,
         summary_out: TextIO | None = None) -> PlaySummary:
    """Play the level to its end, writing each frame to ``out`` as soon as it is made.

    With ``raw_json`` each frame is written as its JSON text, one per line. The summary goes
    to ``summary_out`` (``out`` when not given).
    """
    summary = PlaySummary()
    for frame in play_frames(top):
        summary.record(frame)
        out.write((frame.text if raw_json else narrate(frame)) + "\n")
        out.flush()
    for line in summary_lines(summary):
        (summary_out or out).write(line + "\n")
    return summary
