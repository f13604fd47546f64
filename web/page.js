// The page around the demo: it loads the data into the program's file
// system, decodes the music with the browser, and shows the start screen
// (browsers start sound only after a gesture). ?start-row=R plays from music
// row R; ?shot=ROW draws one frame as the capture tool's --shot does and
// says so in the page's title (the page's test interface): "shot ROW ready"
// or "shot ROW failed: <reason>". ?shot=R1,R2,... takes its shots in one pass,
// drawing on to the next when the page's nextShot() is called (a row before
// the one shown begins a new run from row 0). ?frame-log has the run write
// its frame log (the sync measurement's: each frame's time on the page's
// clock and the music position it shows), which frameLogText() returns.
"use strict";

const query = new URLSearchParams(location.search);
const shotText = query.get("shot");
const startText = query.get("start-row");
const frameLogPath = query.has("frame-log") ? "/frames.log" : "";
const el = (id) => document.getElementById(id);
let canvas = el("canvas");
// A touch screen (a phone, a tablet): its hints, and a tap for the controls.
const touchScreen = matchMedia("(pointer: coarse)").matches;
document.body.classList.toggle("touch", touchScreen);
const viewportPlain = "width=device-width, initial-scale=1";
let contextLost = false;
let playing = false;
let ready = false;
// How long any one download may take before the page gives up on it and says
// which one did not arrive (the whole page with its data is under 3 MB).
const loadTimeoutMs = 30000;

function say(text) { el("status").textContent = text; }

// What the program writes on stderr is what went wrong: the page shows it.
function report(line) {
  console.error(line);
  el("message").textContent += line + "\n";
  el("start").hidden = false;
}

// Loading stopped for good: the message says why, and "Loading..." goes.
function loadFailed(line) {
  say("");
  report(line);
  if (shotText !== null) document.title = "shot " + shotText + " failed: " + line;
}

// The program itself (tarnwick.js, which fetches tarnwick.wasm) must arrive
// in time too; onerror of its script tag calls this at once.
let programState = "loading";  // then "arrived" or "missing"
function programMissing(what) {
  if (programState !== "loading") return;
  programState = "missing";
  loadFailed("tarnwick: " + what);
}
window.programMissing = programMissing;
const programTimer = setTimeout(() => programMissing("tarnwick.js and tarnwick.wasm did not arrive within " +
  loadTimeoutMs / 1000 + " s"), loadTimeoutMs);

var Module = {
  canvas: canvas,
  print: (line) => console.log(line),
  printErr: report,
  onAbort: (what) => loadFailed("tarnwick: the program stopped: " + what),
  onRuntimeInitialized: () => {
    clearTimeout(programTimer);
    programState = "arrived";
    loadData().then(start, (e) => loadFailed("tarnwick: " + e.message));
  },
  // The run is over (its end, Escape, End or a lost WebGL context): back to
  // the start screen.
  onRunEnd: () => {
    if (shotText !== null) return;  // a shot stays on the canvas
    playing = false;
    setPlaying(false);
    if (contextLost) freshCanvas();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    el("start").hidden = false;
    el("play").focus();
  },
  // The browser has no sound to give this run: it plays silently, and says so.
  onSilentRun: () => {
    el("note").textContent = "no sound device: playing without sound";
    el("note").hidden = false;
  },
  tarnwickSounds: {},
};

// The bytes at `url`, or null when the server has none (an error status or
// no answer). A download that has not finished within loadTimeoutMs is
// given up, and that is an error naming it.
async function download(url) {
  const stop = new AbortController();
  const timer = setTimeout(() => stop.abort(), loadTimeoutMs);
  try {
    const response = await fetch(url, { signal: stop.signal });
    if (!response.ok) return null;
    return { bytes: new Uint8Array(await response.arrayBuffer()), type: response.headers.get("Content-Type") || "" };
  } catch (e) {
    if (stop.signal.aborted) throw new Error(url + " did not arrive within " + loadTimeoutMs / 1000 + " s");
    return null;
  } finally {
    clearTimeout(timer);
  }
}

// The list of data files: a JSON list of names, or an error naming it.
async function fileList() {
  const got = await download("data/files.json");
  if (!got) return [];  // the program names the files it misses
  let list = null;
  try {
    list = JSON.parse(new TextDecoder().decode(got.bytes));
  } catch (e) {
    list = null;
  }
  if (!Array.isArray(list) || !list.every((name) => typeof name === "string")) {
    throw new Error("data/files.json: not a JSON list of file names (served as " + (got.type || "no type") + ")");
  }
  return list;
}

// Every file of the data set into /data; a file that the server does not
// have is left out, and the program names it when it looks for it.
async function loadData() {
  const list = await fileList();
  let done = 0;
  await Promise.all(list.map(async (name) => {
    const got = await download("data/" + name);
    say("Loading\u2026 " + ++done + " of " + list.length + " files");
    if (!got) return;
    const bytes = got.bytes;
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

const shotRows = shotText === null ? [] : shotText.split(",");

// The next of the ?shot= rows; false when all were taken. A row that is no
// number is named as given; the program checks the range.
function nextShot() {
  if (shotRows.length === 0) return false;
  const text = shotRows.shift();
  if (plainRow(text) < 0) {
    const why = "the row must be a music row in plain digits, not '" + text + "'";
    console.error("tarnwick: shot " + text + " failed: " + why);
    document.title = "shot " + text + " failed: " + why;
    return true;
  }
  Module.ccall("tarnwick_shot", null, ["number"], [plainRow(text)]);
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
  setPlaying(true);
  canvas.focus();
  if (Module.ccall("tarnwick_play", "number", ["number", "string"], [row, frameLogPath]) !== 0) {
    playing = false;
    setPlaying(false);
    el("start").hidden = false;
  }
}

// While a run plays the page neither zooms nor scrolls, and its note and
// controls belong to that run.
function setPlaying(on) {
  document.body.classList.toggle("playing", on);
  el("viewport").content = on ? viewportPlain + ", maximum-scale=1, user-scalable=no" : viewportPlain;
  el("note").hidden = true;
  el("controls").hidden = true;
}

// A tap on the picture shows End and Fullscreen for a few seconds.
let controlsTimer = 0;
function showControls() {
  el("controls").hidden = false;
  clearTimeout(controlsTimer);
  controlsTimer = setTimeout(() => { el("controls").hidden = true; }, 4000);
}

// The program ends a run on Escape, from the keyboard or from End.
function endRun() {
  if (!playing) return;
  ["keydown", "keyup"].forEach((type) => window.dispatchEvent(new KeyboardEvent(type, { key: "Escape", bubbles: true })));
}

// A lost WebGL context does not come back on its canvas: the run ends (the
// program says so), and the next run draws on a fresh canvas.
function onContextLost() {
  if (contextLost || shotText !== null) return;
  contextLost = true;
  report("tarnwick: the browser took the picture's WebGL context away (a graphics reset, or too many pages " +
    "drawing); Play starts the demo again");
}

function listenToCanvas() {
  canvas.addEventListener("dblclick", toggleFullscreen);
  canvas.addEventListener("webglcontextlost", onContextLost);
  canvas.addEventListener("pointerdown", (e) => {
    if (playing && (touchScreen || e.pointerType === "touch")) showControls();
  });
}

function freshCanvas() {
  const fresh = canvas.cloneNode(false);
  canvas.replaceWith(fresh);
  canvas = Module.canvas = fresh;
  contextLost = false;
  listenToCanvas();
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else document.documentElement.requestFullscreen().catch(() => {});
}

window.frameLogText = () => (frameLogPath && Module.FS.analyzePath(frameLogPath).exists
  ? new TextDecoder().decode(Module.FS.readFile(frameLogPath)) : "");

el("play").addEventListener("click", play);
el("end").addEventListener("click", endRun);
el("full").addEventListener("click", toggleFullscreen);
listenToCanvas();
document.addEventListener("keydown", (e) => {
  if (e.key === "Enter" && !playing && shotText === null) {
    e.preventDefault();
    play();
  } else if ((e.key === "f" || e.key === "F") && !e.ctrlKey && !e.metaKey && !e.altKey) {
    toggleFullscreen();
  }
});
