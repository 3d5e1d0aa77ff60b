#!/usr/bin/env bash
# Timed tool run: starts the game on the demo songs under a virtual display, lets it sit on the
# song selection screen while the selected song's preview plays (into the silent output paced in
# real time), and reports the CPU it used. That is what a player leaves running: the preview's
# decoding and resampling count, not only the drawing of an unchanging screen.
# Usage: bench/idle_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?build directory}
seconds=${2:-10}
if [ -z "${DISPLAY:-}" ]; then
    # Without a display, run this script again under a virtual one.
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
ln -s "$(realpath "$build")/data" "$root/data"
ln -s "$(realpath "$build")/songs" "$root/songs"

measure() {
    "$build/cantorix" --root "$root" --no-audio --config "$root/config" &
    pid=$!
    sleep 3 # start-up, the first frames and the start of the preview are not idle time
    ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    before=$(ticks)
    sleep "$seconds"
    after=$(ticks)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    hz=$(getconf CLK_TCK)
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "song selection with its preview playing: %.1f%% of one core over %d s\n", 100 * t / hz / s, s }'
}
measure
