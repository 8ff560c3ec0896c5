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
  return item;
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
