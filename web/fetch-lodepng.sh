#!/usr/bin/env bash
# Unpacks LodePNG's source (Debian's source package "lodepng") into DIR.
# Debian's liblodepng-dev holds only the compiled library, which Emscripten
# cannot link. The source is fetched from the system's own Debian mirror,
# through an apt state of our own: the system's apt configuration is left
# as it is.
set -euo pipefail
dir=${1:?usage: fetch-lodepng.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
[ -f "$dir/lodepng.cpp" ] && exit 0

# The first Debian entry of the system's sources, as a source entry.
entry=
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  entry=$(awk '/^URIs:/ && !uri {uri=$2} /^Suites:/ && !suite {suite=$2} END {if (uri && suite) print uri, suite}' \
            /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$entry" ] && [ -f /etc/apt/sources.list ]; then
  entry=$(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list)
fi
if [ -z "$entry" ]; then
  echo "fetch-lodepng: no Debian mirror found in the apt sources" >&2
  exit 1
fi

apt="$dir/.apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$dir/.src"
echo "deb-src $entry main" > "$apt/sources.list"
options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/none"
         -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=$(id -un)")
apt-get -q "${options[@]}" update >/dev/null
(cd "$dir/.src" && apt-get -q "${options[@]}" source lodepng >/dev/null)
src=$(find "$dir/.src" -maxdepth 2 -name lodepng.cpp -printf '%h\n' | head -n 1)
if [ -z "$src" ]; then
  echo "fetch-lodepng: the source package holds no lodepng.cpp" >&2
  exit 1
fi
cp "$src/lodepng.cpp" "$src/lodepng.h" "$src/LICENSE" "$dir/"
rm -rf "$dir/.src" "$apt"
echo "fetch-lodepng: LodePNG's source is in $dir"
