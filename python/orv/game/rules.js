"use strict";
// Every rule of the game the page applies comes from the browser engine, through these few
// calls: playing a placement, the fewest agents that solve a puzzle, whether a placement is
// one the puzzle allows, and a hint. The page itself knows no rule.
const Rules = {
  engine: null,
  fewest: new Map(),

  async load() {
    this.engine = await OrvEngine();
  },

  // The run of the puzzle with the placement: {frames, steps} (frame texts, step records).
  play(puzzleText, placement) {
    return this.engine.playPuzzle(puzzleText, placement);
  },

  // The size of the smallest placement that solves the puzzle (null if none is known).
  fewestAgents(puzzleText) {
    if (!this.fewest.has(puzzleText)) {
      const report = this.engine.solve(puzzleText, { maxSolutions: 1 });
      this.fewest.set(puzzleText, report.min_size);
    }
    return this.fewest.get(puzzleText);
  },

  // Why the puzzle refuses the placement, in the engine's words, or null when it takes it.
  // A placement being built may leave agents out of a puzzle that wants them all: the engine
  // says that only when the level is run.
  refusal(puzzleText, placement) {
    try {
      this.engine.checkPlacement(puzzleText, placement);
      return null;
    } catch (error) {
      if (error.name !== "PlacementError") throw error;
      return error.message.includes('"use" is "all"') ? null : error.message;
    }
  },

  // One next move toward a smallest solution that keeps the placement, as orv.Attempt.hint
  // gives it: {action: "place" | "remove" | "solved" | "none" | "unknown", visual_id,
  // zone_id, index, text}.
  hint(puzzleText, placement) {
    return this.engine.hint(puzzleText, placement);
  },
};
