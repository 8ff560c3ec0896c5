// The browser engine: orv_engine's C++ compiled to WebAssembly (orv_engine.js, one file with the
// WebAssembly inlined). Every frame is byte for byte the text that the Python module's
// NarrativeSequencer.next_frame() returns for the same level.
//
//     const engine = await OrvEngine();
//     const { frames, outcome } = engine.playLevel(levelText);
//     const report = engine.solve(puzzleText);
//     engine.playPuzzle(puzzleText, report.solutions[0].placement);
//     engine.hint(puzzleText, [{ zone: "crucible", agents: ["x1"] }]).text;  // "put the ..."
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

  /** Where a zone stands in the tree. */
  export interface ZonePlace {
    id: string;
    /** The ids from the top zone down to the zone, both included. */
    ids: string[];
    /** The zone's index in its parent's sub-zone list at each level below the top zone. */
    path: number[];
  }

  /** A charge as the frames write it; a magnitude that is not a number is null. */
  export interface Charge {
    magnitude: number | null;
    polarity: "positive" | "negative" | "neutral";
    visual_id: string;
  }

  /** What a frame's step did, as the engine recorded it while taking the step. */
  export interface StepRecord {
    step: "spell" | "gate" | "collapse" | "end" | "budget" | "none";
    /** The frame_index of the frame. */
    frame: number;
    /** spell and gate: the caster; a gate also has its rule ("==" for the Equals Gate) and
     *  target. */
    agent: { name: string; visual_id: string; rule?: string; target?: number | null } | null;
    /** spell and gate: the caster's zone; collapse: the zone that left. */
    zone: ZonePlace | null;
    /** collapse: the zone that took in its charge. */
    parent: ZonePlace | null;
    /** spell: the charges taken and left; collapse: the charge that moved is both. */
    consumed: Charge[];
    produced: Charge[];
    /** gate: the zone's signed total. */
    total: number | null;
    /** The step for a reader ("Power Sorcerer in squarer: 3 ^ 2 → 9"), or the frame's
     *  message. */
    text: string;
  }

  /** A number of an outcome: JSON has no NaN or infinity, so those are the texts. */
  export type OutcomeNumber = number | "NaN" | "inf" | "-inf";

  /** An agent that cannot cast now, and why. */
  export interface Refusal {
    name: string;
    visual_id: string;
    /** "needs 2 charges, has 1", "never casts", "its zone is frozen", ... */
    reason: string;
    /** `Plus Magician "p": needs 2 charges, has 1` */
    text: string;
  }

  /** A zone below a frozen gate's zone that never settled and so kept it frozen. */
  export interface BlockingZone {
    zone: string;
    /** Zones below it kept it frozen in turn (they follow it in the list). */
    frozen: boolean;
    agents: Refusal[];
    /** With no agent left, nothing combines these. */
    charges: Charge[];
    text: string;
  }

  /** Why a gate stayed closed: one cause per gate. */
  export type GateCause =
    | "wrong_total" | "frozen" | "empty" | "left_level" | "not_a_number" | "out_of_steps";

  /** A gate that never opened. */
  export interface ClosedGate {
    visual_id: string;
    zone: string;
    /** "==" for the Equals Gate, else The Judge's rule. */
    rule: string;
    target: OutcomeNumber;
    /** Its zone's signed total at the end; null when the zone held no charge or left. */
    last_total: OutcomeNumber | null;
    /** The total minus the target, or null. */
    difference: OutcomeNumber | null;
    cause: GateCause;
    /** Its zone was frozen in the last step, so the gate was not tried then. */
    zone_frozen: boolean;
    /** frozen: the zones that kept it so, each before those that kept it frozen in turn. */
    blocked_by: BlockingZone[];
    /** left_level: the gate left the level with the collapse of zone left_with at frame
     *  left_at (null when that is not known). */
    removed: boolean;
    left_with: string | null;
    left_at: number | null;
    /** The gate in one line, six significant digits: `gate "door" in zone hall (== 4): total
     *  3, needs == 4 (difference -1)`; exact_text with every digit. */
    text: string;
    exact_text: string;
  }

  /** An agent that never cast: still in its zone, with why, or carried out with it. */
  export interface IdleAgent {
    name: string;
    visual_id: string;
    zone: string;
    /** Why it cannot cast now; "" for an agent that left the level (removed). */
    reason: string;
    removed: boolean;
    text: string;
  }

  /** What a run came to, as `orv play` tells it (the same document as the Python package's
   *  outcome, from the same C++). */
  export interface Outcome {
    /** solved: every gate placed opened; ended: the level has no gate; stuck: a gate never
     *  opened; out of steps: the step budget ran out. */
    outcome: "solved" | "ended" | "stuck" | "out of steps";
    /** Steps taken: the frame_index of the last frame. */
    frames: number;
    spells: number;
    collapses: number;
    gates_opened: number;
    closed_gates: ClosedGate[];
    idle_agents: IdleAgent[];
    /** Every zone that still holds charges; path "" is the top zone, "1.0" the first sub-zone
     *  of its second. */
    final_charges: { zone: string; path: string; charges: Charge[] }[];
    /** The last frame's meta status ("FINISHED", "ERROR") and message. */
    final_status: string;
    final_message: string;
  }

  /** A level's whole run. */
  export interface PlayedLevel {
    /** Every frame's JSON text, the first step's frame first, up to the one that ends the level
     *  ("FINISHED") or reports the exhausted step budget ("ERROR"). */
    frames: string[];
    /** The step record of each frame. */
    steps: StepRecord[];
    /** What the run came to. */
    outcome: Outcome;
  }

  /** An agent kind of the engine's table, in the roster's order. */
  export interface AgentKind {
    name: string;
    /** The Python module's Environment method that places one. */
    add_method: string;
    priority: number;
    is_gate: boolean;
    /** The placing method's arguments after the zone ("visual_id", "target_value", ...). */
    arguments: string[];
    /** The fewest charges on which its spell can take effect. */
    min_charges: number;
    /** What it reads and what it leaves, in words. */
    operands: string;
    result: string;
    /** The visual id prefix of the charges it makes; "" when it makes none. */
    prefix: string;
    /** Every reason it gives for not casting, numbers as [placeholders]. */
    declines: string[];
  }

  /** A level being played frame by frame, for a game that steps as it animates. The handle owns
   *  memory inside the module: call delete() when done with it. */
  export interface LevelRun {
    /** The next frame's JSON text. After the last, each call returns that frame again. */
    nextFrame(): string;
    /** The step record of the last frame, or null before the first. */
    readonly lastStep: StepRecord | null;
    /** What the frames played so far came to (the run's outcome once it is finished), or
     *  null before the first frame. */
    readonly outcome: Outcome | null;
    /** Each zone's id and the signed total of its charges as the gates sum them (a neutral
     *  charge counts negative), the zones in the order the last frame writes them, each before
     *  its sub-zones (before the first frame, the level's); null for a zone without charges. */
    readonly zoneTotals: [string, number | null][];
    /** The level as it now stands (before the first frame, as loaded), as the Python module's
     *  Environment.to_json writes it. */
    readonly levelText: string;
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

  /** The Error thrown for a placement refused as orv.Attempt refuses a move: its name is
   *  "PlacementError" and its message is the same one line ("hand agent \"x1\" is already
   *  placed, in zone \"crucible\"", "zone \"vault\" is not one of the puzzle's slots", ...). */
  export interface PlacementError extends Error {
    name: "PlacementError";
  }

  export interface HintOptions {
    /** At most this many placements are looked at (default 10,000,000). */
    maxPlacements?: number;
  }

  /** One next move toward a solution of the smallest size that keeps what is placed (each placed
   *  agent in its zone, in its order among the agents of its priority there), as orv.Attempt.hint
   *  gives it. */
  export interface Hint {
    /** "place": put hand agent visual_id into zone_id at index; "remove": take placed agent
     *  visual_id back out of zone_id, since no solution keeps everything placed; "solved": the
     *  placement solves the puzzle; "none": no placement of the hand does; "unknown": the search
     *  reached maxPlacements before it could tell. */
    action: "place" | "remove" | "solved" | "none" | "unknown";
    visual_id?: string;
    zone_id?: string;
    /** place: the position among the hand agents already in the zone (their count: the end). */
    index?: number;
    /** The move in words: "put the Multiply Magician x1 into crucible". */
    text: string;
    /** The placements the search looked at. */
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
    /** Makes the placement move by move, zone after zone, as orv.Attempt.place does, and checks
     *  that it can be played ("use": "all" met); throws a PlacementError with the first refusal.
     *  A zone listed twice is refused too. */
    checkPlacement(puzzleText: string, placement: Placement): void;
    /** The next move toward a solution that keeps the placement (which may be partial; a
     *  PlacementError when a move of it is refused), from the engine's solver. Deterministic: the
     *  same as orv.Attempt.hint for the same placement. */
    hint(puzzleText: string, placement?: Placement, options?: HintOptions): Hint;
    /** The engine's table of agent kinds, so that no page lists kinds by hand. */
    kinds(): AgentKind[];
    /** A number as `orv play` narrates it: six significant digits, "NaN" (also for a
     *  frame's null), "inf", "-inf". */
    readableNumber(value: number | null): string;
  }
}

export = OrvEngine;
