"use strict";
// The zone tree of a frame: nested boxes with their charges and agents, and what the step
// changed in them.
const folded = new Set();
// A zone's agents past this many are drawn when asked for (a level may hold thousands, and
// drawing them all would hold every frame back); those the step changed and gates always are.
const AGENTS_AT_FIRST = 40;
const unfoldedAgents = new Set();

// A charge as its polarity's sign and its magnitude; a negative magnitude (possible in a
// level file) keeps its own sign in brackets, so the polarity is never hidden.
function chargeText(charge) {
  const magnitude = formatNumber(charge.magnitude);
  return SIGNS[charge.polarity] + (magnitude.startsWith("-") ? "(" + magnitude + ")" : magnitude);
}

function drawCharge(index, kind) {
  const charge = data.charges[index];
  const node = element("span", "charge " + charge.polarity + (kind ? " " + kind : ""));
  node.dataset.polarity = charge.polarity;
  node.append(element("b", "value", chargeText(charge)), " ",
              element("small", "visual-id", charge.visual_id));
  node.title = (kind === "consumed" ? "consumed: " : "") + charge.polarity + " " +
               formatNumber(charge.magnitude) + " (" + charge.visual_id + ")";
  return node;
}
// A departed agent is drawn as it was in the frame before, when it had not yet cast; its
// note ("cast" or "opened") replaces the state and gate badges of that frame.
function drawAgent(index, extraClass, note, total) {
  const agent = data.agents[index];
  const node = element("li", "agent " + agent.state + (extraClass ? " " + extraClass : ""));
  node.dataset.visualId = agent.visual_id;
  node.append(element("span", "name", agent.name), " ",
              element("small", "visual-id", "(" + agent.visual_id + ")"));
  if (!note) node.append(" ", element("span", "badge state", agent.state));
  if ("is_open" in agent) {
    node.classList.add("gate", agent.is_open || note ? "open" : "closed");
    if (note) node.classList.add("opened");
    if (!note) {
      node.append(" ", element("span", "badge gate-state", agent.is_open ? "open" : "closed"));
    }
    const rule = "rule" in agent ? RULES[agent.rule] : "=";
    const goal = element("small", "goal", "target " + rule + " " +
                         formatNumber(agent.target_value));
    if (!note) {
      goal.append(" \u00B7 ", element("span", "now",
                                       "now " + (total === null ? "empty" : formatNumber(total))));
    }
    node.append(" ", goal);
  }
  if (note) node.append(" ", element("span", "badge note", note));
  return node;
}

function changedWithin(path, changes) {
  return Object.keys(changes).some(p => path === "" || p === path || p.startsWith(path + "."));
}

function zoneTitle(zone, path, ghost, isFolded) {
  const title = element("h2", "");
  title.append(element("span", "fold", isFolded ? "\u25B8" : "\u25BE"), zone.id);
  if (zone.frozen) title.append(element("span", "badge freeze", "time-frozen"));
  if (ghost) title.append(element("span", "badge", "collapsed into its parent"));
  if (isFolded) {
    title.append(element("span", "folded-summary", counted(zone.charges.length, "charge") +
                         ", " + counted(zone.agents.length, "agent") + ", " +
                         counted(zone.subs.length, "zone")));
  }
  title.title = "Click to fold or unfold this zone";
  if (!ghost) {
    title.addEventListener("click", () => {
      folded.has(zone.id) ? folded.delete(zone.id) : folded.add(zone.id);
      show(shown, false);
    });
  }
  return title;
}

function moreAgents(zoneId, count) {
  const item = element("li", "more-agents");
  const button = element("button", "", "show " + counted(count, "more agent"));
  button.addEventListener("click", () => {
    unfoldedAgents.add(zoneId);
    show(shown, false);
  });
  item.append(button);
  return item;
}

function drawZone(zone, path, changes, ghost) {
  const change = (ghost ? null : changes[path]) || {};
  const isFolded = !ghost && folded.has(zone.id);
  const node = element("section", "zone" + (zone.frozen ? " frozen" : ""));
  if (ghost) node.classList.add("collapsed");
  if (!ghost && (changes[path] || (isFolded && changedWithin(path, changes)))) {
    node.classList.add("changed");
  }
  if (isFolded) node.classList.add("folded");
  if (!ghost) node.dataset.path = path;
  node.dataset.id = zone.id;
  node.append(zoneTitle(zone, path, ghost, isFolded));
  const charges = element("div", "charges");
  for (const c of change.consumed_charges || []) charges.append(drawCharge(c, "consumed"));
  const fresh = new Set(change.new_charges || []);
  zone.charges.forEach((c, i) => charges.append(drawCharge(c, fresh.has(i) ? "new" : "")));
  node.append(charges);
  const agents = element("ul", "agents");
  const changed = new Set(change.changed_agents || []);
  const total = zone.total === undefined ? null : zone.total;
  const everyAgent = ghost || unfoldedAgents.has(zone.id) || zone.agents.length <= AGENTS_AT_FIRST;
  let notDrawn = 0;
  zone.agents.forEach((a, i) => {
    if (everyAgent || i < AGENTS_AT_FIRST || changed.has(i) || "is_open" in data.agents[a]) {
      agents.append(drawAgent(a, changed.has(i) ? "changed" : "", "", total));
    } else {
      notDrawn += 1;
    }
  });
  if (notDrawn) agents.append(moreAgents(zone.id, notDrawn));
  for (const a of change.departed_agents || []) {
    agents.append(drawAgent(a, "departed", "is_open" in data.agents[a] ? "\u2713 opened" : "cast",
                            total));
  }
  node.append(agents);
  const subs = element("div", "subs");
  if (!isFolded) {
    zone.subs.forEach((sub, i) => subs.append(
        drawZone(sub, path === "" ? String(i) : path + "." + i, changes, ghost)));
    for (const gone of change.collapsed_zones || []) subs.append(drawZone(gone, "", {}, true));
  }
  node.append(subs);
  return node;
}

