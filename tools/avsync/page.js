// Plays the demo's web page in headless chromium for the sync measurement and
// writes its frame log in the form the analyser reads: one line per frame,
// the monotonic clock (CLOCK_MONOTONIC, ns) at the end of the frame and the
// music position it shows. The browser's sound goes wherever PulseAudio's
// environment points (avsync.sh starts a server of its own).
//
// usage: node page.js URL SECONDS OUT
//   URL      the page (its ?frame-log query is added here)
//   SECONDS  how long to measure, from the first frame on
//   OUT      the frame log to write
//
// The page logs its own clock (performance.now()); node's process.hrtime is
// CLOCK_MONOTONIC. The two are tied by asking the page for its clock many
// times and keeping the answer with the shortest round trip, before and after
// the run (the mean of the two is used; their difference is printed).
"use strict";
const fs = require("fs");
const puppeteer = require("puppeteer-core");

const [url, secondsText, out] = process.argv.slice(2);
if (!out || !(Number(secondsText) > 0)) {
  console.error("usage: node page.js URL SECONDS OUT");
  process.exit(2);
}
const seconds = Number(secondsText);
const fail = (why) => {
  console.error("avsync page: " + why);
  process.exitCode = 1;
};
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Monotonic ns minus the page's clock in ns, from the quickest of 50 asks.
async function clockOffset(page) {
  let best = null;
  for (let i = 0; i < 50; i++) {
    const before = process.hrtime.bigint();
    const pageMs = await page.evaluate(() => performance.now());
    const after = process.hrtime.bigint();
    const trip = Number(after - before);
    if (!best || trip < best.trip) {
      best = { trip, offset: Number(before) + trip / 2 - pageMs * 1e6 };
    }
  }
  return best;
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    // Puppeteer mutes the browser unless told not to.
    ignoreDefaultArgs: ["--mute-audio"],
    args: ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--use-angle=swiftshader",
      "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 720 });
    page.on("console", (m) => { if (m.type() === "error") console.error("  page: " + m.text()); });
    await page.goto(url + (url.includes("?") ? "&" : "?") + "frame-log");
    await page.waitForSelector("#play:not([disabled])", { timeout: 120000 });
    const first = await clockOffset(page);
    await page.click("#play");
    await page.waitForFunction(() => window.frameLogText().length > 0, { timeout: 60000, polling: 100 });
    await sleep(seconds * 1000);
    const text = await page.evaluate(() => window.frameLogText());
    const last = await clockOffset(page);
    const offset = (first.offset + last.offset) / 2;
    console.error(`avsync page: page clock tied to the monotonic clock within ${(Math.max(first.trip, last.trip) / 2e6).toFixed(2)} ms ` +
      `(moved ${((last.offset - first.offset) / 1e6).toFixed(2)} ms over the run)`);
    const lines = text.split("\n").filter(Boolean).map((line) => {
      const [ns, position] = line.split(" ");
      return `${Math.round(Number(ns) + offset)} ${position}`;
    });
    fs.writeFileSync(out, lines.join("\n") + "\n");
  } finally {
    await browser.close();
  }
}

main().catch((e) => fail(e.message));
