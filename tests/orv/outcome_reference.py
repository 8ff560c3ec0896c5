"""The package's classifier of runs as it was written in Python before the engine took the
work over: kept here only as the reference that the engine's outcome must equal.

``reference_outcome`` gives what ``LevelOutcome.to_dict()`` gave, and the lines of the closed
gates (six digits and every digit) and of the idle agents: what ``told`` gives of the
outcome the engine finds.
"""

from __future__ import annotations

import math
from collections import Counter
from typing import Any

from orv import _native
from orv.documents import walk_zones, zone_total
from orv.playing.numbers import counted, number

Json = dict[str, Any]
GATES = ("Equals Gate", "The Judge")
WAITS, UNTRIED = "its zone is frozen", "not tried before the run ended"


def _event_zone(event: Json) -> str:
    if event["type"] == "COLLAPSE_ZONE":
        return str(event["visual_id"]).removeprefix("shield_")
    return str(event["description"][len(event["agent_name"]) + len(" executed operation in "):])


class _Diagnosis:
    def __init__(self) -> None:
        self.refusals: dict[int, Json] = {}
        self.blocking: dict[int, list[Json]] = {}

    def decline_reason(self, agent: Json, zone: Json) -> str:
        operands = [(math.nan if charge["magnitude"] is None else charge["magnitude"],
                     charge["polarity"]) for charge in zone["charges"]]
        target = agent.get("target_value")
        return _native.decline_reason(agent["name"], operands,
                                      math.nan if target is None else float(target),
                                      agent.get("rule", "<"))

    def refusal(self, agent: Json, zone: Json) -> Json:
        if id(agent) not in self.refusals:
            reason = self.decline_reason(agent, zone) or (
                WAITS if zone["is_time_frozen"] else UNTRIED)
            self.refusals[id(agent)] = {"name": agent["name"], "visual_id": agent["visual_id"],
                                        "reason": reason}
        return self.refusals[id(agent)]

    def blocking_zones(self, zone: Json) -> list[Json]:
        def blocks(below: Json) -> bool:
            return bool(below["agents"]) or len(below["charges"]) > 1

        if id(zone) not in self.blocking:
            held = walk_zones(zone, descend=lambda at: at.parent is None or (
                blocks(at.zone) and bool(at.zone["is_time_frozen"])))
            self.blocking[id(zone)] = [
                {"zone": at.zone["id"], "frozen": bool(at.zone["is_time_frozen"]),
                 "agents": [self.refusal(agent, at.zone) for agent in at.zone["agents"]],
                 "charges": list(at.zone["charges"])}
                for at in held if at.parent is not None and blocks(at.zone)]
        return self.blocking[id(zone)]


def _blocking_text(zone: Json) -> str:
    if zone["agents"]:
        why = "; ".join(f'{agent["name"]} "{agent["visual_id"]}": {agent["reason"]}'
                        for agent in zone["agents"])
    elif zone["frozen"]:
        why = "frozen by the zones below it"
    else:
        why = f"{counted(len(zone['charges']), 'charge')} and no agent left to combine them"
    return f"zone {zone['zone']} ({why})"


def gate_text(gate: Json, digits: int | None) -> str:
    total, target = gate["last_total"], gate["target"]
    seen = "no charge" if total is None else f"total {number(total, digits)}"
    cause = gate["cause"]
    if cause == "left_level":
        why = (f"left the level when zone {gate['left_with']} collapsed at frame "
               f"{gate['left_at']}" if gate["left_with"] is not None
               else "left the level with an outer zone")
    elif cause == "frozen":
        chain = ", then ".join(_blocking_text(zone) for zone in gate["blocked_by"])
        why = f"{seen}, but the zone stayed frozen" + (f", held by {chain}" if chain else "")
    elif cause == "wrong_total" and gate["difference"] is not None:
        why = (f"{seen}, needs {gate['rule']} {number(target, digits)} "
               f"(difference {number(gate['difference'], digits)})")
    elif cause == "out_of_steps":
        why = f"{seen}, but the steps ran out before the gate was tried on it"
    elif cause == "not_a_number":
        why = f"{seen}, target {number(target, digits)}: NaN meets no rule"
    else:
        why = seen
    return (f'gate "{gate["visual_id"]}" in zone {gate["zone"]} '
            f'({gate["rule"]} {number(target, digits)}): {why}')


def _agents_of(top: Json) -> list[tuple[Json, bool | None, Json]]:
    return [(agent, at.zone["is_time_frozen"], at.zone) for at in walk_zones(top)
            for agent in at.zone["agents"]]


def _key(agent: Json, zone: Json) -> tuple[str, str, str]:
    return agent["name"], agent["visual_id"], zone["id"]


def _outer_zone_ids(top: Json, zone: Json) -> set[str]:
    parents = {id(at.zone): at.parent for at in walk_zones(top)}
    outer, around = set(), parents.get(id(zone))
    while around is not None and around is not top:
        outer.add(around["id"])
        around = parents.get(id(around))
    return outer


def _closed_gate(diagnosis: _Diagnosis, ran_out: bool, start: Json,
                 collapsed: list[tuple[int, str]], agent: Json, frozen: bool | None,
                 zone: Json) -> Json:
    rule = "==" if agent["name"] == "Equals Gate" else agent["rule"]
    target = math.nan if agent["target_value"] is None else float(agent["target_value"])
    gate = {"visual_id": agent["visual_id"], "zone": zone["id"], "rule": rule,
            "target": target, "last_total": None, "zone_frozen": False, "removed": False,
            "cause": "left_level", "difference": None, "blocked_by": [], "left_with": None,
            "left_at": None}
    if frozen is None:
        outer = _outer_zone_ids(start, zone)
        taken = next(((zone_id, frame) for frame, zone_id in collapsed if zone_id in outer),
                     (None, None))
        return {**gate, "removed": True, "left_with": taken[0], "left_at": taken[1]}
    total = zone_total(zone["charges"]) if zone["charges"] else None
    if math.isnan(target):
        cause = "not_a_number"
    elif frozen:
        cause = "frozen"
    elif total is None:
        cause = "empty"
    else:
        cause = "not_a_number" if math.isnan(total) else "wrong_total"
    if cause == "wrong_total" and ran_out and not diagnosis.decline_reason(agent, zone):
        cause = "out_of_steps"
    return {**gate, "last_total": total, "zone_frozen": frozen, "cause": cause,
            "difference": None if total is None else total - target,
            "blocked_by": diagnosis.blocking_zones(zone) if frozen else []}


def _finite(value: Any) -> Any:
    if isinstance(value, float):
        return value if math.isfinite(value) else None
    if isinstance(value, dict):
        return {key: _finite(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [_finite(item) for item in value]
    return value


def told(result: Any) -> tuple[Json, list[str], list[str], list[str]]:
    """A ``LevelOutcome`` as ``reference_outcome`` tells it."""
    return (result.to_dict(), [gate.describe() for gate in result.closed_gates],
            [gate.describe(digits=None) for gate in result.closed_gates],
            [agent.describe() for agent in result.idle_agents])


def reference_outcome(start: Json, documents: list[Json],
                      records: list[Json | None]) -> tuple[Json, list[str], list[str], list[str]]:
    """(the to_dict() form, gate lines, gate lines with every digit, idle agent lines)."""
    placed = _agents_of(start)
    collapsed: list[tuple[int, str]] = []
    cast: Counter[tuple[str, str, str]] = Counter()
    counts = {"spells": 0, "collapses": 0, "gates_opened": 0}
    for document, record in zip(documents, records):
        meta = document["meta"]
        step: tuple[str, int, str, str, str] | None = None
        if record is not None and record["zone"] is not None:
            if record["step"] == "collapse":
                step = ("collapse", record["frame"], "", "", record["zone"]["id"])
            elif record["agent"] is not None:
                step = ("cast", 0, record["agent"]["name"], record["agent"]["visual_id"],
                        record["zone"]["id"])
        elif record is None and meta["last_event"] is not None:
            event = meta["last_event"]
            kind = {"COLLAPSE_ZONE": "collapse", "CAST_SPELL": "cast"}.get(event["type"])
            if kind is not None:
                step = (kind, int(meta["frame_index"]), event["agent_name"],
                        event["visual_id"], _event_zone(event) or "")
        if step is None:
            continue
        if step[0] == "collapse":
            counts["collapses"] += 1
            collapsed.append((step[1], step[4]))
        else:
            cast[step[2:]] += 1
            counts["gates_opened" if step[2] in GATES else "spells"] += 1
    last = documents[-1]
    meta = last["meta"]
    remaining: list[tuple[Json, bool | None, Json]] = list(_agents_of(last))
    gone = Counter(_key(agent, zone) for agent, _, zone in placed)
    gone -= Counter(_key(agent, zone) for agent, _, zone in remaining)
    gone -= cast
    removed: list[tuple[Json, bool | None, Json]] = []
    for agent, _, zone in placed:
        if gone[_key(agent, zone)] > 0:
            gone[_key(agent, zone)] -= 1
            removed.append((agent, None, zone))
    diagnosis, ran_out = _Diagnosis(), meta["status"] == "ERROR"
    closed = [_closed_gate(diagnosis, ran_out, start, collapsed, *entry)
              for entry in remaining + removed if entry[0]["name"] in GATES]
    idle = [{"name": agent["name"], "visual_id": agent["visual_id"], "zone": zone["id"],
             "reason": "" if frozen is None else diagnosis.refusal(agent, zone)["reason"],
             "removed": frozen is None}
            for agent, frozen, zone in remaining + removed if agent["name"] not in GATES]
    had_gates = any(agent["name"] in GATES for agent, _, _ in placed)
    outcome = ("out of steps" if ran_out else "stuck" if closed
               else "solved" if had_gates else "ended")
    form = {"outcome": outcome, "frames": int(meta["frame_index"]), **counts,
            "closed_gates": closed, "idle_agents": idle,
            "final_charges": [{"zone": at.zone["id"], "path": at.path,
                               "charges": list(at.zone["charges"])}
                              for at in walk_zones(last) if at.zone["charges"]],
            "final_status": meta["status"], "final_message": meta["message"]}
    idle_lines = [f'{agent["name"]} "{agent["visual_id"]}" in zone {agent["zone"]}' + (
        ": left the level with its zone" if agent["removed"]
        else f": {agent['reason']}" if agent["reason"] else "") for agent in idle]
    return (_finite(form), [gate_text(gate, 6) for gate in closed],
            [gate_text(gate, None) for gate in closed], idle_lines)
