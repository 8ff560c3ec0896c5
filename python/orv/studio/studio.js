"use strict";
// The studio's editing panel. The level is edited here as a level file's JSON; after every
// edit the server plays it and the viewer draws the new run at the frame shown before. Level
// text only ever reaches the page as textContent and input values.
const studio = JSON.parse(document.getElementById("orv-extra-data").textContent);
const POLARITIES = [["positive", "+ positive"], ["negative", "\u2212 negative"],
                    ["neutral", "\u00B1 neutral"]];
const KINDS = new Map(studio.kinds.map(kind => [kind.name, kind]));
const undone = [];
const redoable = [];
let level = studio.level;
let savedText = levelText(level);
let revision = studio.revision;
let playing = false;
let playAgain = false;
// The level with a solution applied, played instead of the level until an edit or Back.
let preview = null;

function levelText(value) {
  return JSON.stringify(value);
}

function dirty() {
  return levelText(level) !== savedText;
}

function childPath(path, index) {
  return path === "" ? String(index) : path + "." + index;
}

function zoneAt(path) {
  let zone = level;
  if (path !== "") for (const index of path.split(".")) zone = zone.sub_environments[index];
  return zone;
}

function everyZone() {
  const zones = [];
  const pending = [level];
  while (pending.length) {
    const zone = pending.pop();
    zones.push(zone);
    pending.push(...zone.sub_environments);
  }
  return zones;
}

// The first of base_1, base_2, ... that no charge, agent (or, for zones, zone) uses yet.
function freshId(base, zonesToo) {
  const used = new Set();
  for (const zone of everyZone()) {
    if (zonesToo) used.add(zone.id);
    for (const item of [...zone.charges, ...zone.agents]) used.add(item.visual_id);
  }
  for (const agent of level.hand || []) used.add(agent.visual_id);
  let number = 1;
  while (used.has(base + "_" + number)) number += 1;
  return base + "_" + number;
}

// ---- talking to the server ----

async function call(path, body) {
  const response = await fetch(path, { method: "POST", body,
    headers: { "Content-Type": "application/json", "X-Orv-Token": studio.token } });
  let answer;
  try {
    answer = await response.json();
  } catch (error) {
    answer = { error: "the studio's server answered " + response.status };
  }
  return { status: response.status, answer };
}

function problemsOf(answer) {
  return answer.problems || [{ place: "", problem: answer.error || "unknown error" }];
}

function showProblems(problems, title) {
  const section = document.getElementById("problems");
  section.hidden = problems.length === 0;
  section.querySelector("b").textContent = title || "The level cannot be played:";
  section.querySelector("ul").replaceChildren(...problems.map(({ place, problem }) => {
    const item = element("li", "");
    if (place) item.append(element("span", "place", place), ": ");
    item.append(problem);
    return item;
  }));
}

async function replay() {
  if (playing) {
    playAgain = true;
    return;
  }
  playing = true;
  updateState();
  try {
    const { status, answer } = await call("api/play", levelText(preview || level));
    if (status === 200) {
      showProblems([]);
      useData(answer.viewer);
      redraw(shown);
    } else {
      showProblems(problemsOf(answer));
    }
  } catch (error) {
    showProblems([{ place: "", problem: "the studio's server is not answering (" +
                    error.message + ")" }]);
  } finally {
    playing = false;
    if (playAgain) {
      playAgain = false;
      replay();
    }
    updateState();
  }
}

async function save(force) {
  let query = "?revision=" + encodeURIComponent(revision) + (force ? "&force=1" : "");
  try {
    const { status, answer } = await call("api/save" + query, levelText(level));
    if (status === 409) {
      if (confirm("The level file was changed on disk since the studio loaded it. " +
                  "Overwrite it with the level as you edited it?")) await save(true);
      return;
    }
    if (status !== 200) {
      showProblems(problemsOf(answer), "The level cannot be saved:");
      return;
    }
    // The file holds the engine's own form of the level; the page goes on from that.
    level = JSON.parse(answer.text);
    savedText = levelText(level);
    revision = answer.revision;
    studio.file = answer.file;
    drawEditor();
  } catch (error) {
    showProblems([{ place: "", problem: "not saved: the studio's server is not answering" }]);
  }
  updateState();
}

// The level file changed on disk: take it, unless that would drop edits the user declines
// to drop. Declined, the page keeps its revision, so saving asks before it overwrites.
function fileChanged(change) {
  if (change.removed) {
    revision = change.revision;
    savedText = "";
    updateState();
    return;
  }
  if (change.problems) {
    showProblems(change.problems, "The level file changed on disk and cannot be loaded:");
    return;
  }
  const disk = JSON.parse(change.text);
  if (levelText(disk) === levelText(level)) {
    revision = change.revision;
    savedText = levelText(level);
    updateState();
    return;
  }
  if (dirty() && !confirm("The level file was changed on disk by another editor. Load it " +
                          "and drop your unsaved edits? (Undo brings them back.)")) {
    return;
  }
  undone.push(levelText(level));
  redoable.length = 0;
  level = disk;
  savedText = levelText(level);
  revision = change.revision;
  changed();
}

// ---- edits, undo and redo ----

function edit(change) {
  undone.push(levelText(level));
  redoable.length = 0;
  change(level);
  changed();
}

function undo() {
  if (!undone.length) return;
  redoable.push(levelText(level));
  level = JSON.parse(undone.pop());
  changed();
}

function redo() {
  if (!redoable.length) return;
  undone.push(levelText(level));
  level = JSON.parse(redoable.pop());
  changed();
}

// Every change of the level (an edit, undo, redo, a reload from disk) drops the solver's
// answers and any preview: they answered a level that is no longer there.
function changed() {
  clearSolutions();
  endPreview();
  drawEditor();
  replay();
}

function updateState() {
  const state = document.getElementById("studio-state");
  const unsaved = dirty();
  state.textContent = playing ? "playing\u2026" : (unsaved ? "unsaved edits" : "saved") +
      (preview ? "; showing a solution's preview" : "");
  state.className = playing ? "busy" : unsaved ? "unsaved" : "";
  document.body.dataset.studio = playing ? "busy" : "ready";
  document.getElementById("undo").disabled = undone.length === 0;
  document.getElementById("redo").disabled = redoable.length === 0;
  document.getElementById("studio-file").textContent = studio.sample && revision === "" ?
      "bundled sample " + studio.sample + "; Save writes " + studio.file :
      "editing " + studio.file;
  document.getElementById("solve").hidden = !studio.solver;
}
