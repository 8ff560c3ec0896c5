"use strict";
// What every part of the page shares: the level's data, the engine's fixed texts, and the
// one number formatter and count wording of the page. What a step did, the zones' totals and
// the rules' numbers come with the data, from the engine. A page that plays the level itself
// (the studio) starts without data and hands it over with ``useData``.
let data = JSON.parse(document.getElementById("orv-data").textContent);
let frames = data ? data.frames : [];
const SIGNS = { positive: "+", negative: "\u2212", neutral: "\u00B1" };
const RULES = { "==": "=", "<": "<", ">": ">", "<=": "\u2264", ">=": "\u2265" };

// A new run to draw (a page that replays the level gets one after each edit); ``redraw`` in
// controls.js draws it.
function useData(next) {
  data = next;
  frames = next.frames;
  agentIdentities.clear();
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function trimZeros(text) {
  return text.includes(".") ? text.replace(/0+$/, "").replace(/\.$/, "") : text;
}

// A number as the package's narration writes it (orv.playing.numbers): at most six
// significant digits, whole numbers without a decimal point, exponent form only below 1e-4
// and from 1e6 on (whole numbers below 1e15 keep all their digits), NaN for the engine's
// null, and a zero without its sign unless the sign matters to the caller.
function formatNumber(value, signedZero) {
  // A total that JSON cannot hold (infinite, not a number) comes as its text.
  if (typeof value === "string") return value;
  if (value === null || Number.isNaN(value)) return "NaN";
  if (!Number.isFinite(value)) return value > 0 ? "inf" : "-inf";
  if (value === 0) return signedZero && Object.is(value, -0) ? "-0" : "0";
  if (Number.isInteger(value) && Math.abs(value) < 1e15) return String(value);
  const [mantissa, exponentText] = value.toExponential(5).split("e");
  const exponent = Number(exponentText);
  if (exponent < -4 || exponent >= 6) {
    return trimZeros(mantissa) + "e" + (exponent < 0 ? "-" : "+") + Math.abs(exponent);
  }
  return trimZeros(value.toFixed(5 - exponent));
}

// "1 zone", "2 zones", "0 zones".
function counted(count, word, plural) {
  return count.toLocaleString("en") + " " + (count === 1 ? word : plural || word + "s");
}

