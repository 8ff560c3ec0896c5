"use strict";
// A run played back step by step: each frame drawn with what its step record says it did,
// the step's arithmetic as the caption, with pause, step and replay. The verdict (solved or
// stuck) and what kept a gate closed are read off the engine's frames and step records.
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

// Every gate of a level, in tree order, as {zone, agent}.
function gatesOf(top) {
  const gates = [];
  const visit = zone => {
    for (const agent of zone.agents) if (isGate(agent)) gates.push({ zone: zone.id, agent });
    zone.sub_environments.forEach(visit);
  };
  visit(top);
  return gates;
}

function zonesBelow(zone) {
  const found = [];
  const visit = z => { found.push(z); z.sub_environments.forEach(visit); };
  zone.sub_environments.forEach(visit);
  return found;
}

function findZone(top, id) {
  if (top.id === id) return top;
  for (const sub of top.sub_environments) {
    const found = findZone(sub, id);
    if (found) return found;
  }
  return null;
}

function agentsText(zone) {
  return zone.agents.map(a => a.name + " " + a.visual_id).join(", ");
}

// The verdict of a run whose level, as loaded, held ``start``'s gates: "solved" when every
// one of them opened (a "gate" step record names each), "out of steps" when the budget ran
// out, "stuck" otherwise; and for each gate that stayed closed, what the last frame shows of
// why, in a player's words.
function verdict(frames, steps, start) {
  const last = frames[frames.length - 1];
  const kinds = steps.map(s => s.step);
  const opened = new Set(steps.filter(s => s.step === "gate").map(s => s.agent.visual_id));
  const closed = gatesOf(start || frames[0]).filter(g => !opened.has(g.agent.visual_id));
  if (kinds.includes("budget")) {
    return { outcome: "out of steps", causes: ["The level ran out of its steps."], zones: [] };
  }
  if (!closed.length) return { outcome: "solved", causes: [], zones: [] };
  const zones = [];
  const causes = closed.map(gate => {
    zones.push(gate.zone);
    const zone = findZone(last, gate.zone);
    const wants = gate.agent.name + " " + gate.agent.visual_id + " wanted " +
                  gateGoal(gate.agent);
    if (!zone) return wants + ", but its zone " + gate.zone + " left the level.";
    if (zone.is_time_frozen) {
      const waiting = zonesBelow(zone).filter(z => z.agents.length || z.charges.length > 1);
      zones.push(...waiting.map(z => z.id));
      const told = waiting.map(z => z.id + " (" + (z.agents.length
        ? agentsText(z) + " never cast"
        : "charges " + z.charges.map(chargeText).join(" ") + " and no agent to combine them") +
        ")");
      return wants + ", but " + zone.id + " stayed frozen, waiting on " + told.join("; ") + ".";
    }
    if (!zone.charges.length) return wants + ", but " + zone.id + " ended empty.";
    return wants + "; " + zone.id + " ended holding " + zone.charges.map(chargeText).join(" ") +
           ".";
  });
  const idle = [];
  const visit = zone => {
    for (const agent of zone.agents) {
      if (!isGate(agent)) idle.push(agent.name + " " + agent.visual_id + " in " + zone.id);
    }
    zone.sub_environments.forEach(visit);
  };
  visit(last);
  if (idle.length) causes.push("Never cast: " + idle.join(", ") + ".");
  return { outcome: "stuck", causes, zones };
}
