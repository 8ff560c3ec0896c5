"use strict";
// The game: the player's placement of the open puzzle (with undo and redo), the board and the
// tray, running and hints through the engine (rules.js). input.js takes the taps, drags
// and keys; api.js gives the page API and starts the page.
const gameData = JSON.parse(document.getElementById("orv-game-data").textContent);
const byId = id => document.getElementById(id);

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

// The placement in the engine's form: slot zones in tree order, agents in placing order. A
// zone that is no slot (only a move being checked can name one) comes after them, for the
// engine to refuse.
function placement() {
  const slots = puzzleNow().slots;
  const zones = [...slots, ...[...game.zones.keys()].filter(zone => !slots.includes(zone))];
  return zones.filter(zone => (game.zones.get(zone) || []).length)
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

// Run the level with the placement: the engine plays it whole, then the page animates it.
// Throws the engine's refusal (a puzzle that wants every agent placed, say).
function run() {
  const puzzle = puzzleNow();
  const used = placement().reduce((sum, zone) => sum + zone.agents.length, 0);
  const played = Rules.play(puzzle.text, placement());
  const found = verdict(played.outcome);
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
