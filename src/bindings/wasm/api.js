// The browser engine's JavaScript face, added to the module by --post-js: the documented API
// (orv_engine.d.ts) over the raw bindings of engine_bindings.cpp, which hand back an Error
// instead of throwing it. Nothing here knows a rule of the game.
(function (engine) {
  const decoder = new TextDecoder();

  // V8 puts a string of more than 128 KiB in a fresh large-object allocation of its own, which
  // costs several times what writing the frame does. Pieces below that size are made in the
  // young generation and joined as a rope at no cost; the rope is made flat once, when it is
  // first read whole (JSON.parse does that at the start of its own pass).
  const PIECE = 65536;

  function decodeText(bytes) {
    let text = "";
    let start = 0;
    while (bytes.length - start > PIECE) {
      // Each piece ends before a character's first byte, never inside a character: at most
      // three continuation bytes back. (Decoding with {stream: true} would do the same, but is
      // three times slower in Node.)
      let end = start + PIECE;
      for (let back = 0; back < 3 && (bytes[end] & 0xc0) === 0x80; back++) {
        end--;
      }
      text += decoder.decode(bytes.subarray(start, end));
      start = end;
    }
    return text + decoder.decode(bytes.subarray(start));
  }

  function unwrap(result) {
    if (result instanceof Error) {
      throw result;
    }
    return result;
  }

  function text(value, what, call) {
    if (typeof value !== "string") {
      throw new TypeError(`${call}: ${what} must be a string, not ${value === null ? "null" : typeof value}`);
    }
    return value;
  }

  // JSON text of a value the C++ side reads; undefined reads as null.
  function json(value) {
    return JSON.stringify(value === undefined ? null : value);
  }

  // A level being played frame by frame.
  class LevelRun {
    constructor(raw) {
      this.raw = raw;
    }

    nextFrame() {
      // The view lies in the module's memory: decoded at once, before anything can move it.
      return decodeText(unwrap(this.raw.nextFrame()));
    }

    // The step record of the last frame (what its step did), or null before the first.
    get lastStep() {
      const text = this.raw.lastStep();
      return text === null ? null : JSON.parse(text);
    }

    // What the frames played so far came to (solved, ended, stuck or out of steps, with the
    // closed gates and their causes), or null before the first frame.
    get outcome() {
      const text = unwrap(this.raw.outcome());
      return text === null ? null : JSON.parse(text);
    }

    // Each zone's id and the signed total of its charges as the gates sum them, zones in the
    // order the frame writes them (null for a zone without charges); before the first frame,
    // the level's.
    get zoneTotals() {
      return this.raw.zoneTotals();
    }

    // The level as it now stands (before the first frame, as loaded), as the Python module's
    // Environment.to_json writes it.
    get levelText() {
      return this.raw.levelText();
    }

    get isFinished() {
      return this.raw.isFinished;
    }

    get currentFrame() {
      return this.raw.currentFrame;
    }

    delete() {
      this.raw.delete();
    }
  }

  function playToEnd(run) {
    try {
      const frames = [];
      const steps = [];
      while (!run.isFinished) {
        frames.push(run.nextFrame());
        steps.push(run.lastStep);
      }
      return { frames, steps, outcome: run.outcome };
    } finally {
      run.delete();
    }
  }

  engine.startLevel = function (levelText) {
    return new LevelRun(unwrap(engine.rawStartLevel(text(levelText, "the level text", "startLevel"))));
  };

  engine.playLevel = function (levelText) {
    return playToEnd(new LevelRun(unwrap(engine.rawStartLevel(text(levelText, "the level text", "playLevel")))));
  };

  engine.playPuzzle = function (puzzleText, placement) {
    const puzzle = text(puzzleText, "the puzzle text", "playPuzzle");
    return playToEnd(new LevelRun(unwrap(engine.rawStartPuzzle(puzzle, json(placement)))));
  };

  // A frame's JSON writes NaN as null: it reads as NaN here too.
  engine.readableNumber = function (value) {
    return engine.rawReadableNumber(value === null ? NaN : Number(value));
  };

  engine.kinds = function () {
    return JSON.parse(engine.rawKinds());
  };

  // Throws an Error named PlacementError, with the line orv.Attempt refuses the same move with,
  // when the placement cannot be made move by move or played as it stands.
  engine.checkPlacement = function (puzzleText, placement) {
    const puzzle = text(puzzleText, "the puzzle text", "checkPlacement");
    unwrap(engine.rawCheckPlacement(puzzle, json(placement)));
  };

  engine.hint = function (puzzleText, placement, options) {
    const puzzle = text(puzzleText, "the puzzle text", "hint");
    return JSON.parse(unwrap(engine.rawHint(puzzle, json(placement === undefined ? [] : placement), json(options))));
  };

  engine.solve = function (puzzleText, options) {
    const puzzle = text(puzzleText, "the puzzle text", "solve");
    return JSON.parse(unwrap(engine.rawSolve(puzzle, json(options))));
  };
})(Module);
