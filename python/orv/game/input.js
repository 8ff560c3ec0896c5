"use strict";
// What the player does with the pointer and the keyboard: taps and clicks on tiles and zones,
// dragging tiles, and the keys.
const DRAG_DISTANCE = 8;

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
