"use strict";
// The editing panel's form: one box per zone with its id, its charges, its agents and the
// buttons that add to it, the boxes of its sub-zones inside. Every control commits its edit
// when its value is changed (Enter, or leaving the field), and the form is drawn again.

function button(text, className, onClick, title) {
  const node = element("button", className, text);
  node.type = "button";
  if (title) node.title = title;
  node.addEventListener("click", onClick);
  return node;
}

function field(node, key, read, commit) {
  node.dataset.field = key;
  node.addEventListener("change", () => commit(read(node)));
  return node;
}

function textField(value, key, commit, label) {
  const node = element("input", "");
  node.type = "text";
  node.value = value;
  node.setAttribute("aria-label", label);
  return field(node, key, input => input.value, commit);
}

// A number, or the engine's null for one that is not a number (an empty field).
function numberField(value, key, commit, label) {
  const node = element("input", "");
  node.type = "number";
  node.step = "any";
  node.placeholder = "NaN";
  node.value = value === null ? "" : String(value);
  node.setAttribute("aria-label", label);
  return field(node, key, input => {
    const number = input.value.trim() === "" ? NaN : Number(input.value);
    return Number.isFinite(number) ? number : null;
  }, commit);
}

function choiceField(choices, value, key, commit, label) {
  const node = element("select", "");
  for (const [choice, text] of choices) {
    const option = element("option", "", text);
    option.value = choice;
    node.append(option);
  }
  node.value = value;
  node.setAttribute("aria-label", label);
  return field(node, key, select => select.value, commit);
}

function chargeRow(charge, path, index) {
  const key = path + "|charge|" + index;
  const set = (name) => (value) => edit(() => { zoneAt(path).charges[index][name] = value; });
  const row = element("div", "edit-row charge-row");
  row.append(
      choiceField(POLARITIES, charge.polarity, key + "|polarity", set("polarity"), "polarity"),
      numberField(charge.magnitude, key + "|magnitude", set("magnitude"), "magnitude"),
      textField(charge.visual_id, key + "|visual_id", set("visual_id"), "visual id"),
      button("\u2715", "delete", () => edit(() => zoneAt(path).charges.splice(index, 1)),
             "Delete this charge"));
  return row;
}

function kindLabel(name) {
  const kind = element("span", "kind", name);
  kind.title = name + ": " + ((KINDS.get(name) || {}).explains || "");
  return kind;
}

// Moves item index of list by step (-1 up, +1 down); their order decides who casts first
// among equal priorities.
function moved(list, index, step) {
  const [item] = list.splice(index, 1);
  list.splice(index + step, 0, item);
}

function orderButtons(list, index, listOf) {
  const up = button("\u2191", "move-up", () => edit(() => moved(listOf(), index, -1)), "Move up");
  const down = button("\u2193", "move-down", () => edit(() => moved(listOf(), index, 1)),
                      "Move down");
  up.disabled = index === 0;
  down.disabled = index === list.length - 1;
  return [up, down];
}

function agentRow(agent, path, index) {
  const key = path + "|agent|" + index;
  const set = (name) => (value) => edit(() => { zoneAt(path).agents[index][name] = value; });
  const row = element("div", "edit-row agent-row");
  row.append(kindLabel(agent.name), textField(agent.visual_id, key + "|visual_id",
                                              set("visual_id"), "visual id"));
  if ("target_value" in agent) {
    const rules = (KINDS.get(agent.name) || {}).rules;
    row.append(element("span", "", rules ? "target" : "target ="));
    if (rules) {
      row.append(choiceField(rules.map(rule => [rule, RULES[rule]]), agent.rule,
                             key + "|rule", set("rule"), "the rule the zone's total must meet"));
    }
    row.append(numberField(agent.target_value, key + "|target", set("target_value"),
                           "target"));
  }
  const agents = zoneAt(path).agents;
  row.append(...orderButtons(agents, index, () => zoneAt(path).agents),
             button("\u2715", "delete", () => edit(() => zoneAt(path).agents.splice(index, 1)),
                    "Delete this agent"));
  return row;
}

function newAgent(name) {
  const kind = KINDS.get(name);
  const agent = { name, visual_id: freshId(kind.id_base) };
  if (kind.gate) agent.target_value = 0;
  if (kind.rules) agent.rule = kind.rules[0];
  return agent;
}

// A choice of kinds, each explained on hover, with the chosen kind's rule shown below it.
function kindPalette(kinds, key, explanation) {
  const palette = choiceField(kinds.map(kind => [kind.name, kind.name]), kinds[0].name, key,
                              () => {}, "agent kind");
  for (const option of palette.options) option.title = KINDS.get(option.value).explains;
  const explain = () => { explanation.textContent = KINDS.get(palette.value).explains; };
  palette.addEventListener("change", explain);
  explain();
  return palette;
}

function addButtons(path) {
  const adds = element("div", "edit-adds");
  const explanation = element("p", "kind-rule");
  const palette = kindPalette(studio.kinds, path + "|palette", explanation);
  adds.append(
      button("+ charge", "add-charge", () => edit(() => zoneAt(path).charges.push(
          { magnitude: 1, polarity: "positive", visual_id: freshId("charge") }))),
      palette,
      button("+ agent", "add-agent", () => edit(() => zoneAt(path).agents.push(
          newAgent(palette.value)))),
      button("+ zone", "add-zone", () => edit(() => zoneAt(path).sub_environments.push(
          { agents: [], charges: [], id: freshId("zone", true), sub_environments: [] }))),
      explanation);
  return adds;
}

function removeZone(path) {
  const cut = path.lastIndexOf(".");
  const parent = zoneAt(cut < 0 ? "" : path.slice(0, cut));
  parent.sub_environments.splice(Number(path.slice(cut + 1)), 1);
  // The slots follow: a deleted zone (and every zone inside it) is no slot any more.
  if (Array.isArray(level.slots)) {
    const left = new Set(everyZone().map(zone => zone.id));
    level.slots = level.slots.filter(id => left.has(id));
  }
}

// A renamed zone keeps its place among the slots.
function renameZone(path, id) {
  const zone = zoneAt(path);
  if (Array.isArray(level.slots)) {
    level.slots = level.slots.map(slot => slot === zone.id ? id : slot);
  }
  zone.id = id;
}

function zoneEditor(zone, path) {
  const box = element("fieldset", "edit-zone");
  box.dataset.path = path;
  const legend = element("legend", "");
  legend.append(textField(zone.id, path + "|id", value => edit(() => renameZone(path, value)),
                          "zone id"));
  if (Array.isArray(level.hand)) legend.append(slotBox(zone, path));
  if (path !== "") {
    legend.append(" ", button("delete zone", "delete delete-zone",
                              () => edit(() => removeZone(path))));
  }
  box.append(legend, element("h3", "", counted(zone.charges.length, "charge")));
  zone.charges.forEach((charge, index) => box.append(chargeRow(charge, path, index)));
  box.append(element("h3", "", counted(zone.agents.length, "agent")));
  zone.agents.forEach((agent, index) => box.append(agentRow(agent, path, index)));
  box.append(addButtons(path));
  zone.sub_environments.forEach((sub, index) => box.append(zoneEditor(sub, childPath(path,
                                                                                     index))));
  return box;
}

// Drawn again after every edit; the control that had the focus gets it back.
function drawEditor() {
  const focused = document.activeElement && document.activeElement.dataset ?
      document.activeElement.dataset.field : undefined;
  document.getElementById("editor").replaceChildren(handEditor(), zoneEditor(level, ""));
  if (focused) {
    const again = document.querySelector('[data-field="' + CSS.escape(focused) + '"]');
    if (again) again.focus();
  }
  updateState();
}
