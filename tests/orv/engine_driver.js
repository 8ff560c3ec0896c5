// Runs the browser engine in Node for the tests and benchmarks: one JSON request per line on
// standard input ({"call": "playLevel", "args": [...]}), one JSON answer per line on standard
// output ({"result": ...} or {"error": {"name", "message", "problems"}}). A failure that is
// not an Error of the engine's API (a module abort) is reported as it is, so a test sees it.
"use strict";
const crypto = require("crypto");
const fs = require("fs");
const readline = require("readline");
const vm = require("vm");

// The studio's scripts that play a level in the page (the viewer's common.js and changes.js,
// the studio's run.js), in a context of their own with what they take from the page.
function studioContext(engine, scripts, start) {
  const context = vm.createContext({
    performance, console,
    document: { getElementById: () => ({ textContent: "null" }) },
  });
  vm.runInContext(`const studio = ${JSON.stringify(start)};
                   const KINDS = new Map(studio.kinds.map(kind => [kind.name, kind]));`, context);
  for (const script of scripts) vm.runInContext(fs.readFileSync(script, "utf8"), context);
  context.engine = engine;
  return context;
}

// A number that JSON cannot hold, as the engine reads it out.
function readableNumbers(engine) {
  return (key, value) => typeof value === "number" && !Number.isFinite(value)
    ? engine.readableNumber(value) : value;
}

async function main() {
  const engine = await require(process.argv[2])();
  let studio = null;
  const calls = {
    // For each level text, the SHA-256 of its frames, each followed by a newline: what a
    // comparison of many levels needs, without sending every frame back.
    frameDigests: (texts) => texts.map((text) => {
      const hash = crypto.createHash("sha256");
      const run = engine.startLevel(text);
      try {
        while (!run.isFinished) hash.update(run.nextFrame() + "\n");
      } finally {
        run.delete();
      }
      return hash.digest("hex");
    }),
    // The viewer's data of a level played as the studio plays it, every frame packed, and
    // what each frame's step changed as the viewer works it out.
    studioRun: (text, scripts, start) => {
      if (studio === null) studio = studioContext(engine, scripts, start);
      studio.text = text;
      return JSON.parse(JSON.stringify(vm.runInContext(`(() => {
        const run = new PageRun(engine, text);
        while (!run.finished) run.advance(Infinity);
        useData(run.viewerData());
        const frames = Array.from({ length: run.frames.length }, (_, i) => run.frames[i]);
        const changes = frames.map((frame, i) => i ? frameChanges(frames[i - 1], frame) : {});
        return { ...run.viewerData(), frames, changes };
      })()`, studio), readableNumbers(engine)));
    },
    playLevel: (text) => engine.playLevel(text),
    playPuzzle: (text, placement) => engine.playPuzzle(text, placement),
    solve: (text, options) => engine.solve(text, options),
    kinds: () => engine.kinds(),
    // Numbers as texts ("Infinity", "NaN"), which JSON cannot carry; null as a frame has it.
    readableNumbers: texts => texts.map(t => engine.readableNumber(t === null ? null : Number(t))),
    hint: (text, placement, options) => engine.hint(text, placement, options),
    checkPlacement: (text, placement) => {
      engine.checkPlacement(text, placement);
      return null;
    },
    // A run stepped through the handle, with its state read back after every frame.
    stepLevel: (text) => {
      const run = engine.startLevel(text);
      try {
        const before = run.outcome;
        const frames = [];
        const states = [[run.isFinished, run.currentFrame]];
        const steps = [run.lastStep];
        while (!run.isFinished) {
          frames.push(run.nextFrame());
          states.push([run.isFinished, run.currentFrame]);
          steps.push(run.lastStep);
        }
        // What the run came to, before the first frame (nothing yet) and at its end.
        const outcomes = [before, run.outcome];
        frames.push(run.nextFrame()); // after the end: the last frame again
        return { frames, states, steps, outcomes };
      } finally {
        run.delete();
      }
    },
  };
  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  for await (const line of lines) {
    const request = JSON.parse(line);
    let answer;
    try {
      answer = { result: calls[request.call](...request.args) };
    } catch (error) {
      // An Error of the engine's API may carry a name of its own (PlacementError).
      const name = error && typeof error.name === "string" ? error.name
        : error && error.constructor ? error.constructor.name : typeof error;
      answer = { error: { name,
                          message: String(error && error.message !== undefined ? error.message : error),
                          problems: error && error.problems !== undefined ? error.problems : null } };
    }
    process.stdout.write(JSON.stringify(answer) + "\n");
  }
}

main().catch((error) => {
  process.stderr.write(`engine driver: ${error && error.stack ? error.stack : error}\n`);
  process.exit(1);
});
