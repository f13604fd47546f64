// Tolerant comparison of two pictures of the same size: rasterisers differ
// along edges, so single pixels may differ a lot while the picture is the
// same. Two figures:
//   - the share of pixels whose colour differs by more than 64 levels in
//     some channel (scattered edge pixels);
//   - the share of 8x8 blocks whose mean colour differs by more than 16
//     levels in some channel (a shape that is missing, moved or recoloured).
"use strict";
const { execFileSync } = require("child_process");

// RGB bytes of a picture file, through ImageMagick.
function readRgb(file) {
  const size = execFileSync("identify", ["-format", "%w %h", file]).toString().split(" ").map(Number);
  const rgb = execFileSync("convert", [file, "-alpha", "off", "-depth", "8", "rgb:-"], { maxBuffer: 1 << 26 });
  return { width: size[0], height: size[1], rgb };
}

function differences(a, b) {
  if (a.width !== b.width || a.height !== b.height) {
    return { sizeMismatch: `${a.width}x${a.height} against ${b.width}x${b.height}` };
  }
  const { width, height } = a;
  let pixels = 0;
  for (let i = 0; i < width * height; i++) {
    for (let c = 0; c < 3; c++) {
      if (Math.abs(a.rgb[i * 3 + c] - b.rgb[i * 3 + c]) > 64) {
        pixels++;
        break;
      }
    }
  }
  let blocks = 0, blockCount = 0;
  for (let by = 0; by + 8 <= height; by += 8) {
    for (let bx = 0; bx + 8 <= width; bx += 8) {
      blockCount++;
      const sum = [0, 0, 0];
      for (let y = by; y < by + 8; y++) {
        for (let x = bx; x < bx + 8; x++) {
          const i = (y * width + x) * 3;
          for (let c = 0; c < 3; c++) sum[c] += a.rgb[i + c] - b.rgb[i + c];
        }
      }
      if (sum.some((s) => Math.abs(s / 64) > 16)) blocks++;
    }
  }
  return { pixelShare: pixels / (width * height), blockShare: blocks / blockCount };
}

module.exports = { readRgb, differences };

if (require.main === module) {
  const d = differences(readRgb(process.argv[2]), readRgb(process.argv[3]));
  console.log(JSON.stringify(d));
}
