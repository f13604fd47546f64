#!/bin/sh
# Measures how far the demo's picture is from its sound through a PulseAudio
# server of its own: starts the server with a null sink named "demo" (its own
# runtime folder and home, so that runs never share state), the demo on Xvfb
# writing its frame log, and tarnwick-avsync recording the sink's monitor;
# then prints seen - heard (median, 5th and 95th percentiles). Everything it
# started is stopped on the way out, also on failure.
#
# usage: avsync.sh BUILD_DIR DATA_DIR [--seconds S] [--limit MS] [--sdl]
#                  [--latency-msec MS] [--page PUBLIC_DIR] [-- DEMO_OPTIONS...]
#   --seconds S        how much of the demo to measure (default 25)
#   --limit MS         fail when the median is further than MS from 0
#   --sdl              play through SDL's pulseaudio driver instead of the
#                      demo's own PulseAudio output
#   --latency-msec MS  ask the server for MS of buffering on the demo's
#                      stream (PULSE_LATENCY_MSEC): a slow sink that the
#                      server reports
#   --page PUBLIC_DIR  measure the web page built in PUBLIC_DIR (make web)
#                      in headless chromium instead of the desktop demo; needs
#                      node and tests/web's node modules (make test-web)
#   --keep DIR         keep the recording, its stamps and the frame log in DIR
set -eu
if [ $# -lt 2 ] || [ "$1" = --help ]; then
    sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
    [ $# -ge 1 ] && [ "$1" = --help ] && exit 0
    exit 2
fi
build=$(cd "$1" && pwd)
data=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
shift 2
seconds=25 limit= sdl= latency= keep= public=
while [ $# -gt 0 ]; do
    case "$1" in
        --page) public=$(cd "$2" && pwd); shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --limit) limit=$2; shift 2 ;;
        --sdl) sdl=1; shift ;;
        --keep) keep=$2; shift 2 ;;
        --latency-msec) latency=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "avsync.sh: unknown option '$1'" >&2; exit 2 ;;
    esac
done
# Exit status 77 (a skipped test) where the server or Xvfb is missing.
for tool in pulseaudio pactl Xvfb ${public:+node chromium python3}; do
    command -v $tool >/dev/null || { echo "avsync.sh: $tool is not installed (make deps); not measured" >&2; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-avsync.XXXXXX")
pulse_pid= xvfb_pid= rec_pid= demo_pid= http_pid=
# Waits up to TRIES tenths of a second until COMMAND succeeds; fails naming
# WHAT with LOG when it does not, or when process PID has ended first.
wait_for() {
    local what=$1 log=$2 pid=$3 tries=$4 i=0
    shift 4
    until "$@"; do
        i=$((i + 1))
        if [ $i -gt "$tries" ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "avsync.sh: $what:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
}

cleanup() {
    for pid in $demo_pid $http_pid $rec_pid $xvfb_pid $pulse_pid; do kill "$pid" 2>/dev/null || true; done
    for pid in $demo_pid $http_pid $rec_pid $xvfb_pid $pulse_pid; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

mkdir -p "$work/run" "$work/home"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
unset PULSE_SERVER PULSE_SINK
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    --load="module-null-sink sink_name=demo" --load=module-native-protocol-unix \
    >"$work/pulse.log" 2>&1 &
pulse_pid=$!
server_answers() { pactl info >/dev/null 2>&1; }
wait_for "the PulseAudio server did not start" "$work/pulse.log" $pulse_pid 100 server_answers
pactl set-default-sink demo

Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for "Xvfb did not start" "$work/xvfb.log" $xvfb_pid 100 test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"

music="$data/musik/musik.mp3"
"$build/tools/avsync/tarnwick-avsync" record --music "$music" --source demo.monitor --seconds $((seconds + 120)) \
    --out "$work/rec.raw" --stamps "$work/rec.stamps" &
rec_pid=$!

if [ -n "$public" ]; then
    # The page from a static server of its own; the browser plays through the
    # server started above and writes its frame log when the time is up.
    python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$public" >"$work/http.log" 2>&1 &
    http_pid=$!
    serving() { grep -q 'port [0-9]' "$work/http.log"; }
    wait_for "the page's web server did not start" "$work/http.log" $http_pid 100 serving
    port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/http.log" | head -n 1)
    env ${latency:+PULSE_LATENCY_MSEC=$latency} NODE_PATH="$here/../../tests/web/node_modules" \
        node "$here/page.js" "http://127.0.0.1:$port/" "$seconds" "$work/frames.log" 2>"$work/demo.log" ||
        { cat "$work/demo.log" >&2; exit 1; }
else
    if [ -n "$sdl" ]; then export SDL_AUDIODRIVER=pulseaudio; else unset SDL_AUDIODRIVER; fi
    [ -z "$latency" ] || export PULSE_LATENCY_MSEC=$latency
    TARNWICK_FRAME_LOG="$work/frames.log" "$build/tarnwick" --windowed --data "$data" "$@" 2>"$work/demo.log" &
    demo_pid=$!
    unset PULSE_LATENCY_MSEC
    # The run is measured from its first frame on.
    wait_for "the demo showed no frame" "$work/demo.log" $demo_pid 600 test -s "$work/frames.log"
    sleep $((seconds + 1))
    kill $demo_pid 2>/dev/null || true
    wait $demo_pid || true
    demo_pid=
fi
kill $rec_pid 2>/dev/null || true
wait $rec_pid || { echo "avsync.sh: the recording failed" >&2; exit 1; }
rec_pid=
if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work"/rec.raw "$work"/rec.stamps "$work"/frames.log "$work"/demo.log "$keep"/; fi
if [ -s "$work/demo.log" ]; then sed 's/^/  demo: /' "$work/demo.log"; fi

"$build/tools/avsync/tarnwick-avsync" analyse --music "$music" --recording "$work/rec.raw" --stamps "$work/rec.stamps" \
    --frames "$work/frames.log" ${limit:+--limit "$limit"}
