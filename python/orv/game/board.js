"use strict";
// Drawing: the level's zones as nested boxes with their charges and agents, the hand as a
// tray of tiles, and a frame of a run with what its step record says the step did. Every
// text of a level goes in as text (textContent), never as markup.
const SIGNS = { positive: "+", negative: "\u2212", neutral: "\u00B1" };
const RULE_SIGNS = { "==": "=", "<": "<", ">": ">", "<=": "\u2264", ">=": "\u2265" };

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// A number as the package's narration writes it, in the engine's own words.
function formatNumber(value) {
  return Rules.engine.readableNumber(value);
}

function chargeText(charge) {
  const magnitude = formatNumber(charge.magnitude);
  return SIGNS[charge.polarity] + (magnitude.startsWith("-") ? "(" + magnitude + ")" : magnitude);
}

function isGate(agent) {
  return "target_value" in agent;
}

function gateGoal(agent) {
  return "total " + RULE_SIGNS["rule" in agent ? agent.rule : "=="] + " " +
         formatNumber(agent.target_value);
}

function drawCharge(charge, kind) {
  const node = element("span", "charge " + charge.polarity + (kind ? " " + kind : ""),
                       chargeText(charge));
  node.title = charge.polarity + " " + formatNumber(charge.magnitude) + " (" +
               charge.visual_id + ")";
  return node;
}

function drawAgent(agent, kind) {
  const node = element("li", "agent" + (isGate(agent) ? " gate" : "") + (kind ? " " + kind : ""));
  node.dataset.visualId = agent.visual_id;
  node.append(element("span", "name", agent.name), " ",
              element("small", "visual-id", agent.visual_id));
  if (isGate(agent)) node.append(" ", element("span", "goal", gateGoal(agent)));
  return node;
}

// A hand agent as a tile: in the tray, or placed in a zone.
function drawTile(agent, handIndex, selected) {
  const tile = element("button", "tile" + (selected ? " selected" : ""));
  tile.type = "button";
  tile.dataset.hand = String(handIndex);
  tile.dataset.visualId = agent.visual_id;
  tile.setAttribute("aria-pressed", selected ? "true" : "false");
  tile.append(element("span", "name", agent.name), " ",
              element("small", "visual-id", agent.visual_id));
  return tile;
}

// The zone tree under ``zone`` (a level file's or a frame's zone); ``decorate(node, zone,
// path)`` adds what the caller shows beyond the zone's own contents. Paths are the sub-zone
// indices from the top joined by ".", "" for the top.
function drawZones(zone, decorate, path = "") {
  const node = element("section", "zone" + (zone.is_time_frozen ? " frozen" : ""));
  node.dataset.id = zone.id;
  node.dataset.path = path;
  const head = element("h3", "zone-head");
  head.append(element("span", "zone-id", zone.id));
  if (zone.is_time_frozen) head.append(element("span", "badge", "frozen"));
  node.append(head);
  const charges = element("div", "charges");
  for (const charge of zone.charges) charges.append(drawCharge(charge));
  node.append(charges);
  const agents = element("ul", "agents");
  for (const agent of zone.agents) agents.append(drawAgent(agent));
  node.append(agents);
  decorate(node, zone, path);
  const subs = element("div", "subs");
  zone.sub_environments.forEach((sub, i) =>
    subs.append(drawZones(sub, decorate, path === "" ? String(i) : path + "." + i)));
  node.append(subs);
  return node;
}

function zoneAtPath(top, path) {
  let zone = top;
  for (const index of path) zone = zone && zone.sub_environments[index];
  return zone || null;
}

function zoneNode(board, path) {
  return board.querySelector('.zone[data-path="' + path.join(".") + '"]');
}

// A frame of a run, with what its step did: the consumed charges struck out before the
// ones it produced, the agent that cast or the gate that opened, and for a collapse the
// zone that took the charge in.
function drawFrame(board, frame, record) {
  board.replaceChildren(drawZones(frame, () => {}));
  if (!record || !record.zone) return;
  const path = record.step === "collapse" ? record.parent.path : record.zone.path;
  const node = zoneNode(board, path);
  if (!node) return;
  node.classList.add("changed", "step-" + record.step);
  const charges = node.querySelector(":scope > .charges");
  const zone = zoneAtPath(frame, path);
  const produced = record.step === "collapse" ? 1 : record.produced.length;
  const shown = [...charges.children];
  shown.slice(shown.length - Math.min(produced, zone.charges.length))
       .forEach(charge => charge.classList.add("new"));
  if (record.step === "spell") {
    for (const charge of record.consumed.slice().reverse()) {
      charges.prepend(drawCharge(charge, "consumed"));
    }
  }
  if (record.agent && (record.step === "spell" || record.step === "gate")) {
    const agent = record.step === "gate"
      ? { name: record.agent.name, visual_id: record.agent.visual_id,
          target_value: record.agent.target, rule: record.agent.rule }
      : record.agent;
    node.querySelector(":scope > .agents").append(
        drawAgent(agent, record.step === "gate" ? "opened" : "cast"));
  }
  if (record.step === "collapse") {
    node.querySelector(":scope > .subs").append(
        element("div", "collapsed-note", "zone " + record.zone.id + " collapsed into " +
                record.parent.id));
  }
}
