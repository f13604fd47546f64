#!/usr/bin/env bash
# docs/scenes.png: one shot of every scene, rendered by tarnwick-capture from
# the shipped data and laid out with ImageMagick's montage.
#   scenes_sheet.sh CAPTURE_TOOL OUTPUT.png
set -euo pipefail
tool=${1:?usage: scenes_sheet.sh CAPTURE_TOOL OUTPUT.png}
out=${2:?usage: scenes_sheet.sh CAPTURE_TOOL OUTPUT.png}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# row:label, one per scene (the wheels twice: with and without the caption).
shots=(
  "30:opening squares"
  "150:arc bands"
  "210:logo tiles"
  "262:tumbling cubes"
  "300:credits field"
  "560:greetings"
  "700:closing wheels"
  "745:closing wheels, caption"
)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rows=$(IFS=,; for s in "${shots[@]}"; do printf '%s,' "${s%%:*}"; done)
"$tool" --size 640x360 --shot "${rows%,}" --out "$work" >/dev/null

args=()
for s in "${shots[@]}"; do
  row=${s%%:*}
  file=$(printf '%s/row_%03d.png' "$work" "$row")
  args+=(-label "row $row: ${s#*:}" "$file")
done
fontargs=()
[ -f "$font" ] && fontargs=(-font "$font")
montage "${fontargs[@]}" -pointsize 18 -fill white -background '#111111' "${args[@]}" \
  -tile 4x -geometry 640x360+6+6 "$out"
echo "scenes sheet written to $out"
