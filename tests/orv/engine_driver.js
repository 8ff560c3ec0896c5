// Runs the browser engine in Node for the tests and benchmarks: one JSON request per line on
// standard input ({"call": "playLevel", "args": [...]}), one JSON answer per line on standard
// output ({"result": ...} or {"error": {"name", "message", "problems"}}). A failure that is
// not an Error of the engine's API (a module abort) is reported as it is, so a test sees it.
"use strict";
const readline = require("readline");

async function main() {
  const engine = await require(process.argv[2])();
  const calls = {
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
