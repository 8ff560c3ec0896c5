"""The studio's page: the frame viewer's page with the editing panel and the browser engine
added, and what the panel needs to start (the level, the palette of agent kinds, the run's
key). The page plays the level itself, after every edit."""

from __future__ import annotations

from orv import _native
from orv.documents import Json
from orv.levels.designer_keys import DESIGNER_KEYS
from orv.rules.roster import AGENT_KINDS, INEQUALITY_GATE, INEQUALITY_RULES, AgentKind
from orv.viewer.page import START_MESSAGE, PageExtras, render_page
from orv.web import browser_engine_script

SCRIPTS = ("run.js", "studio.js", "editor.js", "puzzle.js", "solutions.js", "start.js")


def explained(kind: AgentKind) -> str:
    """The kind's rule in a few sentences, from the engine's table of kinds."""
    return (f"Priority {kind.priority}. Reads {kind.operands}. Leaves {kind.result}. "
            f"Does not cast when: {kind.declines}.")


def palette() -> list[Json]:
    """Every agent kind that the panel can add: its name, whether it is a gate, its rule in
    words, the rules a Judge may have, and the start of the visual ids of new agents of the
    kind."""
    return [{"name": kind.name, "gate": kind.is_gate, "explains": explained(kind),
             "id_base": kind.name.lower().removeprefix("the ").replace(" ", "_"),
             **({"rules": list(INEQUALITY_RULES)} if kind.name == INEQUALITY_GATE else {})}
            for kind in AGENT_KINDS.values()]


def studio_page(level: Json, title: str, start: Json) -> str:
    """The page that edits and plays ``level`` (a level file's JSON), with the panel's
    ``start`` data: "token", "revision", "file", "sample" and "solver";
    BrowserEngineMissing when this installation has no browser engine."""
    extras = PageExtras("orv.studio", "studio.css", "studio.html", SCRIPTS,
                        {**start, "level": level, "kinds": palette(),
                         "rules": _native.rule_constants(), "start_message": START_MESSAGE,
                         "designer_keys": list(DESIGNER_KEYS)},
                        engine=browser_engine_script())
    return render_page(None, title, extras)
