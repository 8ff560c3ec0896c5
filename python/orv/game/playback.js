"use strict";
// A run played back step by step: each frame drawn with what its step record says it did,
// the step's arithmetic as the caption, with pause, step and replay. The verdict and its
// causes are the engine's (verdict below only words them).
const STEP_MILLISECONDS = 700;

class Playback {
  constructor(board, caption, run, onStep, onEnd) {
    this.board = board;
    this.caption = caption;
    this.frames = run.frames.map(text => JSON.parse(text));
    this.steps = run.steps;
    this.onStep = onStep;
    this.onEnd = onEnd;
    this.shown = 0;
    this.timer = null;
  }

  get finished() {
    return this.shown >= this.frames.length;
  }

  get playing() {
    return this.timer !== null;
  }

  play() {
    if (this.finished) this.shown = 0;
    this.pause();
    const tick = () => {
      this.advance();
      this.timer = this.finished ? null : setTimeout(tick, STEP_MILLISECONDS);
      if (this.finished) this.onStep();
    };
    this.timer = setTimeout(tick, 0);
    this.onStep();
  }

  replay() {
    this.shown = 0;
    this.play();
  }

  pause() {
    if (this.timer !== null) clearTimeout(this.timer);
    this.timer = null;
  }

  toggle() {
    this.playing ? this.pause() : this.play();
    this.onStep();
  }

  step() {
    this.pause();
    if (this.finished) this.shown = 0;
    this.advance();
  }

  stop() {
    this.pause();
  }

  advance() {
    const index = this.shown;
    drawFrame(this.board, this.frames[index], this.steps[index]);
    this.caption.textContent = this.steps[index].text;
    this.caption.className = "step-" + this.steps[index].step;
    this.shown = index + 1;
    this.onStep();
    if (this.finished) this.onEnd();
  }
}

// The verdict of a run and what kept its gates closed, in a player's words, from the outcome
// the engine tells of it (the same causes `orv play` gives): each closed gate's line (it names
// the zones that kept it frozen), then the agents that never cast and why.
function verdict(outcome) {
  if (outcome.outcome === "solved" || outcome.outcome === "ended") {
    return { outcome: "solved", causes: [], zones: [] };
  }
  const zones = [];
  const causes = outcome.closed_gates.map(gate => {
    zones.push(gate.zone, ...gate.blocked_by.map(blocking => blocking.zone));
    return gate.text + ".";
  });
  const idle = outcome.idle_agents.filter(agent => !agent.removed);
  if (idle.length) causes.push("Never cast: " + idle.map(agent => agent.text).join("; ") + ".");
  return { outcome: outcome.outcome, causes, zones };
}
