#!/usr/bin/env bash
# The Debian package as a user meets it: what it holds, what it depends on,
# what lintian says of it, and then a fresh Debian 12 root where apt-get
# installs it with its dependencies and the demo and the capture tool run
# from / on the installed data.
#
#   test_package.sh BUILD_DIR      (as root: debootstrap and chroot need it)
#
# The fresh root is made with debootstrap from the mirror this machine's apt
# uses; TARNWICK_PACKAGE_ROOT keeps it in a folder of your choice (it is
# reused when it already holds a root), otherwise it goes to a temporary
# folder removed at the end.
set -euo pipefail
build=${1:?usage: test_package.sh BUILD_DIR}
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }
step() { echo "test-package: $*"; }

shopt -s nullglob
debs=("$build"/tarnwick_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one tarnwick_<version>_amd64.deb in $build, found ${#debs[@]}"
deb=$(realpath "${debs[0]}")
step "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"

# What it holds.
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/tarnwick ./usr/bin/tarnwick-capture ./usr/bin/tarnwick-sync \
    ./usr/share/tarnwick/data/musik/musik.mp3 ./usr/share/tarnwick/data/sync/sync.csv \
    ./usr/share/tarnwick/data/Grafik/tarnwicklogo.png ./usr/share/applications/tarnwick.desktop \
    ./usr/share/icons/hicolor/256x256/apps/tarnwick.png ./usr/share/man/man6/tarnwick.6.gz \
    ./usr/share/man/man1/tarnwick-capture.1.gz ./usr/share/man/man1/tarnwick-sync.1.gz \
    ./usr/share/doc/tarnwick/copyright ./usr/share/doc/tarnwick/changelog.gz; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
[ "$(grep -c '^./usr/share/tarnwick/data/Grafik/.*\.png$' <<<"$contents")" -eq 15 ] || fail "the package lacks pictures"

# What it depends on: worked out from the binaries, so every library they
# link is there, with the versions the shlibs files give.
depends=$(dpkg-deb -f "$deb" Depends)
step "Depends: $depends"
for lib in "libc6 (>= " "libsdl2-2.0-0 (>= " "libmpg123-0 (>= " "liblodepng0 (>= " "libstdc++6 (>= " libopengl0 libglu1 libx11-6; do
  grep -qF "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# lintian: no errors (its warnings are printed for the record).
step "lintian:"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

# The desktop entry as the desktop reads it.
extract=$(mktemp -d)
root=""
cleanup() {
  rm -rf "$extract"
  if [ -n "$root" ]; then
    umount "$root/proc" 2>/dev/null || true
    [ -n "${TARNWICK_PACKAGE_ROOT:-}" ] || rm -rf "$root"
  fi
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$extract"
desktop-file-validate "$extract/usr/share/applications/tarnwick.desktop" || fail "the desktop entry is not valid"

# A fresh Debian 12 root.
mirror=$(sed -n 's/^URIs: *\([^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || fail "no Debian mirror found in this machine's apt sources"
root=${TARNWICK_PACKAGE_ROOT:-$(mktemp -d /var/tmp/tarnwick-root.XXXXXX)}
start=$(date +%s)
if [ ! -x "$root/usr/bin/apt-get" ]; then
  step "making a fresh Debian 12 root in $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
    { tail -20 "$root.debootstrap.log"; fail "debootstrap failed"; }
  rm -f "$root.debootstrap.log"
  # The same suites as this machine (the package was built against them).
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
    rm -f "$root/etc/apt/sources.list"
  fi
fi
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive "$@"; }
step "installing it with apt-get"
in_root apt-get update -q > /dev/null
in_root apt-get install -y -q --reinstall "/tmp/$(basename "$deb")" > "$extract/install.log" 2>&1 ||
  { tail -30 "$extract/install.log"; fail "apt-get could not install the package"; }
step "installed in $(( $(date +%s) - start )) s (fresh root included)"

# Played from /, headless, near the end so that it ends by itself.
headless=(SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy)
in_root sh -c 'cd / && exec "$@"' sh env "${headless[@]}" timeout 300 tarnwick --windowed --start-row 745 \
  > "$extract/run.log" 2>&1 || { cat "$extract/run.log"; fail "the installed demo did not play from /"; }
in_root sh -c 'cd / && exec "$@"' sh timeout 300 tarnwick-capture --shot 300 --out /tmp/shots \
  > "$extract/capture.log" 2>&1 || { cat "$extract/capture.log"; fail "the installed capture tool failed"; }
[ -s "$root/tmp/shots/row_300.png" ] || fail "the installed capture tool wrote no shot"
in_root tarnwick-sync /usr/share/tarnwick/data/sync/sync.csv > /dev/null || fail "tarnwick-sync rejects the installed sync file"
step "passed: the package installs on a fresh Debian 12 and plays from /"
