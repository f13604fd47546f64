#!/usr/bin/env bash
# `cmake --install` staged into a DESTDIR, as a packager or `make install`
# does it: every file in its place, and the installed programs run from /
# find the installed data beside their bin/ folder (no data/ in the current
# folder, no $TARNWICK_DATA).
#
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR}")
source=$(realpath "${2:?usage: install_test.sh BUILD_DIR SOURCE_DIR}")
fail() { echo "install test: FAILED: $*" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /opt/tarnwick > "$stage/install.log" ||
  { cat "$stage/install.log"; fail "cmake --install failed"; }
p="$stage/opt/tarnwick"
for f in bin/tarnwick bin/tarnwick-capture bin/tarnwick-sync share/tarnwick/data/musik/musik.mp3 \
    share/tarnwick/data/sync/sync.csv share/applications/tarnwick.desktop \
    share/icons/hicolor/256x256/apps/tarnwick.png share/man/man6/tarnwick.6.gz \
    share/man/man1/tarnwick-capture.1.gz share/man/man1/tarnwick-sync.1.gz \
    share/doc/tarnwick/README.md share/doc/tarnwick/copyright; do
  [ -s "$p/$f" ] || fail "$f was not installed"
done
[ -x "$p/bin/tarnwick" ] || fail "bin/tarnwick is not executable"
diff -r "$source/data" "$p/share/tarnwick/data" || fail "the installed data differs from data/"
for page in "$p"/share/man/man*/*.gz; do
  gzip -t "$page" || fail "$page is not a valid gzip file"
  zcat "$page" | grep -q '^\.SH EXAMPLES' || fail "$page has no examples"
done
# The pages name the data folder of this prefix, not of another one.
zgrep -q '^\.IR /opt/tarnwick/share/tarnwick/data ' "$p/share/man/man6/tarnwick.6.gz" ||
  fail "tarnwick(6) does not name /opt/tarnwick/share/tarnwick/data"
if zgrep -l 'TARNWICK_DATADIR\|/usr/share/tarnwick' "$p"/share/man/man*/*.gz; then
  fail "these manual pages name another data folder"
fi
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$p/share/applications/tarnwick.desktop" || fail "the desktop entry is not valid"
fi

# From /, with nothing to find but the installed data.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
unset TARNWICK_DATA
cd /
timeout 300 "$p/bin/tarnwick" --windowed --start-row 748 2> "$stage/run.err" ||
  { cat "$stage/run.err"; fail "the installed demo did not play from /"; }
timeout 300 "$p/bin/tarnwick-capture" --shot 200 --out "$stage/shots" > /dev/null 2> "$stage/capture.err" ||
  { cat "$stage/capture.err"; fail "the installed capture tool failed from /"; }
[ -s "$stage/shots/row_200.png" ] || fail "the installed capture tool wrote no shot"

# Moved away from its data, it says where it looked.
mkdir "$stage/elsewhere"
cp "$p/bin/tarnwick" "$stage/elsewhere/"
if "$stage/elsewhere/tarnwick" --windowed 2> "$stage/none.err"; then fail "a demo without data ran"; fi
grep -q "no data found: looked for data/musik/musik.mp3, $stage/share/tarnwick/data/musik/musik.mp3 and $stage/elsewhere/data/musik/musik.mp3" "$stage/none.err" ||
  { cat "$stage/none.err"; fail "the message does not name every place looked at"; }
echo "install test: 1 passed, 0 failed"
