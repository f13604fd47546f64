// The demo's web page in a real browser: Debian's chromium, headless, with
// WebGL through SwiftShader, driven by puppeteer-core. Needs the built page
// (TARNWICK_PUBLIC, default build-web/public) and the native capture tool
// (TARNWICK_CAPTURE) whose shots the page's shots are held against.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const { execFileSync, spawn } = require("child_process");
const puppeteer = require("puppeteer-core");
const { readRgb, differences } = require("./compare");

const root = path.resolve(__dirname, "../..");
const publicDir = path.resolve(process.env.TARNWICK_PUBLIC || path.join(root, "build-web/public"));
const capture = path.resolve(process.env.TARNWICK_CAPTURE || path.join(root, "build/tools/capture/tarnwick-capture"));
const syncTool = path.join(path.dirname(capture), "../sync/tarnwick-sync");
const browserPath = process.env.CHROMIUM || "/usr/bin/chromium";
const work = fs.mkdtempSync(path.join(os.tmpdir(), "tarnwick-web-"));

// One shot near the end of each scene, so that the pass also times each one.
const shotRows = [40, 186, 220, 270, 466, 600, 744];
const sceneNames = ["opening squares", "arc bands", "logo tiles", "tumbling cubes", "credits field", "greetings",
  "closing wheels"];
// Rasterisers differ along edges (see compare.js).
const maxPixelShare = 0.01;
const maxBlockShare = 0.002;

const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm",
  ".json": "application/json", ".png": "image/png", ".mp3": "audio/mpeg" };
let server, base, browser;
const consoleErrors = [];

function serve() {
  return new Promise((resolve) => {
    server = http.createServer((req, res) => {
      const name = decodeURIComponent(new URL(req.url, "http://x").pathname);
      const file = path.join(publicDir, name.endsWith("/") ? name + "index.html" : name);
      if (!file.startsWith(publicDir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
        res.writeHead(404).end();
        return;
      }
      res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
      fs.createReadStream(file).pipe(res);
    });
    server.listen(0, "127.0.0.1", () => resolve(`http://127.0.0.1:${server.address().port}/`));
  });
}

// A fresh page; its console errors are collected unless it expects some.
async function open(query, { expectErrors = false, broken = {} } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width: 960, height: 600 });
  const note = (text) => { if (!expectErrors) consoleErrors.push(text); };
  page.on("console", (m) => { if (m.type() === "error") note(m.text()); });
  page.on("pageerror", (e) => note(e.message));
  if (Object.keys(broken).length) {
    await page.setRequestInterception(true);
    page.on("request", (r) => {
      const hit = Object.keys(broken).find((name) => r.url().endsWith(name));
      if (!hit) r.continue();
      else if (broken[hit] === 404) r.respond({ status: 404, body: "" });
      else r.respond({ status: 200, contentType: "application/octet-stream", body: broken[hit] });
    });
  }
  await page.goto(base + "index.html" + query);
  return page;
}

const titleIs = (page, text, timeout) =>
  page.waitForFunction((t) => document.title === t || document.title.includes("failed"),
    { timeout, polling: 250 }, text).then(() => page.title());

test.before(async () => {
  base = await serve();
  browser = await puppeteer.launch({
    executablePath: browserPath,
    protocolTimeout: 900000,
    args: ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
      "--autoplay-policy=no-user-gesture-required"],
  });
});

test.after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
});

test("the page fits in 4 MB with its data", () => {
  let total = 0;
  const walk = (dir) => fs.readdirSync(dir, { withFileTypes: true }).forEach((e) => {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) walk(p); else total += fs.statSync(p).size;
  });
  walk(publicDir);
  console.log(`# page with data: ${(total / 1e6).toFixed(2)} MB`);
  assert.ok(total <= 4e6, `${total} bytes`);
});

test("shots of every scene match the native capture", { timeout: 1200000 }, async () => {
  const nativeDir = path.join(work, "native");
  fs.mkdirSync(nativeDir);
  const page = await open("?shot=" + shotRows.join(","));
  const rps = rowsPerSecond();
  let last = { row: 0, at: Date.now() };
  for (const [i, row] of shotRows.entries()) {
    assert.strictEqual(await titleIs(page, `shot ${row} ready`, 900000), `shot ${row} ready`);
    const now = Date.now();
    const frames = ((row - last.row) / rps) * 60;
    const ms = ((now - last.at) / frames).toFixed(1);
    console.log(`# rows ${last.row}-${row} (${sceneNames[i]}${i ? "" : ", with the page's loading"}): ${ms} ms per frame`);
    last = { row, at: now };
    const url = await page.evaluate(() => document.getElementById("canvas").toDataURL("image/png"));
    fs.writeFileSync(path.join(work, `web_${row}.png`), Buffer.from(url.split(",")[1], "base64"));
    await page.evaluate(() => window.nextShot());
  }
  await page.close();
  // The native shots after the page's, so that the page's times are its own.
  let stderr = "";
  await new Promise((resolve, reject) => {
    const child = spawn(capture, ["--shot", shotRows.join(","), "--out", nativeDir, "--data", path.join(root, "data")],
      { stdio: ["ignore", "ignore", "pipe"] });
    child.stderr.on("data", (d) => { stderr += d; });
    child.on("exit", (code) => (code === 0 ? resolve() : reject(new Error(`tarnwick-capture exited ${code}: ${stderr}`))));
    child.on("error", reject);
  });
  const nativeFile = (row) => path.join(nativeDir, `row_${String(row).padStart(3, "0")}.png`);
  for (const row of shotRows) {
    const d = differences(readRgb(path.join(work, `web_${row}.png`)), readRgb(nativeFile(row)));
    console.log(`# row ${row}: ${JSON.stringify(d)}`);
    assert.ok(d.pixelShare <= maxPixelShare && d.blockShare <= maxBlockShare, `row ${row}: ${JSON.stringify(d)}`);
  }
  // The comparison tells scenes apart.
  const other = differences(readRgb(path.join(work, "web_600.png")), readRgb(nativeFile(744)));
  assert.ok(other.pixelShare > maxPixelShare && other.blockShare > maxBlockShare);
});

// The music's rows per second, from the sync file's tempo.
function rowsPerSecond() {
  const text = fs.readFileSync(path.join(publicDir, "data/sync/sync.csv"), "utf8");
  const field = (name) => Number(text.match(new RegExp(`^${name}\\t([0-9.]+)`, "m"))[1]);
  return (field("bpm") / 60) * field("resolution");
}

test("a second run in the page draws the same frame as the first", { timeout: 300000 }, async () => {
  // Row 30 again after row 60 is drawn by a new run from row 0.
  const page = await open("?shot=30,60,30");
  const shots = [];
  for (const [i, row] of [30, 60, 30].entries()) {
    assert.strictEqual(await titleIs(page, `shot ${row} ready`, 240000), `shot ${row} ready`);
    const url = await page.evaluate(() => document.getElementById("canvas").toDataURL("image/png"));
    const file = path.join(work, `again_${i}_${row}.png`);
    fs.writeFileSync(file, Buffer.from(url.split(",")[1], "base64"));
    shots.push(readRgb(file).rgb);
    await page.evaluate(() => window.nextShot());
  }
  await page.close();
  const differing = (a, b) => a.reduce((n, v, i) => n + (v !== b[i]), 0);
  console.log(`# row 30, second run against the first: ${differing(shots[0], shots[2])} bytes differ`);
  assert.strictEqual(shots[0].length, shots[2].length);
  assert.strictEqual(differing(shots[0], shots[2]), 0);
  assert.ok(differing(shots[0], shots[1]) > 0, "the comparison tells frames apart");
});

test("shots that cannot be taken say why in the title", async () => {
  for (const [query, reason] of [["5x", "the row must be a music row in plain digits, not '5x'"],
                                 ["abc", "the row must be a music row in plain digits, not 'abc'"],
                                 ["754", "the row must be a music row from 0 to 753"]]) {
    const page = await open("?shot=" + query, { expectErrors: true });
    const title = await titleIs(page, "", 60000);
    assert.strictEqual(title.startsWith(`shot ${query} failed: ${reason}`), true, title);
    await page.close();
  }
});

test("what does not arrive, or cannot be played, is said on the page", { timeout: 180000 }, async () => {
  // A start row past the demo's last row is refused as the desktop refuses it.
  for (const row of ["754", "99999"]) {
    const page = await open("?start-row=" + row, { expectErrors: true });
    await page.waitForSelector("#play:not([disabled])", { timeout: 60000 });
    await page.click("#play");
    await page.waitForFunction((n) => document.getElementById("message").textContent.includes(n),
      { timeout: 30000 }, `?start-row= needs a music row from 0 to 753, not ${row}`);
    assert.ok(await page.$eval("#start", (e) => !e.hidden), "the start screen stays");
    await page.close();
  }
  // The program, or the list of data files, that does not come: named, and
  // "Loading..." gone.
  for (const [broken, named] of [[{ "tarnwick.js": 404 }, "tarnwick: tarnwick.js could not be loaded"],
                                 [{ "files.json": "<html>not found</html>" }, "tarnwick: data/files.json: not a JSON list"]]) {
    const page = await open("", { expectErrors: true, broken });
    await page.waitForFunction((n) => document.getElementById("message").textContent.includes(n),
      { timeout: 60000 }, named);
    assert.strictEqual(await page.$eval("#status", (e) => e.textContent), "");
    assert.ok(await page.$eval("#play", (e) => e.disabled), "nothing to play");
    await page.close();
  }
});

test("the start screen, a run from ?start-row= on the audio clock, F and Escape", { timeout: 120000 }, async () => {
  const page = await open("?start-row=400");
  assert.strictEqual(await page.title(), "Tarnwick");
  await page.waitForSelector("#play:not([disabled])", { timeout: 60000 });
  assert.ok(await page.$eval("#start", (e) => !e.hidden));
  await page.click("#play");
  assert.ok(await page.$eval("#start", (e) => e.hidden));
  const sample = () => page.evaluate(() => ({
    clock: Module.tarnwickAudio.context.currentTime, row: Module._tarnwick_music_row(),
    state: Module.tarnwickAudio.context.state }));
  await new Promise((r) => setTimeout(r, 1000));
  const a = await sample();
  await new Promise((r) => setTimeout(r, 3000));
  const b = await sample();
  console.log(`# audio clock ${JSON.stringify(a)} -> ${JSON.stringify(b)}`);
  assert.strictEqual(b.state, "running");
  assert.ok(b.clock - a.clock > 1, "the audio clock advances");
  assert.ok(a.row >= 400 && a.row < 400 + 4 * rowsPerSecond(), `first row ${a.row}`);
  const expected = (b.clock - a.clock) * rowsPerSecond();
  assert.ok(Math.abs(b.row - a.row - expected) <= 2 + 0.05 * expected, `rows ${a.row} -> ${b.row}, ${expected} expected`);
  // F toggles the browser's fullscreen.
  await page.keyboard.press("f");
  await page.waitForFunction(() => document.fullscreenElement !== null, { timeout: 5000 });
  await page.keyboard.press("f");
  await page.waitForFunction(() => document.fullscreenElement === null, { timeout: 5000 });
  // Pressed and let go before the next frame is drawn.
  await page.evaluate(() => ["keydown", "keyup"].forEach((type) =>
    window.dispatchEvent(new KeyboardEvent(type, { key: "Escape", bubbles: true }))));
  await page.waitForFunction(() => !document.getElementById("start").hidden, { timeout: 10000 });
  const row = await page.evaluate(() => Module._tarnwick_music_row());
  await new Promise((r) => setTimeout(r, 500));
  assert.strictEqual(await page.evaluate(() => Module._tarnwick_music_row()), row, "the music stopped");
  await page.close();
});

test("the browser decodes the music to the desktop's length", { timeout: 60000 }, async () => {
  const data = path.join(root, "data");
  const report = JSON.parse(execFileSync(syncTool, [path.join(data, "sync/sync.csv"), "--music",
    path.join(data, "musik/musik.mp3"), "--json"]).toString());
  const page = await open("");
  await page.waitForSelector("#play:not([disabled])", { timeout: 60000 });
  const seconds = await page.evaluate(() => Module.tarnwickSounds["/data/musik/musik.mp3"].buffer.duration);
  console.log(`# music: ${seconds} s in the browser, ${report.lengthSeconds} s from libmpg123`);
  assert.ok(Math.abs(seconds - report.lengthSeconds) < 0.001);
  await page.close();
});

test("the end of the demo brings the start screen back, and the demo plays again", { timeout: 120000 }, async () => {
  const page = await open("?start-row=748");
  await page.waitForSelector("#play:not([disabled])", { timeout: 60000 });
  for (let run = 0; run < 2; run++) {
    // The highest row seen while it plays.
    await page.evaluate(() => {
      window.highestRow = 0;
      setInterval(() => { window.highestRow = Math.max(window.highestRow, Module._tarnwick_music_row()); }, 10);
    });
    await page.click("#play");
    assert.ok(await page.$eval("#start", (e) => e.hidden));
    await page.waitForFunction(() => !document.getElementById("start").hidden, { timeout: 30000 });
    const highest = await page.evaluate(() => window.highestRow);
    assert.ok(highest > 748 && highest <= 760, `run ${run}: rows up to ${highest}`);
  }
  assert.strictEqual(await page.$eval("#message", (e) => e.textContent), "");
  await page.close();
});

test("a missing picture and a broken music file are named on the page", { timeout: 120000 }, async () => {
  for (const [file, body, named] of [["Grafik/bak.png", 404, "data/Grafik/bak.png: "],
                                     ["musik/musik.mp3", "not an mp3", "data/musik/musik.mp3: "]]) {
    const page = await open("", { expectErrors: true, broken: { [file]: body } });
    await page.waitForSelector("#play:not([disabled])", { timeout: 60000 });
    await page.click("#play");
    await page.waitForFunction((n) => document.getElementById("message").textContent.includes(n),
      { timeout: 30000 }, named);
    assert.ok(await page.$eval("#start", (e) => !e.hidden), "the start screen is back");
    await page.close();
  }
});

test("no errors on the console of a normal run", () => {
  assert.deepStrictEqual(consoleErrors, []);
});
