"use strict";
// A level played in the page by the browser engine, for the viewer. The run is stepped a
// slice of time at a time, so that the page keeps answering; each step keeps only its frame's
// text, its step record and its zones' totals, and a frame is packed for the viewer (as
// orv.viewer's viewer_data packs it) only when the viewer shows it.
const STEP_SLICE_MILLISECONDS = 12;
const PACKED_FRAMES_KEPT = 64;

// Distinct agents or charges in order of first use, each with its position: the viewer's
// tables. A charge of -0 is the charge of 0, as in the Python page.
class PackTable {
  constructor() {
    this.items = [];
    this.positions = new Map();
  }

  position(item) {
    const key = JSON.stringify(item);
    let position = this.positions.get(key);
    if (position === undefined) {
      position = this.items.length;
      this.positions.set(key, position);
      this.items.push(item);
    }
    return position;
  }
}

// "stuck (8 frames, 3 spells, 3 collapses, 1 of 2 gates opened)", as orv's outcome line.
function outcomeLine(outcome) {
  const gates = outcome.gates_opened + outcome.closed_gates.length;
  return outcome.outcome + " (" + counted(outcome.frames, "frame") + ", " +
    counted(outcome.spells, "spell") + ", " + counted(outcome.collapses, "collapse") + ", " +
    outcome.gates_opened + " of " + counted(gates, "gate") + " opened)";
}

const UNFINISHED_OUTCOME = { outcome: "playing", line: "the run is still being played",
                             closed_gates: [], idle_agents: [] };

class PageRun {
  // ``file`` is the level file's JSON whose text is ``levelText``. Throws the engine's Error
  // for a level it cannot load (with ``problems`` when it names their places).
  constructor(engine, levelText, file = JSON.parse(levelText)) {
    this.run = engine.startLevel(levelText);
    // The level as the engine loaded it, with the designer's keys of the file.
    const start = JSON.parse(this.run.levelText);
    for (const name of studio.designer_keys) if (name in file) start[name] = file[name];
    start.meta = { frame_index: 0, last_event: null, message: studio.start_message,
                   status: "START" };
    this.start = start;
    this.texts = [null];
    this.records = [null];
    this.totals = [this.run.zoneTotals];
    this.agents = new PackTable();
    this.charges = new PackTable();
    this.packed = new Map();
    this.outcome = null;
    this.gates = this.gateSeries();
    this.addTotals(0);
    this.frames = new Proxy([], {
      // The viewer reads frames[i] and frames.length; each frame is packed when first read.
      get: (target, key) => {
        if (key === "length") return this.texts.length;
        if (typeof key === "string" && /^\d+$/.test(key)) return this.frame(Number(key));
        return target[key];
      },
    });
  }

  get finished() {
    return this.run === null;
  }

  // Takes steps until ``deadline`` (performance.now()) or the end of the run.
  advance(deadline) {
    while (this.run !== null && performance.now() < deadline) {
      this.texts.push(this.run.nextFrame());
      this.records.push(this.run.lastStep);
      this.totals.push(this.run.zoneTotals);
      this.addTotals(this.texts.length - 1);
      if (this.run.isFinished) {
        this.outcome = this.run.outcome;
        this.stop();
      }
    }
  }

  stop() {
    if (this.run !== null) this.run.delete();
    this.run = null;
  }

  // What the viewer draws (common.js's ``data``), as far as the run has been played.
  viewerData() {
    const outcome = this.outcome === null ? UNFINISHED_OUTCOME : {
      ...this.outcome,
      line: outcomeLine(this.outcome),
      closed_gates: this.outcome.closed_gates.map(gate => ({ ...gate, text: "closed " + gate.text })),
      idle_agents: this.outcome.idle_agents.map(agent => ({ ...agent, text: "never cast: " + agent.text })),
    };
    const designer = {};
    for (const name of studio.designer_keys) if (name in this.start) designer[name] = this.start[name];
    return { agents: this.agents.items, charges: this.charges.items, frames: this.frames,
             gates: this.gates, outcome, designer, rules: studio.rules };
  }

  // Each gate of the level as loaded, with its zone's total in each frame played (null while
  // the zone is empty or gone or the total is not finite) and the frame it opened in.
  gateSeries() {
    const series = [];
    const pending = [this.start];
    while (pending.length) {
      const zone = pending.pop();
      for (const agent of zone.agents) {
        const kind = KINDS.get(agent.name);
        if (!kind || !kind.gate) continue;
        series.push({ zone: zone.id, name: agent.name, visual_id: agent.visual_id,
                      rule: "rule" in agent ? agent.rule : "==", target: agent.target_value,
                      opened_at: null, totals: [] });
      }
      for (let i = zone.sub_environments.length - 1; i >= 0; i -= 1) {
        pending.push(zone.sub_environments[i]);
      }
    }
    return series;
  }

  addTotals(number) {
    if (this.gates.length === 0) return;
    // A zone id held by several zones has the last one's total, as in the Python page.
    const totals = new Map(this.totals[number].filter(([, total]) => total !== null));
    const record = this.records[number];
    for (const gate of this.gates) {
      const total = totals.get(gate.zone);
      gate.totals.push(total !== undefined && Number.isFinite(total) ? total : null);
      if (record && record.step === "gate" && record.agent && gate.opened_at === null &&
          record.agent.name === gate.name && record.agent.visual_id === gate.visual_id) {
        gate.opened_at = number;
      }
    }
  }

  frame(number) {
    let frame = this.packed.get(number);
    if (frame === undefined) {
      if (this.packed.size >= PACKED_FRAMES_KEPT) this.packed.clear();
      frame = this.pack(number);
      this.packed.set(number, frame);
    }
    return frame;
  }

  pack(number) {
    const document = number === 0 ? this.start : JSON.parse(this.texts[number]);
    const totals = this.totals[number];
    let walked = 0;
    const packZone = (zone) => {
      const total = totals[walked][1];
      walked += 1;
      return { id: zone.id, frozen: zone.is_time_frozen,
               charges: zone.charges.map(charge => this.charges.position(charge)),
               agents: zone.agents.map(agent => this.agents.position(agent)),
               total: zone.charges.length ? total : null,
               subs: zone.sub_environments.map(packZone) };
    };
    const record = this.records[number];
    return { meta: document.meta, top: packZone(document), ...this.stepOf(record) };
  }

  // What the header says of the step and the charges it consumed, from its step record.
  stepOf(record) {
    if (record === null) return { step: null, record: null, consumed: null };
    const summary = { step: record.step, agent: record.agent,
                      zone: record.zone === null ? null : record.zone.id };
    const cast = (record.step === "spell" || record.step === "gate") && record.zone !== null;
    const collapsed = record.step === "collapse" && record.parent !== null;
    const consumed = cast && record.consumed.length ? {
      path: record.zone.path.join("."),
      charges: record.consumed.map(charge => this.charges.position(charge)),
    } : null;
    return { step: cast || collapsed ? record.text : null, record: summary, consumed };
  }
}
