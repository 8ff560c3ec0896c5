// Times the browser engine in Node for bench/bench_browser_engine.py: one JSON request per line
// on standard input, one JSON answer per line on standard output. Times are processor seconds
// of this process (its garbage collector's threads included) and wall seconds.
"use strict";
const readline = require("readline");

function timed(work) {
  const cpu = process.cpuUsage();
  const wall = process.hrtime.bigint();
  const result = work();
  const used = process.cpuUsage(cpu);
  return { result, cpu: (used.user + used.system) / 1e6, wall: Number(process.hrtime.bigint() - wall) / 1e9 };
}

async function main() {
  const engine = await require(process.argv[2])();
  const calls = {
    // A level's whole run (reading it apart), then `repeats` frames on the finished run: the
    // frame document alone, as text, as the raw bytes the module writes before decoding, and
    // as text read by JSON.parse.
    frames(text, repeats, parses) {
      const run = engine.startLevel(text);
      try {
        const whole = timed(() => { let frames = 0; while (!run.isFinished) { run.nextFrame(); frames++; } return frames; });
        const doc = timed(() => { let size = 0; for (let i = 0; i < repeats; i++) size = run.nextFrame().length; return size; });
        const raw = timed(() => { for (let i = 0; i < repeats; i++) run.raw.nextFrame(); });
        const parsed = timed(() => { for (let i = 0; i < parses; i++) JSON.parse(run.nextFrame()); });
        return { frames: whole.result, run: whole, doc: { cpu: doc.cpu / repeats, wall: doc.wall / repeats },
                 raw: { cpu: raw.cpu / repeats, wall: raw.wall / repeats },
                 parsed: { cpu: parsed.cpu / parses, wall: parsed.wall / parses }, bytes: doc.result };
      } finally {
        run.delete();
      }
    },
    read(text, repeats) {
      const time = timed(() => { for (let i = 0; i < repeats; i++) engine.startLevel(text).delete(); });
      return { cpu: time.cpu / repeats, wall: time.wall / repeats };
    },
    solve(text) {
      const time = timed(() => engine.solve(text, { allSizes: true }));
      return { placements: time.result.placements, solutions: time.result.solution_count, cpu: time.cpu, wall: time.wall };
    },
  };
  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  for await (const line of lines) {
    const request = JSON.parse(line);
    process.stdout.write(JSON.stringify(calls[request.call](...request.args)) + "\n");
  }
}

main().catch((error) => { process.stderr.write(`${error.stack || error}\n`); process.exit(1); });
