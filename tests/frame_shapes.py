"""Expected shapes of the engine's JSON: zones, charges, agents, events and frames."""

import json

END_EVENT = {
    "agent_name": "System",
    "description": "Equation Resolved.",
    "type": "FINISHED",
    "visual_id": "N/A",
}


def compact(value) -> str:
    """Write a JSON value the way the engine writes its documents: sorted keys, no spaces."""
    return json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False)


def charge(magnitude, polarity, visual_id):
    return {"magnitude": float(magnitude), "polarity": polarity, "visual_id": visual_id}


def agent(name, priority, visual_id, state="dormant"):
    return {"name": name, "priority": priority, "state": state, "visual_id": visual_id}


def zone(zone_id, charges=(), agents=(), frozen=False, subs=()):
    return {
        "agents": list(agents),
        "charges": list(charges),
        "id": zone_id,
        "is_time_frozen": frozen,
        "sub_environments": list(subs),
    }


def spell_event(name, visual_id, zone_id):
    return {
        "agent_name": name,
        "description": f"{name} executed operation in {zone_id}",
        "type": "CAST_SPELL",
        "visual_id": visual_id,
    }


def collapse_event(zone_id):
    return {
        "agent_name": "Chronomancer",
        "description": f"Zone {zone_id} has resolved and merged.",
        "type": "COLLAPSE_ZONE",
        "visual_id": f"shield_{zone_id}",
    }


def frame(sequencer):
    return json.loads(sequencer.next_frame())
