"use strict";
// What the run came to: the outcome badge in the header, its first detail there, and every
// gate that stayed closed and every agent that never cast in a list that the header's
// "(and N more)" unfolds.

// The one place that draws a gate that stayed closed; ``gate`` holds the fields of the
// package's ClosedGate (visual_id, zone, rule, target, last_total, ...) and its line.
function drawClosedGate(gate) {
  const item = element("li", "closed-gate", gate.text);
  item.dataset.zone = gate.zone;
  item.dataset.visualId = gate.visual_id;
  item.dataset.cause = gate.cause;
  return item;
}

// The agents drawn in the zone boxes of ``zoneId`` whose visual id is ``visualId``.
function drawnAgents(zoneId, visualId) {
  return [...document.querySelectorAll("#tree .zone:not(.collapsed)")]
    .filter(zone => zone.dataset.id === zoneId)
    .flatMap(zone => [...zone.querySelectorAll(":scope > .agents > .agent")])
    .filter(agent => agent.dataset.visualId === visualId);
}

// On the last frame, each closed gate shows its cause, and a frozen gate the zones that held
// it up: those zones outlined, and each of their agents with the reason it cannot cast.
function markCauses() {
  if (shown !== frames.length - 1) return;
  for (const gate of data.outcome.closed_gates) {
    for (const node of drawnAgents(gate.zone, gate.visual_id)) {
      node.classList.add("closed-cause");
      node.append(" ", element("span", "badge cause", gate.cause.replace(/_/g, " ")));
    }
    for (const blocking of gate.blocked_by) {
      for (const zone of document.querySelectorAll("#tree .zone:not(.collapsed)")) {
        if (zone.dataset.id !== blocking.zone || zone.classList.contains("blocking")) continue;
        zone.classList.add("blocking");
        if (blocking.agents.length === 0 && !blocking.frozen) {
          zone.querySelector(":scope > h2").append(
              element("span", "badge reason", "no agent left to combine its charges"));
        }
      }
      for (const agent of blocking.agents) {
        for (const node of drawnAgents(blocking.zone, agent.visual_id)) {
          if (node.classList.contains("blocking")) continue;
          node.classList.add("blocking");
          node.append(" ", element("span", "badge reason", agent.reason));
        }
      }
    }
  }
}

function drawIdleAgent(agent) {
  const item = element("li", "idle-agent", agent.text);
  item.dataset.zone = agent.zone;
  return item;
}

function outcomeList(title, items, draw) {
  const section = element("div", "");
  section.append(element("b", "", title), element("ul", ""));
  section.lastChild.append(...items.map(draw));
  return section;
}

function setUpOutcomeDetails() {
  const { closed_gates: closed, idle_agents: idle } = data.outcome;
  const details = document.getElementById("outcome-details");
  details.replaceChildren();
  details.hidden = true;
  if (closed.length) {
    details.append(outcomeList(counted(closed.length, "gate") + " stayed closed", closed,
                               drawClosedGate));
  }
  if (idle.length) {
    details.append(outcomeList(counted(idle.length, "agent") + " never cast", idle,
                               drawIdleAgent));
  }
}

function labelOutcomeButton(button, more) {
  const hidden = document.getElementById("outcome-details").hidden;
  button.textContent = hidden ? "(and " + more + " more)" : "(show less)";
  button.setAttribute("aria-expanded", String(!hidden));
}

function setUpOutcome() {
  const { outcome, line, closed_gates: closed, idle_agents: idle } = data.outcome;
  const badge = document.getElementById("outcome");
  badge.textContent = outcome;
  badge.className = outcome.replace(/ /g, "-");
  badge.title = line;
  const note = document.getElementById("outcome-note");
  note.replaceChildren();
  setUpOutcomeDetails();
  const lines = [...closed, ...idle].map(item => item.text);
  if (lines.length === 0) {
    note.textContent = line;
    return;
  }
  note.textContent = lines[0];
  if (lines.length > 1) {
    const button = element("button", "", "");
    button.id = "outcome-more";
    button.addEventListener("click", () => {
      const details = document.getElementById("outcome-details");
      details.hidden = !details.hidden;
      labelOutcomeButton(button, lines.length - 1);
    });
    note.append(" ", button);
    labelOutcomeButton(button, lines.length - 1);
  }
}

// The designer's title and hint from the level file, always as text: a level's words never
// become markup.
function setUpDesignerText() {
  const line = document.getElementById("designer");
  const written = data.designer || {};
  line.replaceChildren();
  for (const name of ["title", "hint"]) {
    if (written[name]) line.append(element("span", "designer-" + name, written[name]));
  }
  line.hidden = line.childNodes.length === 0;
}
