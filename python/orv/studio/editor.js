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

function agentRow(agent, path, index) {
  const key = path + "|agent|" + index;
  const set = (name) => (value) => edit(() => { zoneAt(path).agents[index][name] = value; });
  const row = element("div", "edit-row agent-row");
  const kind = element("span", "kind", agent.name);
  kind.title = agent.name;
  row.append(kind, textField(agent.visual_id, key + "|visual_id", set("visual_id"),
                             "visual id"));
  if ("target_value" in agent) {
    const rules = (KINDS.get(agent.name) || {}).rules;
    if (rules) {
      row.append(choiceField(rules.map(rule => [rule, RULES[rule]]), agent.rule,
                             key + "|rule", set("rule"), "the rule the zone's total must meet"));
    } else {
      row.append(element("span", "", "="));
    }
    row.append(numberField(agent.target_value, key + "|target", set("target_value"),
                           "target"));
  }
  row.append(button("\u2715", "delete", () => edit(() => zoneAt(path).agents.splice(index, 1)),
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

function addButtons(path) {
  const adds = element("div", "edit-adds");
  const palette = choiceField(studio.kinds.map(kind => [kind.name, kind.name]),
                              studio.kinds[0].name, path + "|palette", () => {}, "agent kind");
  adds.append(
      button("+ charge", "add-charge", () => edit(() => zoneAt(path).charges.push(
          { magnitude: 1, polarity: "positive", visual_id: freshId("charge") }))),
      palette,
      button("+ agent", "add-agent", () => edit(() => zoneAt(path).agents.push(
          newAgent(palette.value)))),
      button("+ zone", "add-zone", () => edit(() => zoneAt(path).sub_environments.push(
          { agents: [], charges: [], id: freshId("zone", true), sub_environments: [] }))));
  return adds;
}

function removeZone(path) {
  const cut = path.lastIndexOf(".");
  const parent = zoneAt(cut < 0 ? "" : path.slice(0, cut));
  parent.sub_environments.splice(Number(path.slice(cut + 1)), 1);
}

function zoneEditor(zone, path) {
  const box = element("fieldset", "edit-zone");
  box.dataset.path = path;
  const legend = element("legend", "");
  legend.append(textField(zone.id, path + "|id", value => edit(() => { zoneAt(path).id = value; }),
                          "zone id"));
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
  document.getElementById("editor").replaceChildren(zoneEditor(level, ""));
  if (focused) {
    const again = document.querySelector('[data-field="' + CSS.escape(focused) + '"]');
    if (again) again.focus();
  }
  updateState();
}

// ---- the solver's answers ----

function placementText(placement) {
  if (!placement.length) return "place nothing";
  return placement.map(({ zone, agents }) => zone + " \u2190 " + agents.join(", ")).join("; ");
}

// Moves the placed agents from the hand into their zones.
function applySolution(placement) {
  for (const { zone, agents } of placement) {
    const target = everyZone().find(candidate => candidate.id === zone);
    for (const id of agents) {
      const index = level.hand.findIndex(agent => agent.visual_id === id);
      if (target && index >= 0) target.agents.push(level.hand.splice(index, 1)[0]);
    }
  }
}

async function solve() {
  const panel = document.getElementById("solutions");
  panel.hidden = false;
  panel.replaceChildren(element("b", "", "Solving\u2026"));
  const { status, answer } = await call("api/solve", levelText(level));
  if (status !== 200) {
    panel.replaceChildren(element("b", "", "No solutions: " +
                                  problemsOf(answer).map(p => p.problem).join("; ")));
    return;
  }
  const list = element("ul", "");
  for (const placement of answer.solutions) {
    const item = element("li", "", placementText(placement) + " ");
    item.append(button("Apply", "apply", () => edit(() => applySolution(placement))));
    list.append(item);
  }
  panel.replaceChildren(element("b", "", counted(answer.solutions.length, "solution") +
                                (answer.complete ? "" : " (the search was cut short)")), list);
}
