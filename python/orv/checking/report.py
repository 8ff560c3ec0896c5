"""What ``orv check`` makes of its results: report files, level lines, the summary and the
exit status."""

from __future__ import annotations

import csv
import json
from collections import Counter
from collections.abc import Callable
from dataclasses import fields
from pathlib import Path
from typing import IO

from orv.checking.level import ERROR, LevelCheck
from orv.exit_status import ExitStatus, gravest_status
from orv.levels.puzzle_keys import hand_text
from orv.playing.narration import final_charges_text
from orv.playing.outcome import Outcome, ZoneCharges, run_counts

OUTCOMES = (*Outcome, ERROR)
GOOD_OUTCOMES = (Outcome.SOLVED, Outcome.ENDED)


# Not ".json": that names one JSON document, and a report beside the levels would be read as
# a level by the next run over the folder.
REPORT_FORMATS = {".jsonl": "jsonl", ".ndjson": "jsonl", ".csv": "csv"}
COLUMNS = tuple(item.name for item in fields(LevelCheck))
# A spreadsheet takes a cell that starts with one of these for a formula, which a file name or
# an id written by anybody must never become; such a cell gets a leading "'", as spreadsheets
# themselves write text of that shape. Only text columns: numbers stay numbers.
FORMULA_STARTS = ("=", "+", "-", "@", "\t", "\r")
TEXT_COLUMNS = ("path", "causes", "closed_gates", "idle_agents", "final_charges", "title", "hint",
                "notes", "error")


class InOrder:
    """Passes results on in input order while they arrive in any order; only results that
    arrived ahead of an unfinished one are held."""

    def __init__(self, emit: Callable[[LevelCheck], None]) -> None:
        self._emit = emit
        self._next = 0
        self._waiting: dict[int, LevelCheck] = {}

    def add(self, index: int, check: LevelCheck) -> None:
        self._waiting[index] = check
        while self._next in self._waiting:
            self._emit(self._waiting.pop(self._next))
            self._next += 1


def report_format_of(path: Path) -> str:
    """"jsonl" or "csv" by the file's extension; ValueError for any other name."""
    kind = REPORT_FORMATS.get(path.suffix.lower())
    if kind is None:
        raise ValueError(f"cannot tell the report format from {path.name}: name it *.jsonl "
                         "(JSON Lines) or *.csv")
    return kind


class ReportError(Exception):
    """The report file cannot be written; the message names it and says why."""


class ReportFile:
    """A report with one row per level: JSON Lines or CSV. Writing and closing raise
    ReportError when the file cannot take the row (a full device, a lost disk)."""

    def __init__(self, path: Path, kind: str) -> None:
        self._path = path
        # Text that Unicode cannot encode (a file name of bytes that are not UTF-8) is kept
        # as its escape, which a JSON reader turns back into the same string.
        self._file: IO[str] = open(path, "w", encoding="utf-8", newline="",
                                   errors="backslashreplace")
        self._csv = csv.writer(self._file, lineterminator="\n") if kind == "csv" else None
        if self._csv is not None:
            self._guarded(self._csv.writerow, COLUMNS)

    def write(self, check: LevelCheck) -> None:
        if self._csv is None:
            self._guarded(self._file.write, level_json(check) + "\n")
            return
        row = check.to_dict()
        row["causes"] = ";".join(check.causes)
        row["closed_gates"] = "; ".join(gate["text"] for gate in check.closed_gates)
        row["idle_agents"] = "; ".join(agent["text"] for agent in check.idle_agents)
        row["final_charges"] = final_charges_text(
            (ZoneCharges(zone["zone"], zone["path"], tuple(zone["charges"]))
             for zone in check.final_charges), digits=None)
        row["error"] = "; ".join(check.error)
        row["seconds"] = f"{check.seconds:.6f}"
        for column in TEXT_COLUMNS:
            row[column] = csv_text(row[column])
        self._guarded(self._csv.writerow, [row[column] for column in COLUMNS])

    def close(self) -> None:
        if not self._file.closed:
            self._guarded(self._file.close)

    def _guarded(self, write: Callable[..., object], *arguments: object) -> None:
        try:
            write(*arguments)
        except OSError as error:
            raise ReportError(f"cannot write the report {self._path}: "
                              f"{error.strerror or error}") from None


def csv_text(text: str) -> str:
    """A text cell that a spreadsheet shows as text, never runs as a formula."""
    return "'" + text if text.startswith(FORMULA_STARTS) else text


def level_json(check: LevelCheck) -> str:
    return json.dumps(check.to_dict(), ensure_ascii=False, separators=(",", ":"))


def level_lines(check: LevelCheck) -> list[str]:
    """A line for a level, its path, outcome and counts or its error, then a line for each
    gate that stayed closed and each agent that never cast."""
    if check.outcome == ERROR:
        if len(check.error) == 1:
            return [f"{check.path}: error: {check.error[0]}"]
        return [f"{check.path}: error: {len(check.error)} problems",
                *(f"  {problem}" for problem in check.error)]
    counts = run_counts(check.frames, check.spells, check.collapses, check.gates_opened,
                        check.gates_opened + check.gates_closed)
    return [f"{check.path}: {check.outcome} ({counts})",
            *(f"  closed {gate['text']}" for gate in check.closed_gates),
            *(f"  never cast: {agent['text']}" for agent in check.idle_agents),
            *([f"  {hand_text(check.hand)}"] if check.hand else [])]


class Tally:
    """Counts of each outcome, with the first level of each as an example; stuck levels are
    counted again by the cause of their first closed gate."""

    def __init__(self) -> None:
        self.counts: Counter[str] = Counter()
        self.first: dict[str, str] = {}
        self.causes: Counter[str] = Counter()
        self.first_by_cause: dict[str, str] = {}

    def add(self, check: LevelCheck) -> None:
        self.counts[check.outcome] += 1
        self.first.setdefault(check.outcome, check.path)
        if check.outcome == Outcome.STUCK and check.causes:
            self.causes[check.causes[0]] += 1
            self.first_by_cause.setdefault(check.causes[0], check.path)

    def summary_lines(self) -> list[str]:
        width = max(len(f"{count:,}") for count in self.counts.values()) if self.counts else 1
        lines = []
        for outcome in OUTCOMES:
            count = self.counts[outcome]
            levels = f"{count:>{width},} {'level' if count == 1 else 'levels'}"
            if outcome == Outcome.STUCK and self.causes:
                lines.append(f"{outcome + ':':<14}{levels} — " + ", ".join(
                    f"{cause} {number:,}" for cause, number in self.causes.most_common()))
                lines += [f"  {cause + ':':<14}(first: {self.first_by_cause[cause]})"
                          for cause, _ in self.causes.most_common()]
                continue
            example = (f"  (first: {self.first[outcome]})"
                       if count and outcome not in GOOD_OUTCOMES else "")
            lines.append(f"{outcome + ':':<14}{levels}{example}")
        return lines

    def exit_status(self) -> ExitStatus:
        """The status of the gravest outcome any level had."""
        return gravest_status({outcome for outcome, count in self.counts.items() if count})
