"""A campaign: puzzles in play order, gentle first (two zones, a hand of two plus and minus
magicians) and hard last (six zones, a hand of five of every kind), each with a title and
a hint for the player.

Every puzzle has one minimal solution, and along it every charge, gate target and zone total
is a whole number within ±1000. The difficulty range from ``EASIEST_BITS`` to
``HARDEST_BITS`` is cut into one band per puzzle (at most ``MAX_BANDS``; longer campaigns
share each band among neighbours), and each puzzle is drawn until its difficulty lies in its
band, from a stage of zones, hand sizes and kinds that suits it. The difficulty therefore
never falls from one puzzle to the next; puzzles that share a band go in order of difficulty.

Puzzle ``index`` is drawn from the seed and its own index only (and the campaign's length,
which fixes its band), so the first puzzles of a campaign can be made again alone.
"""

from __future__ import annotations

import json
import random
import re
from collections.abc import Callable, Iterator
from dataclasses import dataclass
from pathlib import Path

import orv_engine

from orv.documents import walk_zones
from orv.generating.hints import hint_for
from orv.generating.numbers import MENTAL_LARGEST
from orv.generating.puzzles import (
    GenerationFailed,
    PuzzleDemands,
    PuzzleShape,
    find_puzzle,
)
from orv.levels.designer_keys import DESIGNER_KEYS
from orv.levels.files import level_from_json, level_to_json, save_level
from orv.levels.top_zone_keys import level_extras
from orv.puzzles.result import SolveResult

EASIEST_BITS, HARDEST_BITS = 1.0, 12.5
MAX_BANDS = 10
# Draws per puzzle: the hardest bands pass about one candidate in 300.
ATTEMPTS = 6000
# Charges on each zone below the top: two or three, so that most of them need an agent.
CHARGES = (2, 3)
TITLE, HINT = DESIGNER_KEYS[:2]

ADDERS = ("Plus Magician", "Minus Magician")
ARITHMETIC = (*ADDERS, "Multiply Magician")
DIVIDERS = (*ARITHMETIC, "Divide Magician", "The Scavenger")
PURIFIERS = (*DIVIDERS, "The Purifier")
POWERS = (*PURIFIERS, "Power Sorcerer")


@dataclass(frozen=True)
class Stage:
    """The candidates of bands whose middle is at most ``up_to_bits``: their zones and hand
    sizes (each drawn from these), the kinds of their hands and their own agents, and the
    chance of a seal on each zone without sub-zones."""

    up_to_bits: float
    zones: tuple[int, ...]
    hands: tuple[int, ...]
    kinds: tuple[str, ...]
    seals: float

    def shape(self, rng: random.Random) -> PuzzleShape:
        return PuzzleShape(rng.choice(self.zones), rng.choice(self.hands), self.kinds,
                           self.kinds, charges=CHARGES, seals=self.seals)


# Each stage brings more zones, a larger hand or a new kind; seals come in gradually.
STAGES = (
    Stage(2.2, (2,), (2,), ADDERS, 0.0),
    Stage(3.3, (2, 3), (2, 3), ARITHMETIC, 0.3),
    Stage(4.5, (3, 4), (3,), ARITHMETIC, 0.5),
    Stage(5.6, (4,), (3, 4), DIVIDERS, 0.7),
    Stage(6.8, (4,), (4,), DIVIDERS, 0.7),
    Stage(8.0, (4, 5), (4,), DIVIDERS, 1.0),
    Stage(9.1, (5,), (4, 5), PURIFIERS, 1.0),
    Stage(HARDEST_BITS, (5,), (5,), POWERS, 1.0),
)

# Titles are dealt from this list in an order the seed shuffles; a campaign longer than the
# list deals it again with "II", "III", ... after each title.
TITLES = (
    "The Tinker's Bench", "Lantern Row", "Copper Steps", "The Quiet Mill", "Salt and Iron",
    "Ember Court", "The Weighing Room", "Twin Kilns", "The Long Ledger", "Moth Hollow",
    "Glass Orchard", "The Counting House", "Tallow Lane", "The Slate Stair", "Brass Whispers",
    "Nine Bells", "The Tidewater Lock", "Ash and Apple", "The Cartographer's Attic",
    "Hollow Crown", "The Clockmaker's Knot", "Ravens' Arithmetic", "The Sunken Archive",
    "Lodestone Hall", "The Alchemist's Debt", "Winter Abacus", "The Mirror Vault",
    "Thistle Keep", "Starwright's Loom", "The Cipher Gate", "Gilded Remainder",
    "The Hundred Doors")
# Zone ids: the top zone's from the first list, the others' from the second.
HALLS = ("hall", "keep", "vault", "court", "sanctum", "atrium", "chapel", "library")
ROOMS = ("forge", "mill", "kiln", "well", "loom", "cellar", "attic", "tower", "crypt",
         "garden", "study", "pantry", "belfry", "larder", "stable", "orchard", "cistern",
         "armory", "gallery", "workshop")
ROMAN = ("", " II", " III", " IV", " V", " VI", " VII", " VIII", " IX", " X")


@dataclass(frozen=True)
class CampaignPuzzle:
    """One written puzzle: its file, title, difficulty, minimal size and hand size."""

    path: Path
    title: str
    difficulty: float
    min_size: int
    hand: int

    def describe(self) -> str:
        return (f"{self.path.name}: {self.title}, {self.difficulty:.2f} bits, "
                f"{self.min_size} of {self.hand} agents")


def generate_campaign(count: int, seed: int, out: Path, first: int | None = None,
                      on_puzzle: Callable[[CampaignPuzzle], None] | None = None
                      ) -> list[CampaignPuzzle]:
    """Write the ``count`` puzzles of the campaign made from ``seed`` into ``out`` (made if
    missing), or only its ``first`` ones, as ``NN_title.json`` in play order."""
    out.mkdir(parents=True, exist_ok=True)
    wanted = count if first is None else min(first, count)
    titles = _titles(seed)
    width = max(2, len(str(count)))
    written: list[CampaignPuzzle] = []
    for top, result in _puzzles_in_order(count, seed, wanted):
        position = len(written)
        title = titles(position)
        extras = level_extras(top)
        extras[TITLE] = title
        path = out / f"{position + 1:0{width}d}_{_slug(title)}.json"
        save_level(top, path)
        assert result.difficulty is not None and result.min_size is not None
        written.append(CampaignPuzzle(path, title, result.difficulty, result.min_size,
                                      len(extras["hand"])))
        if on_puzzle is not None:
            on_puzzle(written[-1])
    return written


def _puzzles_in_order(count: int, seed: int, wanted: int
                      ) -> Iterator[tuple[orv_engine.Environment, SolveResult]]:
    """The first ``wanted`` puzzles in play order, each with its hint but no title yet."""
    bands = min(count, MAX_BANDS)
    members: list[list[int]] = [[] for _ in range(bands)]
    for index in range(count):
        members[index * bands // count].append(index)
    yielded = 0
    for band, indices in enumerate(members):
        if yielded == wanted:
            return
        made = [_campaign_puzzle(seed, index, band, bands) for index in indices]
        # Python's sort is stable: equal difficulties keep the order of their indices.
        for puzzle in sorted(made, key=lambda pair: pair[1].difficulty or 0.0):
            if yielded == wanted:
                return
            yielded += 1
            yield puzzle


def band_bits(band: int, bands: int) -> tuple[float, float]:
    """The difficulty range of band ``band`` of ``bands``, which tile the whole range."""
    span = HARDEST_BITS - EASIEST_BITS
    return EASIEST_BITS + span * band / bands, EASIEST_BITS + span * (band + 1) / bands


def stage_for(bits: float) -> Stage:
    return next((stage for stage in STAGES if bits <= stage.up_to_bits), STAGES[-1])


def _campaign_puzzle(seed: int, index: int, band: int, bands: int
                     ) -> tuple[orv_engine.Environment, SolveResult]:
    low, high = band_bits(band, bands)
    stage = stage_for((low + high) / 2)
    demands = PuzzleDemands(unique=True, min_bits=low, max_bits=high,
                            largest_number=MENTAL_LARGEST)
    rng = random.Random(f"orv campaign {seed}/{index}")
    found = find_puzzle(rng, stage.shape, demands, ATTEMPTS)
    if found is None:
        raise GenerationFailed(f"puzzle {index + 1} of the campaign of seed {seed}: no "
                               f"candidate ({demands.describe()}) passed in {ATTEMPTS} draws")
    top, result = found
    names = _zone_names(top, random.Random(f"orv campaign {seed}/{index} names"))
    named = level_from_json(_renamed(level_to_json(top), names))
    level_extras(named)[HINT] = hint_for(named, result, names, (band + 0.5) / bands)
    return named, result


def _zone_names(top: orv_engine.Environment, rng: random.Random) -> dict[str, str]:
    """A place name for each zone id of the generated tree, in tree order."""
    ids = [at.zone["id"] for at in walk_zones(json.loads(top.to_json()))]
    return dict(zip(ids, [rng.choice(HALLS), *rng.sample(ROOMS, len(ids) - 1)], strict=True))


def _renamed(text: str, names: dict[str, str]) -> str:
    level = json.loads(text)
    for at in walk_zones(level):
        at.zone["id"] = names[at.zone["id"]]
    return json.dumps(level)


def _titles(seed: int) -> Callable[[int], str]:
    order = random.Random(f"orv campaign {seed} titles").sample(TITLES, len(TITLES))

    def title(position: int) -> str:
        round_, place = divmod(position, len(order))
        suffix = ROMAN[round_] if round_ < len(ROMAN) else f" {round_ + 1}"
        return order[place] + suffix

    return title


def _slug(title: str) -> str:
    """``the_tinkers_bench`` for "The Tinker's Bench"."""
    return re.sub(r"[^a-z0-9]+", "_", title.lower().replace("'", "")).strip("_")
