// The page around the demo: it loads the data into the program's file
// system, decodes the music with the browser, and shows the start screen
// (browsers start sound only after a gesture). ?start-row=R plays from music
// row R; ?shot=ROW draws one frame as the capture tool's --shot does and
// says so in the page's title (the page's test interface): "shot ROW ready"
// or "shot ROW failed: <reason>". ?shot=R1,R2,... takes its shots in one pass,
// drawing on to the next when the page's nextShot() is called (a row before
// the one shown begins a new run from row 0).
"use strict";

const query = new URLSearchParams(location.search);
const shotText = query.get("shot");
const startText = query.get("start-row");
const el = (id) => document.getElementById(id);
const canvas = el("canvas");
let playing = false;
let ready = false;

function say(text) { el("status").textContent = text; }

// What the program writes on stderr is what went wrong: the page shows it.
function report(line) {
  console.error(line);
  el("message").textContent += line + "\n";
  el("start").hidden = false;
}

var Module = {
  canvas: canvas,
  print: (line) => console.log(line),
  printErr: report,
  onAbort: (what) => report("tarnwick: the program stopped: " + what),
  onRuntimeInitialized: () => { loadData().then(start, (e) => report("tarnwick: " + e.message)); },
  // The run is over (its end, or Escape): back to the start screen.
  onRunEnd: () => {
    if (shotText !== null) return;  // a shot stays on the canvas
    playing = false;
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    el("start").hidden = false;
    el("play").focus();
  },
  tarnwickSounds: {},
};

// Every file of the data set into /data; a file that cannot be fetched is
// left out, and the program names it when it looks for it.
async function loadData() {
  const list = await fetch("data/files.json").then((r) => (r.ok ? r.json() : []), () => []);
  let done = 0;
  await Promise.all(list.map(async (name) => {
    const response = await fetch("data/" + name).catch(() => null);
    say("Loading\u2026 " + ++done + " of " + list.length + " files");
    if (!response || !response.ok) return;
    const bytes = new Uint8Array(await response.arrayBuffer());
    const path = "/data/" + name;
    Module.FS.mkdirTree(path.substring(0, path.lastIndexOf("/")));
    Module.FS.writeFile(path, bytes);
    if (name.endsWith(".mp3")) await decode(path, bytes);
  }));
}

// The music, decoded by the browser ahead of the run, kept by its path.
async function decode(path, bytes) {
  try {
    const context = new OfflineAudioContext(2, 1, 44100);
    const buffer = await context.decodeAudioData(bytes.slice().buffer);
    Module.tarnwickSounds[path] = { buffer: buffer };
  } catch (e) {
    Module.tarnwickSounds[path] = { error: "the browser cannot decode it as audio" };
  }
}

function plainRow(text) { return /^[0-9]{1,9}$/.test(text) ? Number(text) : -1; }

const shotRows = shotText === null ? [] : shotText.split(",").map(plainRow);

// The next of the ?shot= rows; false when all were taken.
function nextShot() {
  if (shotRows.length === 0) return false;
  Module.ccall("tarnwick_shot", null, ["number"], [shotRows.shift()]);
  return true;
}
window.nextShot = nextShot;

function start() {
  if (shotText !== null) {
    el("start").hidden = true;
    canvas.className = "shot";
    nextShot();
    return;
  }
  ready = true;
  say("");
  el("play").disabled = false;
  el("play").focus();
}

function play() {
  if (!ready || playing) return;
  const row = startText === null ? 0 : plainRow(startText);
  if (row < 0) {
    report("tarnwick: ?start-row= needs a music row (plain digits), not '" + startText + "'");
    return;
  }
  el("message").textContent = "";
  const audio = (Module.tarnwickAudio = Module.tarnwickAudio || {});
  try {
    if (!audio.context) audio.context = new AudioContext();
    if (audio.context.state === "suspended") audio.context.resume();
  } catch (e) {
    // The program plays silently and says so.
  }
  el("start").hidden = true;
  playing = true;
  canvas.focus();
  if (Module.ccall("tarnwick_play", "number", ["number"], [row]) !== 0) {
    playing = false;
    el("start").hidden = false;
  }
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else document.documentElement.requestFullscreen().catch(() => {});
}

el("play").addEventListener("click", play);
canvas.addEventListener("dblclick", toggleFullscreen);
document.addEventListener("keydown", (e) => {
  if (e.key === "Enter" && !playing && shotText === null) {
    e.preventDefault();
    play();
  } else if ((e.key === "f" || e.key === "F") && !e.ctrlKey && !e.metaKey && !e.altKey) {
    toggleFullscreen();
  }
});
