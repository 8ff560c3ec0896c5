"use strict";
// The studio's buttons, keys and the stream of changes to the level file on disk.

function keepPanelBelowHeader() {
  const height = document.querySelector("header").offsetHeight;
  document.body.style.setProperty("--header-height", height + "px");
}

document.getElementById("undo").addEventListener("click", undo);
document.getElementById("redo").addEventListener("click", redo);
document.getElementById("save").addEventListener("click", () => save(false));
document.getElementById("solve").addEventListener("click", solve);
document.getElementById("playtest").addEventListener("click", playtest);
document.getElementById("keep-preview").addEventListener("click", keepPreview);
document.getElementById("end-preview").addEventListener("click", () => {
  if (endPreview()) replay();
});
document.addEventListener("keydown", (event) => {
  if (!(event.ctrlKey || event.metaKey)) return;
  const key = event.key.toLowerCase();
  if (key === "s") {
    event.preventDefault();
    save(false);
    return;
  }
  // A field being typed in keeps its own undo.
  if (event.target.matches && event.target.matches("input[type=text], input[type=number]")) {
    return;
  }
  if (key === "z" && !event.shiftKey) {
    event.preventDefault();
    undo();
  } else if ((key === "z" && event.shiftKey) || key === "y") {
    event.preventDefault();
    redo();
  }
});
window.addEventListener("beforeunload", (event) => {
  if (dirty()) event.preventDefault();
});
window.addEventListener("resize", keepPanelBelowHeader);
const fileEvents = new EventSource("api/events?token=" + encodeURIComponent(studio.token));
fileEvents.addEventListener("file", (event) => fileChanged(JSON.parse(event.data)));
keepPanelBelowHeader();
updateState();
// The page has no run until the engine has started; then it plays the level at the frame the
// address names, and draws the panel once that frame is on screen.
OrvEngine().then((started) => {
  engine = started;
  shown = frameFromHash();
  replay(drawEditor);
}, (error) => {
  drawEditor();
  showProblems([{ place: "", problem: "the browser engine could not start: " + error.message }]);
});
