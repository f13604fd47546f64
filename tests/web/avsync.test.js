// The page's picture on its sound, in headless chromium through a PulseAudio
// server of the test's own: the desktop's sync measurement (avsync.sh --page)
// for 15 s, with a wide margin for a busy machine. A clock a whole buffer
// off still fails it.
"use strict";
const { test } = require("node:test");
const assert = require("node:assert");
const path = require("path");
const { spawnSync } = require("child_process");

const root = path.resolve(__dirname, "../..");
const publicDir = path.resolve(process.env.TARNWICK_PUBLIC || path.join(root, "build-web/public"));
const capture = path.resolve(process.env.TARNWICK_CAPTURE || path.join(root, "build/tools/capture/tarnwick-capture"));
const buildDir = path.resolve(path.dirname(capture), "../..");

test("the page's picture is on its sound through PulseAudio (chromium)", { timeout: 300000 }, (t) => {
  const run = spawnSync("sh", [path.join(root, "tools/avsync/avsync.sh"), buildDir, path.join(root, "data"),
    "--seconds", "15", "--limit", "30", "--page", publicDir], { encoding: "utf8", timeout: 280000 });
  if (run.status === 77) {
    t.skip(run.stderr.trim());
    return;
  }
  console.log(run.stdout.trim());
  assert.strictEqual(run.status, 0, run.stdout + run.stderr);
  assert.match(run.stdout, /median [-+]\d/);
});
