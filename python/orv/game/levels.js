"use strict";
// The level select and the player's progress: each puzzle solved or not, and the fewest
// agents the player solved it with, kept in the browser's local storage under the page's
// own key and each puzzle's key (made from its text, so a changed puzzle starts afresh).
class Progress {
  constructor(pageKey) {
    this.storageKey = "orv-game:" + pageKey;
    this.entries = {};
    try {
      this.entries = JSON.parse(localStorage.getItem(this.storageKey) || "{}") || {};
    } catch (error) {
      this.entries = {};  // storage refused (a private window) or a damaged entry
    }
  }

  of(puzzle) {
    return this.entries[puzzle.key] || null;
  }

  solved(puzzle, agents) {
    const before = this.of(puzzle);
    const best = before && before.best !== undefined ? Math.min(before.best, agents) : agents;
    this.entries[puzzle.key] = { solved: true, best };
    try {
      localStorage.setItem(this.storageKey, JSON.stringify(this.entries));
    } catch (error) {
      // Without storage the progress lasts as long as the page.
    }
  }

  // The first unsolved puzzle after ``from`` (wrapping round), or ``from`` when all are solved.
  nextUnsolved(puzzles, from = -1) {
    for (let step = 1; step <= puzzles.length; step++) {
      const index = (from + step) % puzzles.length;
      if (!this.of(puzzles[index])) return index;
    }
    return Math.max(from, 0);
  }
}

function drawLevelList(list, puzzles, progress, current, open) {
  list.replaceChildren(...puzzles.map((puzzle, index) => {
    const entry = progress.of(puzzle);
    const item = element("li", entry ? "solved" : "");
    const button = element("button", index === current ? "current" : "");
    button.type = "button";
    button.dataset.index = String(index);
    button.append(element("span", "mark", entry ? "\u2713" : "\u00B7"), " ",
                  element("span", "level-name", (index + 1) + ". " + puzzle.title));
    if (entry) button.append(" ", element("small", "best", "best: " + entry.best + " agents"));
    button.addEventListener("click", () => open(index));
    item.append(button);
    return item;
  }));
}
