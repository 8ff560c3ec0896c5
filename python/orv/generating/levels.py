"""Random level files for exploring the engine and for measuring the checker.

Level ``index`` of a set depends only on the seed and on ``index``, so a set can be made
again, or extended, byte for byte. Every level is a tree of nested zones with charges and
agents of every kind, spread over the set so that each kind turns up within 13 levels; gates
get targets that they reach, targets that they never reach, and random ones, and say which in
their visual ids ("reach", "never", "g").

A gate's target is known to be reachable only in a zone without sub-zones: nothing but that
zone's own agents ever changes its charges, and the gate is tried only once they can no
longer cast, so playing those agents alone gives the total that the gate will see. Such a
zone gets at most one agent of each priority, so that the engine's order of its agents does
not depend on how it breaks ties among equal priorities. A reachable gate still stays closed
when an outer zone collapses and takes the gate's zone out of the level before it is tried.
"""

from __future__ import annotations

import math
import random
from collections.abc import Callable
from pathlib import Path
from typing import Literal

import orv_engine

from orv.levels.files import save_level
from orv.rules.roster import AGENT_KINDS, EQUALS_GATE, INEQUALITY_GATE, AgentKind

KINDS = tuple(AGENT_KINDS.values())
ACTING_KINDS = tuple(kind for kind in KINDS if not kind.is_gate)
POLARITIES = (orv_engine.POSITIVE, orv_engine.POSITIVE, orv_engine.NEGATIVE,
              orv_engine.NEUTRAL)
PlannedCharge = tuple[float, orv_engine.ChargePolarity, str]
Rule = Literal["<", ">", "<=", ">="]
ALL_RULES: tuple[Rule, ...] = ("<", ">", "<=", ">=")


def generate_levels(count: int, seed: int, out: Path, zones: int = 4,
                    on_level: Callable[[Path], None] | None = None) -> list[Path]:
    """Write ``count`` level files into ``out`` (made if missing) and return their paths."""
    return write_numbered(count, out, "level", lambda index: generate_level(seed, index, zones),
                          on_level)


def write_numbered(count: int, out: Path, name: str,
                   make: Callable[[int], orv_engine.Environment],
                   on_file: Callable[[Path], None] | None = None) -> list[Path]:
    """Write ``make(index)`` for each index below ``count`` as ``out/NAME_INDEX.json``, with
    as many digits as the last index needs, into ``out`` (made if missing)."""
    out.mkdir(parents=True, exist_ok=True)
    width = len(str(max(count - 1, 0)))
    paths = []
    for index in range(count):
        path = out / f"{name}_{index:0{width}d}.json"
        save_level(make(index), path)
        paths.append(path)
        if on_file is not None:
            on_file(path)
    return paths


def generate_level(seed: int, index: int, zones: int) -> orv_engine.Environment:
    """Level ``index`` of the set made from ``seed``: ``zones`` nested zones (at least 1)."""
    return _LevelMaker(random.Random(f"orv level {seed}/{index}"), index).make(max(1, zones))


class _LevelMaker:
    def __init__(self, rng: random.Random, index: int) -> None:
        self.rng = rng
        self.index = index
        self.serial = 0

    def name(self, prefix: str) -> str:
        self.serial += 1
        return f"{prefix}{self.serial}"

    def make(self, zones: int) -> orv_engine.Environment:
        rng = self.rng
        parents = [-1] + [rng.randrange(number) for number in range(1, zones)]
        has_sub_zones = set(parents)
        leaves = [number for number in range(zones) if number not in has_sub_zones]
        # The set's kinds come round in turn, so that every kind is in every 13 levels.
        turn = {rng.choice(leaves): KINDS[self.index % len(KINDS)]}
        built = []
        for number in range(zones):
            charges = [self.charge() for _ in range(rng.randint(1, 3))]
            kinds = self.agents(number in leaves, turn.get(number))
            built.append(self.zone(charges, kinds, number in leaves))
        for number in range(1, zones):
            built[parents[number]].add_sub_environment(built[number])
        return built[0]

    def charge(self) -> PlannedCharge:
        rng = self.rng
        magnitude = float(rng.randint(0, 9)) if rng.random() < 0.8 else rng.randint(1, 40) / 4
        return magnitude, rng.choice(POLARITIES), self.name("c")

    def agents(self, leaf: bool, required: AgentKind | None) -> list[AgentKind]:
        chosen = self.rng.sample(ACTING_KINDS, self.rng.randint(0, 3))
        if leaf:
            # At most one kind per priority, and rarely a Chronomancer, which never leaves.
            chosen = [kind for kind in chosen
                      if kind.name != "Chronomancer" or self.rng.random() < 0.2]
            if required is not None:
                chosen = [required] + [kind for kind in chosen
                                       if kind.priority != required.priority]
            return list({kind.priority: kind for kind in chosen}.values())
        return chosen if required is None else [required, *chosen]

    def zone(self, charges: list[PlannedCharge], kinds: list[AgentKind],
             leaf: bool) -> orv_engine.Environment:
        zone = orv_engine.Environment(self.name("z"))
        for charge in charges:
            zone.add_charge(*charge)
        acting = [kind for kind in kinds if not kind.is_gate]
        for kind in acting:
            getattr(zone, kind.add_method)(self.name("a"))
        gates = [kind for kind in kinds if kind.is_gate]
        if self.rng.random() < (0.5 if leaf else 0.2):
            gates.append(self.rng.choice((AGENT_KINDS[EQUALS_GATE], AGENT_KINDS[INEQUALITY_GATE])))
        settled = settled_total(charges, acting) if leaf and gates else None
        for kind in gates:
            self.gate(zone, kind, leaf, settled)
        return zone

    def gate(self, zone: orv_engine.Environment, kind: AgentKind, leaf: bool,
             settled: float | None) -> None:
        """In a zone without sub-zones, a gate that opens ("reach" in its visual id) or one
        that never opens ("never"), by the toss of a coin; elsewhere a random target ("g")."""
        rng = self.rng
        rule: Rule
        if not leaf:
            prefix, target = "g", float(rng.randint(-20, 40))
            rule = rng.choice(ALL_RULES)
        elif settled is not None and rng.random() < 0.7:
            prefix, target, rule = "reach", settled, rng.choice(("<=", ">="))
        else:
            # No charge or no number left means that no gate can ever open there.
            # Half the size is added too: a half alone is lost in the rounding of a huge total.
            shift = rng.randint(1, 9) / 2
            prefix, rule = "never", rng.choice((">", ">="))
            target = math.nan if settled is None else settled + shift + abs(settled) / 2
        if kind.name == EQUALS_GATE:
            zone.add_equals_gate(self.name(prefix), target)
        else:
            zone.add_inequality_gate(self.name(prefix), target, rule)


def settled_total(charges: list[PlannedCharge], kinds: list[AgentKind]) -> float | None:
    """The signed total of a zone holding these charges once these agents, alone in it, have
    cast all they can; None when a gate could never open on it (no charge, or no number)."""
    zone = orv_engine.Environment("probe")
    for planned in charges:
        zone.add_charge(*planned)
    for kind in kinds:
        getattr(zone, kind.add_method)("probe")
    sequencer = orv_engine.NarrativeSequencer(zone)
    while not sequencer.is_finished:
        sequencer.next_frame()
    left = zone.charges
    total = 0.0
    for charge in left:
        total += charge.magnitude if charge.polarity == orv_engine.POSITIVE else -charge.magnitude
    return total if left and math.isfinite(total) else None
