"use strict";
// The game: the player's placement of the open puzzle (with undo and redo), the board and the
// tray, running and hints through the engine (rules.js), the keyboard, dragging, and the page
// API ``window.orvGame``.
const gameData = JSON.parse(document.getElementById("orv-game-data").textContent);
const byId = id => document.getElementById(id);
const DRAG_DISTANCE = 8;

const game = {
  puzzles: gameData.puzzles,
  progress: new Progress(gameData.title),
  index: -1,
  level: null,        // the open puzzle's level file, parsed
  hand: [],           // its hand agents
  zones: new Map(),   // slot zone id -> hand indices placed there, in order
  history: [],
  future: [],
  selected: null,     // the hand index of the tile picked up
  playback: null,
  result: null,       // the last run's verdict, agents used and fewest
  message: "",
};

function puzzleNow() {
  return game.puzzles[game.index];
}

// The placement in the engine's form: slot zones in tree order, agents in placing order.
function placement() {
  return puzzleNow().slots.filter(zone => (game.zones.get(zone) || []).length)
    .map(zone => ({ zone, agents: game.zones.get(zone).map(i => game.hand[i].visual_id) }));
}

function placedZone(handIndex) {
  for (const [zone, placed] of game.zones) if (placed.includes(handIndex)) return zone;
  return null;
}

function snapshot() {
  return JSON.stringify([...game.zones]);
}

function restore(text) {
  game.zones = new Map(JSON.parse(text));
}

// Change the placement through ``change`` (which edits a copy), if the engine takes the
// result; the refusal otherwise, as an Error with its words.
function changePlacement(change) {
  const before = snapshot();
  change();
  const refusal = Rules.refusal(puzzleNow().text, placement());
  if (refusal) {
    restore(before);
    throw new Error(refusal);
  }
  game.history.push(before);
  game.future = [];
  game.selected = null;
  game.message = "";
  leaveRun();
  draw();
}

// Put a hand agent into a zone: at the end of those placed there, or before the placed hand
// agent ``before`` (the order matters among agents of one priority).
function place(handIndex, zone, before) {
  changePlacement(() => {
    for (const placed of game.zones.values()) {
      const at = placed.indexOf(handIndex);
      if (at >= 0) placed.splice(at, 1);
    }
    if (!game.zones.has(zone)) game.zones.set(zone, []);
    const placed = game.zones.get(zone);
    const at = placed.indexOf(before);
    placed.splice(at < 0 ? placed.length : at, 0, handIndex);
  });
}

function take(handIndex) {
  changePlacement(() => {
    for (const placed of game.zones.values()) {
      const at = placed.indexOf(handIndex);
      if (at >= 0) placed.splice(at, 1);
    }
  });
}

function travel(from, to) {
  if (!from.length) return;
  to.push(snapshot());
  restore(from.pop());
  game.selected = null;
  leaveRun();
  draw();
}

function reset() {
  if (![...game.zones.values()].some(p => p.length)) return;
  changePlacement(() => game.zones.clear());
}

function tryOrSay(action) {
  try {
    action();
  } catch (error) {
    say(error.message, "refused");
  }
}

function say(text, kind) {
  game.message = text;
  const box = byId("message");
  box.hidden = !text;
  box.className = kind || "";
  box.textContent = text;
}

// What the player does with a tile or a zone: pick a tile up, put it down, take it back.
function tileChosen(handIndex) {
  if (game.playback) leaveRun();
  if (placedZone(handIndex) !== null && game.selected === null) {
    tryOrSay(() => take(handIndex));
    return;
  }
  game.selected = game.selected === handIndex ? null : handIndex;
  draw();
}

function zoneChosen(zone) {
  if (game.selected === null) return;
  const handIndex = game.selected;
  tryOrSay(() => place(handIndex, zone));
}

function open(index) {
  leaveRun();
  game.index = Math.max(0, Math.min(index, game.puzzles.length - 1));
  game.level = JSON.parse(puzzleNow().text);
  game.hand = game.level.hand;
  game.zones = new Map();
  game.history = [];
  game.future = [];
  game.selected = null;
  game.result = null;
  byId("levels").hidden = true;
  byId("levels-button").setAttribute("aria-expanded", "false");
  say("");
  draw();
}

// The level as it would start: the puzzle's zones with the placed agents after their own.
function placedLevel() {
  const level = JSON.parse(puzzleNow().text);
  const visit = zone => {
    for (const index of game.zones.get(zone.id) || []) {
      zone.agents.push({ name: game.hand[index].name, visual_id: game.hand[index].visual_id });
    }
    zone.sub_environments.forEach(visit);
  };
  visit(level);
  return level;
}

// Run the level with the placement: the engine plays it whole, then the page animates it.
// Throws the engine's refusal (a puzzle that wants every agent placed, say).
function run() {
  const puzzle = puzzleNow();
  const used = placement().reduce((sum, zone) => sum + zone.agents.length, 0);
  const played = Rules.play(puzzle.text, placement());
  const found = verdict(played.frames.map(text => JSON.parse(text)), played.steps,
                        placedLevel());
  leaveRun();
  say("");
  game.result = null;
  byId("playback").hidden = false;
  byId("controls").classList.add("running");
  game.playback = new Playback(byId("board"), byId("caption"), played,
                               drawPlaybackControls, () => finished(found, used));
  game.playback.play();
  return { played, found };
}

function finished(found, used) {
  game.result = { ...found, used, fewest: null };
  if (found.outcome === "solved") {
    game.result.fewest = Rules.fewestAgents(puzzleNow().text);
    game.progress.solved(puzzleNow(), used);
    const fewest = game.result.fewest;
    say("Solved with " + used + (used === 1 ? " agent" : " agents") +
        (fewest === null ? "." : "; the fewest that can do it: " + fewest + "."), "solved");
    const next = game.progress.nextUnsolved(game.puzzles, game.index);
    if (next !== game.index) {
      const button = element("button", "next", "Next level \u203A");
      button.type = "button";
      button.addEventListener("click", () => open(next));
      byId("message").append(" ", button);
    }
  } else {
    say((found.outcome === "stuck" ? "Stuck. " : "Out of steps. ") + found.causes.join(" "),
        "stuck");
    for (const node of byId("board").querySelectorAll(".zone")) {
      if (found.zones.includes(node.dataset.id)) node.classList.add("cause");
    }
  }
  drawLevels();
  drawPlaybackControls();
}

function leaveRun() {
  if (!game.playback) return;
  game.playback.stop();
  game.playback = null;
  byId("playback").hidden = true;
  byId("controls").classList.remove("running");
  byId("caption").textContent = "";
  draw();
}

// A hint from the engine, said in the message; the tile it names is picked up (to place) or
// marked (to take back), and the zone it names marked.
function hint() {
  leaveRun();
  const given = Rules.hint(puzzleNow().text, placement());
  const placing = given.action === "place";
  const target = given.visual_id === undefined ? -1 : game.hand.findIndex((agent, i) =>
    agent.visual_id === given.visual_id && (placedZone(i) === null) === placing);
  game.selected = placing && target >= 0 ? target : null;
  draw();
  say(given.text, "hint");
  const zone = given.zone_id && byId("board").querySelector(
    '.zone[data-id="' + CSS.escape(given.zone_id) + '"]');
  if (zone) zone.classList.add("hinted");
  if (given.action === "remove" && target >= 0) {
    const tile = byId("board").querySelector('.placed .tile[data-hand="' + target + '"]');
    if (tile) tile.classList.add("hinted");
  }
  return given;
}

// Drawing the open puzzle: the tray, the board with its slot zones and placed tiles.
function draw() {
  if (game.index < 0) return;
  const puzzle = puzzleNow();
  byId("level-title").textContent = puzzle.title;
  byId("level-number").textContent = (game.index + 1) + " / " + game.puzzles.length;
  byId("level-hint").textContent = puzzle.hint;
  const tray = byId("tray");
  tray.replaceChildren(...game.hand.map((agent, i) => placedZone(i) === null
    ? drawTile(agent, i, game.selected === i) : null).filter(Boolean));
  if (!tray.children.length) tray.append(element("span", "empty", "every agent is placed"));
  byId("undo").disabled = !game.history.length;
  byId("redo").disabled = !game.future.length;
  byId("reset").disabled = !placement().length;
  if (game.playback) return;
  const slots = new Set(puzzle.slots);
  byId("board").replaceChildren(drawZones(game.level, (node, zone) => {
    if (!slots.has(zone.id)) return;
    node.classList.add("slot");
    if (game.selected !== null) node.classList.add("target");
    const head = node.querySelector(":scope > .zone-head");
    const button = element("button", "put", game.selected === null ? "slot" : "place here");
    button.type = "button";
    button.dataset.zone = zone.id;
    button.setAttribute("aria-label", "place the picked agent in " + zone.id);
    head.append(button);
    const placed = element("div", "placed");
    for (const index of game.zones.get(zone.id) || []) {
      placed.append(drawTile(game.hand[index], index, game.selected === index));
    }
    node.querySelector(":scope > .agents").after(placed);
  }));
  drawLevels();
}

function drawLevels() {
  drawLevelList(byId("level-list"), game.puzzles, game.progress, game.index, open);
}

function drawPlaybackControls() {
  const playback = game.playback;
  if (!playback) return;
  byId("pause").textContent = playback.playing ? "\u275A\u275A Pause" : "\u25B6 Play";
  byId("step-count").textContent = "step " + playback.shown + " of " + playback.frames.length;
}

// Taps and clicks: one listener for the tray and the board.
function onClick(event) {
  if (game.dragged) return;
  const tile = event.target.closest(".tile");
  if (tile) {
    tileChosen(Number(tile.dataset.hand));
    return;
  }
  const zone = event.target.closest(".zone.slot");
  if (zone && !game.playback) zoneChosen(zone.dataset.id);
}

// Dragging a tile onto a zone places it there; onto the tray takes it back.
function onPointerDown(event) {
  const tile = event.target.closest(".tile");
  if (!tile || event.button !== 0) return;
  const start = { x: event.clientX, y: event.clientY };
  const handIndex = Number(tile.dataset.hand);
  let ghost = null;
  game.dragged = false;
  const move = moved => {
    if (!ghost && Math.hypot(moved.clientX - start.x, moved.clientY - start.y) < DRAG_DISTANCE) {
      return;
    }
    if (!ghost) {
      ghost = tile.cloneNode(true);
      ghost.classList.add("ghost");
      document.body.append(ghost);
    }
    ghost.style.left = moved.clientX + "px";
    ghost.style.top = moved.clientY + "px";
  };
  const up = ended => {
    document.removeEventListener("pointermove", move);
    document.removeEventListener("pointerup", up);
    if (!ghost) return;
    ghost.remove();
    game.dragged = true;
    setTimeout(() => { game.dragged = false; }, 0);
    const below = document.elementFromPoint(ended.clientX, ended.clientY);
    const zone = below && below.closest(".zone.slot");
    // Dropped on a placed tile: before it, which reorders the agents of a zone.
    const tile = below && below.closest(".placed .tile");
    const before = tile && tile.closest(".zone") === zone ? Number(tile.dataset.hand) : undefined;
    if (zone && !game.playback) tryOrSay(() => place(handIndex, zone.dataset.id, before));
    else if (below && below.closest("#tray-panel") && placedZone(handIndex) !== null) {
      tryOrSay(() => take(handIndex));
    }
  };
  document.addEventListener("pointermove", move);
  document.addEventListener("pointerup", up);
}

function onKey(event) {
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  if (event.target.closest && event.target.closest("input, select, textarea")) return;
  const key = event.key;
  if (key === "u") travel(game.history, game.future);
  else if (key === "U") travel(game.future, game.history);
  else if (key === "r") tryOrSay(run);
  else if (key === "h") hint();
  else if (key === "Escape") {
    game.selected = null;
    leaveRun();
    draw();
  } else if (key === " " && game.playback) game.playback.toggle();
  else if (key === "ArrowRight" && game.playback) game.playback.step();
  else if (key === "Enter" && event.target.closest && event.target.closest(".tile, .put")) {
    // Taken here rather than as the button's click, so that every browser and every way of
    // sending keys does the same.
    const tile = event.target.closest(".tile");
    if (tile) tileChosen(Number(tile.dataset.hand));
    else if (!game.playback) zoneChosen(event.target.closest(".zone").dataset.id);
    refocus(event.target);
  } else return;
  event.preventDefault();
}

// After a redraw the focused button is a new element: focus its successor, so that the
// keyboard stays where the player was.
function refocus(before) {
  const selector = before.dataset.zone ? '.put[data-zone="' + CSS.escape(before.dataset.zone) + '"]'
    : before.dataset.hand ? '.tile[data-hand="' + before.dataset.hand + '"]' : null;
  const again = selector && document.querySelector(selector);
  if (again) again.focus();
}

function wire() {
  for (const area of [byId("tray"), byId("board")]) {
    area.addEventListener("click", onClick);
    area.addEventListener("pointerdown", onPointerDown);
  }
  document.addEventListener("keydown", onKey);
  byId("run").addEventListener("click", () => tryOrSay(run));
  byId("undo").addEventListener("click", () => travel(game.history, game.future));
  byId("redo").addEventListener("click", () => travel(game.future, game.history));
  byId("reset").addEventListener("click", () => tryOrSay(reset));
  byId("hint").addEventListener("click", () => hint());
  byId("pause").addEventListener("click", () => game.playback && game.playback.toggle());
  byId("step").addEventListener("click", () => game.playback && game.playback.step());
  byId("replay").addEventListener("click", () => game.playback && game.playback.replay());
  byId("edit").addEventListener("click", () => leaveRun());
  byId("levels-button").addEventListener("click", () => {
    const list = byId("levels");
    list.hidden = !list.hidden;
    byId("levels-button").setAttribute("aria-expanded", String(!list.hidden));
  });
}

function handIndexOf(visualId, placed) {
  const index = game.hand.findIndex((agent, i) =>
    agent.visual_id === visualId && (placedZone(i) !== null) === placed);
  if (index < 0) {
    throw new Error(game.hand.some(a => a.visual_id === visualId)
      ? 'hand agent "' + visualId + '" is ' + (placed ? "not placed" : "already placed")
      : 'no agent of the hand has the visual id "' + visualId + '"');
  }
  return index;
}

// The page's API, for embedding and automation. ``ready`` settles once the engine is loaded
// and the first puzzle is open.
let markReady;
window.orvGame = {
  puzzles: game.puzzles.map(p => ({ title: p.title, hint: p.hint })),
  ready: new Promise(resolve => { markReady = resolve; }),
  open(index) { open(index); return this.state(); },
  place(visualId, zoneId) {
    if (!puzzleNow().slots.includes(zoneId)) {
      throw new Error('"' + zoneId + '" is not a zone the hand may go into');
    }
    place(handIndexOf(visualId, false), zoneId);
    return this.state();
  },
  remove(visualId) { take(handIndexOf(visualId, true)); return this.state(); },
  undo() { travel(game.history, game.future); return this.state(); },
  redo() { travel(game.future, game.history); return this.state(); },
  reset() { reset(); return this.state(); },
  hint() { return hint(); },
  run() {
    return new Promise(resolve => {
      const { played, found } = run();
      resolve({ outcome: found.outcome, causes: found.causes, frames: played.frames });
    });
  },
  state() {
    return {
      index: game.index,
      title: game.index >= 0 ? puzzleNow().title : null,
      placement: game.index >= 0 ? placement() : [],
      unplaced: game.hand.filter((a, i) => placedZone(i) === null).map(a => a.visual_id),
      canUndo: game.history.length > 0,
      canRedo: game.future.length > 0,
      running: game.playback !== null && game.playback.playing,
      shownSteps: game.playback ? game.playback.shown : 0,
      result: game.result,
      message: game.message,
      progress: game.puzzles.map(p => game.progress.of(p)),
    };
  },
};

Rules.load().then(() => {
  byId("loading").remove();
  wire();
  if (!game.puzzles.length) {
    say("This page holds no puzzle.", "stuck");
    return;
  }
  open(game.progress.nextUnsolved(game.puzzles));
  document.documentElement.dataset.ready = "true";
  markReady();
}, error => {
  byId("loading").textContent = "The engine could not start: " + error.message;
});
