"use strict";
// The studio's editing panel. The level is edited here as a level file's JSON; after every
// edit the browser engine plays it in the page (run.js) and the viewer draws the new run at
// the frame shown before, as soon as the run has reached it. The server reads, writes and
// watches the file and asks the solver. Level text only ever reaches the page as textContent
// and input values.
const studio = JSON.parse(document.getElementById("orv-extra-data").textContent);
const POLARITIES = [["positive", "+ positive"], ["negative", "\u2212 negative"],
                    ["neutral", "\u00B1 neutral"]];
const KINDS = new Map(studio.kinds.map(kind => [kind.name, kind]));
const undone = [];
const redoable = [];
let level = studio.level;
let savedText = levelText(level);
let revision = studio.revision;
// The browser engine (null until it has started) and the run the viewer shows.
let engine = null;
let pageRun = null;
// When the last edit was played: the edit, its first frame drawn, its run ended
// (performance.now() times, read by bench/bench_studio.py).
const replayTimes = { edit: 0, firstFrame: 0, ended: 0 };
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

// Runs ``work`` once the page has handled what waits (input, drawing): a message, which,
// unlike a timer of 0 ms, browsers do not hold back to 4 ms when it repeats.
const slices = new MessageChannel();
let sliceWork = null;
slices.port1.onmessage = () => sliceWork();

function nextSlice(work) {
  sliceWork = work;
  slices.port2.postMessage(null);
}

// What waits for the new run's frame to be on screen (redrawing the panel), done once, by
// whichever run draws first.
let panelPending = null;

function runPending() {
  const pending = panelPending;
  panelPending = null;
  if (pending !== null) pending();
}

// Plays the level (or the solution's preview) in the page. The viewer draws the frame shown
// before as soon as the run reaches it; the rest of the run is played a slice at a time, and
// the charts and the outcome are drawn when it ends. ``afterDrawn`` runs once that frame is on
// screen, so that a large level's panel does not hold the frame back.
function replay(afterDrawn) {
  replayTimes.edit = performance.now();
  if (pageRun !== null) pageRun.stop();
  pageRun = null;
  if (afterDrawn) panelPending = afterDrawn;
  if (engine === null) {
    runPending();
    return;
  }
  let run;
  try {
    run = new PageRun(engine, levelText(preview || level), preview || level);
  } catch (error) {
    runPending();
    showProblems(error.problems || [{ place: "", problem: error.message }]);
    updateState();
    return;
  }
  showProblems([]);
  pageRun = run;
  const target = shown;
  let drawn = false;
  const drawIfReached = () => {
    if (drawn || (run.frames.length <= target && !run.finished)) return;
    drawn = true;
    useData(run.viewerData());
    redraw(target);
    replayTimes.firstFrame = performance.now();
  };
  const slice = () => {
    if (drawn) runPending();
    if (pageRun !== run) return;
    try {
      run.advance(performance.now() + STEP_SLICE_MILLISECONDS);
    } catch (error) {
      run.stop();
      pageRun = null;
      showProblems([{ place: "", problem: "the engine failed: " + error.message }]);
      updateState();
      return;
    }
    drawIfReached();
    if (run.finished) {
      useData(run.viewerData());
      redraw(shown);
      replayTimes.ended = performance.now();
      pageRun = null;
      updateState();
      runPending();
    } else {
      nextSlice(slice);
    }
  };
  drawIfReached();
  updateState();
  nextSlice(slice);
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

// The puzzle as it stands (saved or not) in the game page, in a tab of its own.
async function playtest() {
  // Opened at the click, as browsers let a click open a tab; the page comes into it later.
  const tab = window.open("", "_blank");
  if (!tab) {
    showProblems([{ place: "", problem: "the browser did not open a tab for the playtest; " +
                    "allow this page to open pop-ups" }]);
    return;
  }
  try {
    const response = await fetch("api/playtest", { method: "POST", body: levelText(level),
      headers: { "Content-Type": "application/json", "X-Orv-Token": studio.token } });
    if (response.status !== 200) {
      tab.close();
      const answer = await response.json().catch(() => ({}));
      showProblems(problemsOf(answer), "The puzzle cannot be playtested:");
      return;
    }
    const page = URL.createObjectURL(new Blob([await response.text()], { type: "text/html" }));
    tab.location.href = page;
  } catch (error) {
    tab.close();
    showProblems([{ place: "", problem: "no playtest: the studio's server is not answering" }]);
  }
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
  replay(drawEditor);
}

function updateState() {
  const state = document.getElementById("studio-state");
  const unsaved = dirty();
  const playing = pageRun !== null || engine === null;
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
  document.getElementById("playtest").hidden = !Array.isArray(level.hand);
}
