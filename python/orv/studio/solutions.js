"use strict";
// The solver's answers for a puzzle, and a solution applied as a preview: the level with the
// solution placed is played in the viewer, and can be kept as a new level file, while the
// puzzle itself and its hand stay as they are.


// "Multiply Magician ×1, Plus Magician ×2 → crucible; ..." (kinds counted in hand order).
function placementText(placement) {
  if (!placement.length) return "place nothing: the level is solved as it stands";
  return placement.map(({ zone, kinds }) => {
    const counts = new Map();
    for (const kind of kinds) counts.set(kind, (counts.get(kind) || 0) + 1);
    return [...counts].map(([kind, count]) => kind + " \u00D7" + count).join(", ") +
        " \u2192 " + zone;
  }).join("; ");
}

function solvedText(answer) {
  if (answer.min_size === null) {
    return answer.complete ? "No solution: no placement of the hand opens every gate" :
        "No solution found before the search stopped";
  }
  const count = answer.solution_count[String(answer.min_size)];
  const difficulty = answer.difficulty === null ? "difficulty unknown" :
      "difficulty " + answer.difficulty.toFixed(2) + " bits";
  return counted(count, "solution") + " of size " + answer.min_size +
      (answer.unique ? " (unique)" : "") + " \u00B7 " + difficulty +
      (answer.complete ? "" : " (the search was cut short)");
}

// The level with the placed agents moved from the hand into their zones.
function withSolution(placement) {
  const placed = JSON.parse(levelText(level));
  const zones = [];
  const pending = [placed];
  while (pending.length) {
    const zone = pending.pop();
    zones.push(zone);
    pending.push(...zone.sub_environments);
  }
  for (const { zone, agents } of placement) {
    const target = zones.find(candidate => candidate.id === zone);
    for (const id of agents) {
      const index = placed.hand.findIndex(agent => agent.visual_id === id);
      if (target && index >= 0) target.agents.push(placed.hand.splice(index, 1)[0]);
    }
  }
  return placed;
}

function clearSolutions() {
  const panel = document.getElementById("solutions");
  panel.hidden = true;
  panel.replaceChildren();
}

async function solve() {
  endPreview();
  const panel = document.getElementById("solutions");
  const asked = levelText(level);
  panel.hidden = false;
  panel.replaceChildren(element("b", "", "Solving\u2026"));
  const { status, answer } = await call("api/solve", asked);
  // An answer to a level edited meanwhile is never shown.
  if (levelText(level) !== asked) return;
  if (status !== 200) {
    panel.replaceChildren(element("b", "", "No solutions: " +
                                  problemsOf(answer).map(p => p.problem).join("; ")));
    return;
  }
  const list = element("ul", "");
  for (const { size, placement } of answer.solutions) {
    const item = element("li", "", placementText(placement) + " (" +
                         counted(size, "agent") + ") ");
    item.title = placement.map(({ zone, agents }) => zone + " \u2190 " +
                               agents.join(", ")).join("; ");
    item.append(button("Apply", "apply", () => startPreview(placement),
                       "Play the puzzle with this solution placed; the hand stays as it is"));
    list.append(item);
  }
  panel.replaceChildren(element("b", "", solvedText(answer)), list);
}

// ---- the preview ----

function startPreview(placement) {
  preview = withSolution(placement);
  document.getElementById("preview").hidden = false;
  document.getElementById("preview-kept").textContent = "";
  replay();
}

function endPreview() {
  if (preview === null) return false;
  preview = null;
  document.getElementById("preview").hidden = true;
  return true;
}

async function keepPreview() {
  if (preview === null) return;
  const note = document.getElementById("preview-kept");
  const { status, answer } = await call("api/keep", levelText(preview));
  note.textContent = status === 200 ? "Kept as " + answer.file :
      "Not kept: " + problemsOf(answer).map(p => p.problem).join("; ");
}
