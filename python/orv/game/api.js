"use strict";
// The page API ``window.orvGame``, for embedding and automation, and the start of the page.
// The hand agent of ``visualId`` that is (``placed``) or is not in a zone. When there is none,
// the engine's refusal of the move (``move``, the placement it would make) is thrown.
function handIndexOf(visualId, placed, move) {
  const index = game.hand.findIndex((agent, i) =>
    agent.visual_id === visualId && (placedZone(i) !== null) === placed);
  if (index >= 0) return index;
  const refusal = move && Rules.refusal(puzzleNow().text, move);
  throw new Error(refusal || (game.hand.some(a => a.visual_id === visualId)
    ? 'hand agent "' + visualId + '" is not placed'
    : 'no agent of the hand has the visual id "' + visualId + '"'));
}

// The placement with one more agent at the end of a zone, as the engine would be asked to make.
function withAgent(visualId, zoneId) {
  const more = placement().map(zone => ({ zone: zone.zone, agents: zone.agents.slice() }));
  const there = more.find(zone => zone.zone === zoneId);
  if (there) there.agents.push(visualId);
  else more.push({ zone: zoneId, agents: [visualId] });
  return more;
}

// The page's API, for embedding and automation. ``ready`` settles once the engine is loaded
// and the first puzzle is open.
let markReady;
window.orvGame = {
  puzzles: game.puzzles.map(p => ({ title: p.title, hint: p.hint })),
  ready: new Promise(resolve => { markReady = resolve; }),
  open(index) { open(index); return this.state(); },
  // ``index``: the position among the hand agents already in the zone (default: the end).
  place(visualId, zoneId, index) {
    const there = game.zones.get(zoneId) || [];
    place(handIndexOf(visualId, false, withAgent(visualId, zoneId)), zoneId,
          index === undefined ? undefined : there[index]);
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
