#!/usr/bin/env bash
# Builds the sync fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it for a bounded time.
#   run_sync_fuzz.sh SOURCE_DIR WORK_DIR [SECONDS]
# Exit 0: no finding; 77: clang or its fuzzer runtime is missing (skipped).
set -euo pipefail

src=$(cd "$1" && pwd)
work=$2
seconds=${3:-30}
mkdir -p "$work"
work=$(cd "$work" && pwd)

cxx=${FUZZ_CXX:-}
if [ -z "$cxx" ]; then
  for c in clang++ clang++-14 clang++-15 clang++-16; do
    if command -v "$c" >/dev/null 2>&1; then cxx=$c; break; fi
  done
fi
if [ -z "$cxx" ]; then
  echo "sync fuzz: no clang++ found; install clang and libclang-rt-14-dev (make deps)" >&2
  exit 77
fi

flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer
       -fsanitize=fuzzer-no-link,address,undefined,float-divide-by-zero -fno-sanitize-recover=all
       -DTARNWICK_SYNC_SMALL_LIMITS
       -I"$src/src")
libs=()

# The sync reader needs nothing but itself and the shared helpers; an archive
# so that only what the target uses is linked.
sources=("$src"/src/sync/*.cpp "$src"/src/common/*.cpp)
target="$work/sync_fuzz"
stale=0
[ -x "$target" ] || stale=1
for f in "${sources[@]}" "$src"/src/sync/*.h "$src"/src/common/*.h "$src/tests/fuzz/sync_fuzz.cpp"; do
  [ "$f" -nt "$target" ] && stale=1
done

if [ "$stale" = 1 ]; then
  echo "sync fuzz: building with $cxx"
  rm -rf "$work/obj" && mkdir -p "$work/obj"
  # Probe that the fuzzer runtime exists before compiling everything.
  if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
       "$cxx" -x c++ -fsanitize=fuzzer,address - -o "$work/obj/probe" 2>"$work/obj/probe.log"; then
    cat "$work/obj/probe.log" >&2
    echo "sync fuzz: $cxx cannot link -fsanitize=fuzzer; install libclang-rt-14-dev (make deps)" >&2
    exit 77
  fi
  jobs=$(nproc 2>/dev/null || echo 2)
  printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c \
    'f="$1"; shift; o="$0/$(basename "$(dirname "$f")")_$(basename "$f" .cpp).o"; exec "$@" -c "$f" -o "$o"' \
    "$work/obj" {} "$cxx" "${flags[@]}"
  ar rcs "$work/obj/libsyncfuzz.a" "$work"/obj/*.o
  "$cxx" "${flags[@]}" -fsanitize=fuzzer "$src/tests/fuzz/sync_fuzz.cpp" "$work/obj/libsyncfuzz.a" "${libs[@]}" -o "$target"
fi

# Fresh working corpus from the seeds each run; findings go to $work/findings.
rm -rf "$work/corpus" && mkdir -p "$work/corpus" "$work/findings"
cp "$src"/tests/fuzz/corpus/* "$work/corpus/"
cd "$work"
exec "$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
  -dict="$src/tests/fuzz/sync.dict" -artifact_prefix="$work/findings/" -print_final_stats=1 \
  "$work/corpus"
