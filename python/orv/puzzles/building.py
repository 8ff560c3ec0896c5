"""Building a level again from its engine text with agents added, through the public API.

The module offers no way to reach the sub-zones of a built tree, so a level with extra
agents is built anew: each zone with its charges and agents, then the agents added to it,
after its own ones.
"""

from __future__ import annotations

import json
import math
from collections.abc import Mapping, Sequence
from typing import Any

import orv_engine

from orv.documents import walk_zones
from orv.levels.files import POLARITIES
from orv.rules.roster import AGENT_KINDS, INEQUALITY_GATE

# Agents to add, by zone number (tree order), each as (display name, visual id).
Added = Mapping[int, Sequence[tuple[str, str]]]


class LevelBlueprint:
    """A level's zones in tree order, each as its id, charges, agents (as the ``add_*``
    method and its arguments), frozen flag and the number of its parent (-1 for the top)."""

    def __init__(self, level_text: str) -> None:
        numbers: dict[int, int] = {}
        self.zones: list[tuple[str, list[tuple[Any, ...]], list[tuple[str, tuple[Any, ...]]],
                               bool, int]] = []
        for at in walk_zones(json.loads(level_text)):
            numbers[id(at.zone)] = len(self.zones)
            zone = at.zone
            charges = [(_number(charge["magnitude"]), POLARITIES[charge["polarity"]],
                        charge["visual_id"]) for charge in zone["charges"]]
            self.zones.append((zone["id"], charges, [_agent(agent) for agent in zone["agents"]],
                               zone["is_time_frozen"],
                               -1 if at.parent is None else numbers[id(at.parent)]))

    def build(self, added: Added) -> orv_engine.Environment:
        zones: list[orv_engine.Environment] = []
        for number, (zone_id, charges, agents, frozen, parent) in enumerate(self.zones):
            zone = orv_engine.Environment(zone_id)
            for charge in charges:
                zone.add_charge(*charge)
            for method, arguments in agents:
                getattr(zone, method)(*arguments)
            for name, visual_id in added.get(number, ()):
                getattr(zone, AGENT_KINDS[name].add_method)(visual_id)
            zone.is_time_frozen = frozen
            if parent >= 0:
                zones[parent].add_sub_environment(zone)
            zones.append(zone)
        return zones[0]


def _number(value: float | None) -> float:
    return math.nan if value is None else value


def _agent(agent: dict[str, Any]) -> tuple[str, tuple[Any, ...]]:
    kind = AGENT_KINDS[agent["name"]]
    if not kind.is_gate:
        return kind.add_method, (agent["visual_id"],)
    target = _number(agent["target_value"])
    if kind.name == INEQUALITY_GATE:
        return kind.add_method, (agent["visual_id"], target, agent["rule"])
    return kind.add_method, (agent["visual_id"], target)
