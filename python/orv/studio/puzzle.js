"use strict";
// The panel's Puzzle box: the designer's title, hint and notes, and a puzzle's hand (added
// from the palette, reordered, removed), whether all of it must be used, and which zones are
// its slots. The server checks these keys with the level loader, as it checks a file.

const DESIGNER_KEYS = [["title", "title"], ["hint", "hint"], ["notes", "notes"]];

function designerFields() {
  const rows = DESIGNER_KEYS.map(([key, label]) => {
    const row = element("label", "edit-row designer-row", label + " ");
    // An empty text leaves the key out of the file.
    row.append(textField(level[key] || "", "|" + key, value => edit(() => {
      if (value === "") delete level[key]; else level[key] = value;
    }), label));
    return row;
  });
  return rows;
}

function handRow(agent, index) {
  const key = "|hand|" + index;
  const row = element("div", "edit-row hand-row");
  row.append(kindLabel(agent.name),
             textField(agent.visual_id, key + "|visual_id",
                       value => edit(() => { level.hand[index].visual_id = value; }),
                       "visual id"),
             ...orderButtons(level.hand, index, () => level.hand),
             button("\u2715", "delete", () => edit(() => level.hand.splice(index, 1)),
                    "Take this agent out of the hand"));
  return row;
}

function handEditor() {
  const box = element("fieldset", "edit-zone edit-puzzle");
  box.append(element("legend", "", "Puzzle"), ...designerFields());
  if (!Array.isArray(level.hand)) {
    box.append(button("Make it a puzzle: add a hand", "add-hand",
                      () => edit(() => { level.hand = []; })));
    return box;
  }
  box.append(element("h3", "", "hand: " + counted(level.hand.length, "agent") +
                     " for the player to place"));
  level.hand.forEach((agent, index) => box.append(handRow(agent, index)));
  const adds = element("div", "edit-adds");
  const explanation = element("p", "kind-rule");
  const palette = kindPalette(studio.kinds.filter(kind => !kind.gate), "|hand-palette",
                              explanation);
  const use = element("label", "", "use ");
  use.append(choiceField([["any", "any of the hand"], ["all", "all of the hand"]],
                         level.use || "any", "|use", value => edit(() => {
                           if (value === "any") delete level.use; else level.use = value;
                         }), "use"));
  adds.append(palette, button("+ hand agent", "add-hand-agent", () => edit(() =>
      level.hand.push(newAgent(palette.value)))), use,
              button("remove the hand", "delete remove-hand", () => edit(() => {
                delete level.hand; delete level.slots; delete level.use;
              })), explanation);
  box.append(adds);
  return box;
}

// A zone is a slot when "slots" lists it, or when there is no "slots" (every zone is one).
function slotBox(zone, path) {
  const label = element("label", "slot", " slot");
  const box = element("input", "");
  box.type = "checkbox";
  box.checked = !Array.isArray(level.slots) || level.slots.includes(zone.id);
  box.title = "The hand's agents may be placed in this zone";
  label.prepend(field(box, path + "|slot", input => input.checked, checked => edit(() => {
    const slots = Array.isArray(level.slots) ? level.slots :
        everyZone().map(each => each.id);
    const others = slots.filter(id => id !== zone.id);
    level.slots = checked ? [...others, zone.id] : others;
  })));
  return label;
}
