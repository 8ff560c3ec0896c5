"use strict";
// The gate charts: one small chart per gate with its zone's total over the frames, the
// target as a dashed line, a dot where it opened, a frame axis, and a marker that follows
// the frame shown. Clicking a chart shows the frame under the pointer.

// The namespace the HTML parser gives an <svg> element, which spares the page any address.
const SVG = (() => {
  const holder = document.createElement("div");
  holder.innerHTML = "<svg></svg>";
  return holder.firstChild.namespaceURI;
})();
// Charts drawn at first; the rest wait for a click, as a long run makes each one costly.
const FIRST_CHARTS = 24;
const CHART = { width: 240, height: 64, left: 46, right: 6, top: 5, bottom: 13 };
const charts = [];

function svg(tag, attributes, text) {
  const node = document.createElementNS(SVG, tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== undefined) node.textContent = text;
  return node;
}

function frameX(number) {
  const span = CHART.width - CHART.left - CHART.right;
  return CHART.left + number * span / Math.max(1, frames.length - 1);
}

// The frame whose place on the axis is nearest to a click, from the chart's drawn size.
function frameAt(chart, clientX) {
  const box = chart.getBoundingClientRect();
  const x = (clientX - box.left) * CHART.width / box.width;
  const span = CHART.width - CHART.left - CHART.right;
  return Math.round((x - CHART.left) * Math.max(1, frames.length - 1) / span);
}

function valueRange(gate) {
  const values = gate.totals.filter(v => v !== null);
  if (gate.target !== null) values.push(gate.target);
  let low = values.length ? Math.min(...values) : 0;
  let high = values.length ? Math.max(...values) : 1;
  if (low === high) { low -= 1; high += 1; }
  return [low, high];
}

function totalPath(gate, x, y) {
  let path = "";
  gate.totals.forEach((v, i) => {
    if (v === null) return;
    path += (i > 0 && gate.totals[i - 1] !== null ? " L" : " M") + x(i) + " " + y(v);
  });
  return path.trim();
}

function frameAxis(chart, x) {
  const base = CHART.height - CHART.bottom;
  const last = frames.length - 1;
  chart.append(svg("line", { class: "axis", x1: x(0), x2: x(last), y1: base, y2: base }));
  const ticks = [...new Set([0, Math.round(last / 2), last])];
  for (const tick of ticks) {
    chart.append(svg("line", { class: "axis", x1: x(tick), x2: x(tick), y1: base,
                               y2: base + 3 }));
    const anchor = tick === 0 ? "start" : tick === last ? "end" : "middle";
    chart.append(svg("text", { x: x(tick), y: CHART.height - 1, "text-anchor": anchor },
                     String(frames[tick].meta.frame_index)));
  }
}

function drawChart(gate) {
  const { width, height } = CHART;
  const [low, high] = valueRange(gate);
  const plotted = height - CHART.top - CHART.bottom;
  const y = v => CHART.top + (high - v) / (high - low) * plotted;
  const chart = svg("svg", { width, height, viewBox: `0 0 ${width} ${height}`, role: "img" });
  if (gate.target !== null) {
    chart.append(svg("line", { class: "target", x1: CHART.left, x2: width - CHART.right,
                               y1: y(gate.target), y2: y(gate.target) }));
  }
  chart.append(svg("path", { class: "total", d: totalPath(gate, frameX, y) }));
  if (gate.opened_at !== null && gate.totals[gate.opened_at] !== null) {
    chart.append(svg("circle", { class: "opened", r: 4, cx: frameX(gate.opened_at),
                                 cy: y(gate.totals[gate.opened_at]) }));
  }
  chart.append(svg("text", { x: CHART.left - 3, y: CHART.top + 7, "text-anchor": "end" },
                   formatNumber(high)),
               svg("text", { x: CHART.left - 3, y: height - CHART.bottom, "text-anchor": "end" },
                   formatNumber(low)));
  frameAxis(chart, frameX);
  const now = svg("line", { class: "now", y1: CHART.top, y2: height - CHART.bottom });
  const dot = svg("circle", { class: "dot", r: 3 });
  chart.append(now, dot);
  // The page stays where it is, so that the charts stay under the pointer for the next click.
  chart.addEventListener("click", event => {
    pause();
    show(frameAt(chart, event.clientX), false);
  });
  return chartFigure(gate, chart, (number) => {
    now.setAttribute("x1", frameX(number));
    now.setAttribute("x2", frameX(number));
    const value = gate.totals[number];
    dot.setAttribute("visibility", value === null ? "hidden" : "visible");
    if (value !== null) { dot.setAttribute("cx", frameX(number)); dot.setAttribute("cy", y(value)); }
  });
}

function chartFigure(gate, chart, mark) {
  const figure = element("figure", "chart");
  const state = gate.opened_at === null ? "never opened" : "opened at frame " +
      frames[gate.opened_at].meta.frame_index;
  const caption = gate.name + " \u201C" + gate.visual_id + "\u201D in " + gate.zone + ": target " +
      RULES[gate.rule] + " " + formatNumber(gate.target) + " (" + state + ")";
  const text = element("figcaption", "", caption);
  text.title = caption + "; click the chart to show a frame";
  figure.append(text, chart);
  figure.mark = mark;
  return figure;
}

function addCharts(holder, gates) {
  for (const gate of gates) {
    const chart = drawChart(gate);
    chart.mark(shown);
    charts.push(chart);
    holder.append(chart);
  }
}

function setUpCharts() {
  const panel = document.getElementById("charts");
  const holder = panel.querySelector(".charts");
  holder.replaceChildren();
  charts.length = 0;
  panel.hidden = data.gates.length === 0;
  if (panel.hidden) return;
  panel.querySelector(".hint").textContent = counted(data.gates.length, "gate") +
      " \u00B7 click a chart to show that frame";
  addCharts(holder, data.gates.slice(0, FIRST_CHARTS));
  const rest = data.gates.slice(FIRST_CHARTS);
  if (rest.length) {
    const more = element("button", "more", "show " + counted(rest.length, "more gate"));
    more.addEventListener("click", () => { more.remove(); addCharts(holder, rest); });
    holder.append(more);
  }
}

function markCharts(number) {
  charts.forEach(chart => chart.mark(number));
}
