"use strict";
// Stepping through the frames: the header, the buttons, the slider, the keys and the address.
let shown = 0;
let timer = null;

// The frame's step said the way a player would, from its step record.
function describeEvent(frame) {
  const meta = frame.meta;
  const record = frame.record;
  if (meta.status === "START") return "the level as loaded, before the first step";
  if (meta.status === "ERROR") {
    return "out of steps: the " + data.rules.step_budget + "-step budget is spent";
  }
  if (!record || record.step === "none") return "the level had already ended; nothing more happens";
  if (record.step === "end") return "the level ended: no agent can cast and no zone can collapse";
  if (record.step === "collapse") return "zone " + record.zone + " collapsed into its parent";
  const deed = record.step === "gate" ? " opened" : " cast a spell";
  return record.agent.name + " (" + record.agent.visual_id + ")" + deed;
}

// What the signs of the charges mean, drawn with the charges' own look.
function setUpLegend() {
  const legend = document.getElementById("legend");
  const sample = (polarity, text) => {
    const node = element("span", "charge " + polarity, SIGNS[polarity] + "7");
    return [node, " " + text];
  };
  legend.append(...sample("positive", "positive, "), ...sample("negative", "negative, "),
                ...sample("neutral", "neutral: counts negative for Plus, Minus and the " +
                          "gates, positive for every other spell"));
}

// Bring what the step changed into view below the sticky header, if it is not in view.
function reveal() {
  const target = document.querySelector(
      ".charge.new, .charge.consumed, .agent.departed, .agent.changed, .zone.collapsed, " +
      ".zone.changed");
  if (!target) return;
  const top = document.querySelector("header").getBoundingClientRect().bottom;
  const box = target.getBoundingClientRect();
  if (box.top < top || box.bottom > window.innerHeight) {
    window.scrollBy(0, box.top - top - (window.innerHeight - top) / 3);
  }
}

function show(number, scroll = true) {
  shown = Math.max(0, Math.min(frames.length - 1, number));
  const frame = frames[shown];
  const meta = frame.meta;
  const changes = shown ? frameChanges(frames[shown - 1], frame) : {};
  document.getElementById("tree").replaceChildren(drawZone(frame.top, "", changes, false));
  markCauses();
  document.getElementById("position").textContent = (shown + 1) + " of " + frames.length;
  document.getElementById("slider").value = shown;
  document.getElementById("frame-index").textContent = "frame " + meta.frame_index;
  const status = document.getElementById("status");
  status.textContent = meta.status;
  status.className = meta.status;
  document.getElementById("message").textContent = frame.step || meta.message;
  document.getElementById("event").textContent = describeEvent(frame);
  document.getElementById("engine").textContent = frame.step ? "engine: " + meta.message : "";
  document.getElementById("first").disabled = document.getElementById("prev").disabled =
      shown === 0;
  document.getElementById("last").disabled = document.getElementById("next").disabled =
      shown === frames.length - 1;
  markCharts(shown);
  // The address names the frame shown; writing it costs the browser a while, so only when
  // it changes.
  if (location.hash !== "#frame=" + shown) history.replaceState(null, "", "#frame=" + shown);
  if (scroll) reveal();
}

function pause() {
  clearInterval(timer);
  timer = null;
  document.getElementById("play").textContent = "\u25B6 Play";
}

function play() {
  if (shown === frames.length - 1) show(0);
  clearInterval(timer);
  const speed = Number(document.getElementById("speed").value);
  timer = setInterval(() => {
    show(shown + 1);
    if (shown === frames.length - 1) pause();
  }, 1000 / speed);
  document.getElementById("play").textContent = "\u275A\u275A Pause";
}

function frameFromHash() {
  const match = /frame=(\d+)/.exec(location.hash);
  return match ? Number(match[1]) : 0;
}

function foldAll() {
  const allFolded = folded.size > 0;
  folded.clear();
  if (!allFolded) {
    const pending = [...frames[shown].top.subs];
    while (pending.length) {
      const zone = pending.pop();
      folded.add(zone.id);
      pending.push(...zone.subs);
    }
  }
  document.getElementById("fold-all").textContent = allFolded ? "Fold all" : "Unfold all";
  show(shown, false);
}

// Draws the run that ``useData`` was given, at frame ``number`` where the run has one.
function redraw(number) {
  pause();
  slider.max = frames.length - 1;
  setUpCharts();
  setUpOutcome();
  setUpDesignerText();
  show(Math.min(number, frames.length - 1), false);
}

const slider = document.getElementById("slider");
slider.addEventListener("input", () => { pause(); show(Number(slider.value)); });
document.getElementById("first").addEventListener("click", () => { pause(); show(0); });
document.getElementById("prev").addEventListener("click", () => { pause(); show(shown - 1); });
document.getElementById("next").addEventListener("click", () => { pause(); show(shown + 1); });
document.getElementById("last").addEventListener("click",
                                                 () => { pause(); show(frames.length - 1); });
document.getElementById("play").addEventListener("click", () => (timer ? pause() : play()));
document.getElementById("speed").addEventListener("change", () => { if (timer) play(); });
document.getElementById("fold-all").addEventListener("click", foldAll);
document.addEventListener("keydown", (event) => {
  // The slider and the speed list handle their own keys, and a button its own Space.
  const own = event.key === " " ? "input, select, button" : "input, select";
  if (event.target.matches && event.target.matches(own)) return;
  if (event.key === " ") {
    event.preventDefault();
    timer ? pause() : play();
    return;
  }
  const moves = { ArrowLeft: shown - 1, ArrowRight: shown + 1, Home: 0,
                  End: frames.length - 1 };
  if (event.key in moves) {
    event.preventDefault();
    pause();
    show(moves[event.key]);
  }
});
window.addEventListener("hashchange", () => show(frameFromHash()));
setUpLegend();
if (data) redraw(frameFromHash());
