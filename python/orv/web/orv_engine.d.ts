// The browser engine: orv_engine's C++ compiled to WebAssembly (orv_engine.js, one file with the
// WebAssembly inlined). Every frame is byte for byte the text that the Python module's
// NarrativeSequencer.next_frame() returns for the same level.
//
//     const engine = await OrvEngine();
//     const { frames } = engine.playLevel(levelText);
//     const report = engine.solve(puzzleText);
//     engine.playPuzzle(puzzleText, report.solutions[0].placement);
//
// Bad input (text that is not JSON, an unknown agent kind, a zone id that is not in the level,
// a bad placement) throws an Error whose message says what and where; the module stays usable.
//
// In a page, <script src="orv_engine.js"> defines the global OrvEngine; in Node,
// require("./orv_engine.js") returns it.

/** Makes the module: instantiates the inlined WebAssembly. */
declare function OrvEngine(): Promise<OrvEngine.Engine>;

declare namespace OrvEngine {
  /** One problem of a level or puzzle file, or of a placement: where it is and what it is. */
  export interface Problem {
    /** "hand[2].name", "placement[0].zone", "top zone", ... */
    place: string;
    problem: string;
  }

  /** The Error thrown for problems found together (a puzzle's keys, a placement). */
  export interface ProblemsError extends Error {
    problems: Problem[];
  }

  /** A level's whole run. */
  export interface PlayedLevel {
    /** Every frame's JSON text, the first step's frame first, up to the one that ends the level
     *  ("FINISHED") or reports the exhausted step budget ("ERROR"). */
    frames: string[];
    /** One record per frame of what its step did; empty until the engine records steps. */
    steps: unknown[];
  }

  /** A level being played frame by frame, for a game that steps as it animates. The handle owns
   *  memory inside the module: call delete() when done with it. */
  export interface LevelRun {
    /** The next frame's JSON text. After the last, each call returns that frame again. */
    nextFrame(): string;
    /** Whether the level has ended (or its step budget is spent). */
    readonly isFinished: boolean;
    /** Steps taken so far: the frame_index of the last frame. */
    readonly currentFrame: number;
    delete(): void;
  }

  /** A placement of hand agents, as a solution gives it: for each zone that receives agents, its
   *  id and the hand agents' visual ids in the order they are added after the zone's own agents. */
  export type Placement = { zone: string; agents: string[] }[];

  export interface SolveOptions {
    /** At most this many placements are tried, over all sizes (default 10,000,000). */
    maxPlacements?: number;
    /** At most this many solutions are listed (default 20). */
    maxSolutions?: number;
    /** Go on past the minimal size that solves, up to the whole hand (default false). */
    allSizes?: boolean;
  }

  /** What `orv solve --json` prints, without "seconds". */
  export interface SolveReport {
    /** Whether a solving placement was found. */
    solvable: boolean;
    /** Whether every distinct placement of the sizes searched was tried. */
    complete: boolean;
    /** The smallest size that solves, or null. */
    min_size: number | null;
    /** Up to maxSolutions solutions, sizes ascending, zones in tree order. */
    solutions: { size: number; placement: Placement }[];
    /** The solving placements of each size searched, keyed by size ("0", "1", ...). */
    solution_count: Record<string, number>;
    /** Whether one placement alone of the minimal size solves; null when that is not known. */
    unique: boolean | null;
    /** log2(P / S) at the minimal size: P placements of that size, S of them solving; null
     *  unless that size was searched to its end. */
    difficulty: number | null;
    /** The distinct placements tried. */
    placements: number;
  }

  export interface Engine {
    /** Reads a level file's text (what orv.save_level writes; the top zone's "title", "hint",
     *  "notes" and a puzzle's keys are checked as the Python loader checks them, and the engine
     *  ignores them) and plays it to its end. */
    playLevel(levelText: string): PlayedLevel;
    /** Reads a puzzle file's text, adds the placement's hand agents at the end of their zones'
     *  agent lists, as the search places them, and plays the level. An agent not in the hand, an
     *  agent placed more often than the hand holds it, a zone that is not a slot or is named
     *  twice, or a placement that leaves hand agents out of a puzzle whose "use" is "all" is a
     *  ProblemsError naming each. */
    playPuzzle(puzzleText: string, placement: Placement): PlayedLevel;
    /** Reads a level file's text and returns the handle that steps it. */
    startLevel(levelText: string): LevelRun;
    /** Searches a puzzle's placements, smallest size first, as `orv solve` does. */
    solve(puzzleText: string, options?: SolveOptions): SolveReport;
  }
}

export = OrvEngine;
