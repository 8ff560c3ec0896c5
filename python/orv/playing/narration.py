"""The command-line player: narrates a level frame by frame and sums the run up at the end."""

from __future__ import annotations

from collections.abc import Iterable
from typing import Any, TextIO

import orv_engine

from orv.documents import CAST_SPELL
from orv.exit_status import ExitStatus
from orv.levels.designer_keys import designer_text
from orv.levels.files import level_to_json
from orv.playing.arithmetic import Step, step_of
from orv.playing.frames import Frame, RecordedRun
from orv.playing.numbers import READABLE_DIGITS, number
from orv.playing.outcome import LevelOutcome, OutcomeTally, ZoneCharges
from orv.terminal import terminal_text

# Beyond this many closed gates or idle agents the summary only counts the rest.
DETAIL_LIMIT = 20


def narrate(frame: Frame, step: Step | None = None) -> str:
    """One line per frame: number, status, what the step did with its numbers (the engine's
    message when there is no arithmetic to show) and, for a spell, the caster's visual id.

    The engine names "Chronomancer" and "System" as the actors of collapses and of the end
    of the level; no agent did those, so their lines leave the attribution out (``--json``
    keeps the engine's frames as they are).
    """
    text = step.text if step is not None else frame.message
    line = f"frame {frame.index:>4}  {frame.status:<8}  {text}"
    event = frame.event
    if event is not None and event["type"] == CAST_SPELL:
        line += f"  [{event['type']} by {event['agent_name']} ({event['visual_id']})]"
    return line


def describe_charge(charge: dict[str, Any], digits: int | None = READABLE_DIGITS) -> str:
    """A charge as ``13 positive (visual_id)``, its magnitude to ``digits`` significant
    digits (every digit, ``13.0``, for None); the JSON null of NaN or infinity reads NaN."""
    return f"{number(charge['magnitude'], digits)} {charge['polarity']} ({charge['visual_id']})"


def final_charges_text(zones: Iterable[ZoneCharges],
                       digits: int | None = READABLE_DIGITS) -> str:
    """The charges left at the end: ``13 positive (sum)`` when only the top zone holds any,
    else each zone's after its id, ``hall: 13 positive (sum); room: 48 negative (x)``."""
    held = list(zones)
    lists = [", ".join(describe_charge(charge, digits) for charge in zone.charges)
             for zone in held]
    if len(held) == 1 and held[0].is_top:
        return lists[0]
    return "; ".join(f"{zone.zone}: {text}" for zone, text in zip(held, lists))


def designer_lines(top: orv_engine.Environment) -> list[str]:
    """The level's title and hint as its designer wrote them, one line each, for a player
    to read before the first frame."""
    written = designer_text(top)
    return [f"{name}: {written[name]}" for name in ("title", "hint") if name in written]


def summary_lines(result: LevelOutcome, outcome_text: str | None = None) -> list[str]:
    """The outcome block that ends ``orv play`` (and is all of ``orv play --summary``);
    ``outcome_text`` says an outcome other than solved or ended in other words (a puzzle
    played without its hand)."""
    charges = final_charges_text(result.final_charges)
    succeeded = result.exit_status == ExitStatus.OK
    outcome = outcome_text if outcome_text and not succeeded else result.outcome
    gates = result.gates_opened + len(result.closed_gates)
    return [
        "summary",
        f"  outcome:       {outcome}",
        f"  frames:        {result.frames}",
        f"  spells:        {result.spells}",
        f"  collapses:     {result.collapses}",
        f"  gates opened:  {result.gates_opened} of {gates}",
        f"  final charges: {charges or 'none'}",
        f"  final status:  {result.final_status} ({result.final_message})",
    ] + [f"  {line}" for line in result.details(DETAIL_LIMIT)]


def play(top: orv_engine.Environment, out: TextIO, raw_json: bool = False,
         summary_out: TextIO | None = None, outcome_text: str | None = None) -> LevelOutcome:
    """Play the level to its end, writing each frame to ``out`` as soon as it is made, and
    return its outcome.

    With ``raw_json`` each frame is written as its exact JSON text, one per line; otherwise
    the narration shows the level's ids with their control characters escaped. The summary
    goes to ``summary_out`` (``out`` when not given), with ``outcome_text`` for its outcome
    when given.
    """
    run = RecordedRun(level_to_json(top))
    tally = OutcomeTally(run.start)
    last = run.start
    for frame_text, record_text in run.texts():
        frame = Frame.from_text(frame_text, record_text)
        assert frame.record is not None
        tally.record_step(frame.record)
        if raw_json:
            out.write(frame.text + "\n")
        else:
            out.write(terminal_text(narrate(frame, step_of(frame.record))) + "\n")
        out.flush()
        last = frame.document
    result = tally.result(last)
    for line in summary_lines(result, outcome_text):
        (summary_out or out).write(terminal_text(line) + "\n")
    return result
