# The package's compiled helpers (src/bindings/native), beyond orv_engine's public surface.

from typing import Any

def log(x: float) -> float:
    """The natural logarithm as the spells compute it: correctly rounded, the same on every
    platform (the C library's may differ in the last digit). log(1) = 0, log(+-0) = -inf,
    log(inf) = inf, NaN for a negative x or a NaN."""

def log10(x: float) -> float:
    """The decimal logarithm as the spells compute it: correctly rounded, so that
    log10(10**k) is k exactly. Special cases as log."""

def pow(x: float, y: float) -> float:
    """x to the power y as the spells compute it: rounded to nearest, exact whenever the
    result is a float, the same on every platform; C99's special cases (pow(x, 0) = 1 even
    for a NaN, a negative x gives a signed result for an integer y and NaN otherwise,
    overflow gives inf, underflow 0 or a subnormal)."""

def decline_reason(kind: str, charges: list[tuple[float, str]], target: float = 0.0,
                   rule: str = "<") -> str:
    """Why an agent of ``kind`` (its display name) would not cast on ``charges`` (each a
    magnitude and a polarity text) as they stand; empty when its spell would take effect.
    A gate compares with ``target`` by ``rule``. ValueError for an unknown kind or polarity."""

def agent_kinds() -> list[dict[str, Any]]:
    """The engine's table of agent kinds, in roster order: per kind "name", "add_method",
    "priority", "is_gate", "arguments" (of the placing method, after the zone),
    "min_charges", "operands", "result", "prefix" and "declines"."""

def rule_constants() -> dict[str, Any]:
    """The rules' fixed numbers and words: "step_budget", "zero_tolerance",
    "equals_tolerance", "first_infinite_factorial", "comparison_rules", "polarities",
    "agent_states"."""

def level_fields() -> dict[str, dict[str, str]]:
    """The members of a level file's "zone", "charge", "agent", "gate" and "judge" objects,
    as the engine writes and reads them, with the kind of each value."""

def readable_number(value: float, signed_zero: bool = False) -> str:
    """``value`` as the step texts show it: six significant digits at most, whole numbers
    without a decimal point, "NaN", "inf"; "-0" only with ``signed_zero``."""

def signed_total(charges: list[tuple[float, str]]) -> float:
    """The signed total of charges (magnitude, polarity text), as the gates sum it."""

class RecordingSequencer:
    """A level read from ``level_text`` (a level file's text; ValueError for a bad one),
    played on its own copy. ``next_frame`` returns the frame's text, byte for byte what
    ``orv_engine.NarrativeSequencer.next_frame`` gives, and the text of its step record."""

    def __init__(self, level_text: str) -> None: ...
    def next_frame(self) -> tuple[str, str]: ...
    def level_text(self) -> str:
        """The level as it now stands, as ``Environment.to_json`` writes it."""
    @property
    def is_finished(self) -> bool: ...
    @property
    def current_frame(self) -> int: ...

def decline_reasons() -> dict[str, list[str]]:
    """Every reason of each kind, by display name, with the numbers it fills in as
    [placeholders]."""

class PuzzleSearch:
    """The distinct placements of a puzzle's hand, tried on the level natively.

    ``level_text`` is the engine text of the level's top zone (``top.to_json()``); ``hand``
    lists (display name, visual id) in hand order, gates refused; ``slots`` are zone numbers
    in preorder of the tree (0 the top zone), each once; ``use_all`` allows only placements
    of the whole hand. A placement puts hand agents at the end of slot zones' agent lists;
    placements that differ only in the order of agents of different priorities in one zone,
    or by swapping agents of one kind, are one placement. Ranks follow the canonical order
    of include/orv/solver.hpp. ValueError for a bad text, hand or slot."""

    def __init__(self, level_text: str, hand: list[tuple[str, str]], slots: list[int],
                 use_all: bool) -> None: ...
    def placement_count(self, size: int) -> int:
        """The number of distinct placements of ``size`` agents (0 when there are none);
        OverflowError when it exceeds 64 bits."""
    def search(self, size: int, start: int, stop: int,
               max_solutions: int) -> tuple[int, int, list[int]]:
        """Tries the placements of ``size`` with ranks in [start, stop) (stop clamped):
        (tried, solved, ranks of the first ``max_solutions`` solving ones, ascending). A
        placement solves when the level so changed ends, within its step budget, with every
        gate open; KeyboardInterrupt from Ctrl-C."""
    def placement(self, size: int, rank: int) -> list[tuple[int, list[int]]]:
        """(slot index, hand indices in order) for each slot that receives agents, in slot
        order; IndexError for a rank not below the count."""

# Puzzle files and the course of a search (include/orv/puzzle.hpp, search_tally.hpp): the
# rules the browser build follows, kept once in the engine library.

DEFAULT_MAX_PLACEMENTS: int
DEFAULT_MAX_SOLUTIONS: int

def level_extras_problems(extras: str, level_text: str) -> list[tuple[str, str]]:
    """Every (place, problem) of a level file's extra top-zone keys (``extras``, the text of a
    JSON object of them) on the tree of ``level_text`` (engine text), in the loader's words;
    empty when there is none. ValueError for a bad text."""

class PuzzleFile:
    """A puzzle file's text, read and checked as the engine reads it. ValueError (its message
    in the loader's words) for a level that cannot be read, bad puzzle keys or no hand."""

    level_text: str
    """The level as it stands, without the tools' keys: the engine text of its top zone."""
    hand: list[tuple[str, str]]
    """(display name, visual id) of each hand agent, in the file's order."""
    zone_ids: list[str]
    """The id of every zone, by zone number (tree order)."""
    slots: list[int]
    """The zone numbers the hand may go into, ascending."""
    use_all: bool

    def __init__(self, text: str) -> None: ...
    def placed_level_text(self, placement: list[tuple[str, list[str]]]) -> str:
        """The engine text of the level with the placement's hand agents (zone id, visual ids)
        appended to their zones' agent lists; ValueError naming each refused part."""

class SearchTally:
    """The course of a search over sizes and what it found: which size next and how many of
    its placements to try, when to stop, and min_size, unique and difficulty."""

    def __init__(self, smallest: int, largest: int, max_placements: int, max_solutions: int,
                 all_sizes: bool) -> None: ...
    def next_size(self) -> int | None:
        """The size to search next, or None when the search is over."""
    def start_size(self, placements: int) -> int | None:
        """Starts that size of ``placements`` placements: how many to try, or None when the
        bound ends the search first."""
    def start_uncounted(self) -> None:
        """That size has more placements than 64 bits count: the search ends before it."""
    def add(self, tried: int, solved: int) -> None: ...
    def keep_solutions(self, found: int) -> int:
        """How many of ``found`` solutions of the current size (lowest ranks first) to keep."""
    def end_size(self, interrupted: bool) -> None: ...
    @property
    def complete(self) -> bool: ...
    @property
    def interrupted(self) -> bool: ...
    @property
    def bound_reached(self) -> bool: ...
    @property
    def uncounted_size(self) -> int | None: ...
    @property
    def placements(self) -> int: ...
    @property
    def solvable(self) -> bool: ...
    @property
    def min_size(self) -> int | None: ...
    @property
    def unique(self) -> bool | None: ...
    @property
    def difficulty(self) -> float | None: ...
    def sizes(self) -> list[tuple[int, int, int, bool]]:
        """(size, placements, solutions found, searched to its end) of each size searched."""

# A player's attempt at a puzzle (include/orv/attempt.hpp, include/orv/hint.hpp).

class PlacementError(ValueError):
    """A move or a placement refused, with one line that says why."""

class Attempt:
    """The player's placement of a puzzle's hand, move by move, with undo and redo; every
    refused move raises PlacementError and changes nothing."""

    def __init__(self, puzzle: PuzzleFile) -> None: ...
    @property
    def received(self) -> list[list[int]]:
        """Hand indices placed in each slot, in the zone's order, slot by slot."""
    @property
    def placed(self) -> list[bool]:
        """Whether each hand agent is placed, by hand index."""
    def place(self, visual_id: str, zone_id: str, index: int | None = None) -> None: ...
    def remove(self, visual_id: str) -> None: ...
    def move(self, visual_id: str, zone_id: str, index: int | None = None) -> None: ...
    def undo(self) -> bool: ...
    def redo(self) -> bool: ...
    def reset(self) -> None: ...
    def placement(self) -> list[tuple[str, list[str]]]:
        """(zone id, visual ids) of each slot that holds hand agents, in tree order."""
    def check_playable(self) -> None:
        """PlacementError when the placement cannot be played ("use": "all" not met)."""
    def placed_level_text(self) -> str:
        """The engine text of the level with the placement; check_playable first."""
    def hint(self, max_placements: int) -> str:
        """The JSON text of the next move toward a solution that keeps the placement:
        {"action", "visual_id"?, "zone_id"?, "index"?, "text", "placements"}."""
