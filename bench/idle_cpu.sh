#!/usr/bin/env bash
# Timed tool run: starts the game on a program directory with one song folder under a virtual
# display, lets it sit on the song selection screen, and reports the CPU it used while idle.
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
mkdir -p "$root/songs/Idle Song"

measure() {
    "$build/cantorix" --root "$root" --no-audio &
    pid=$!
    sleep 3 # start-up and the first frames are not idle time
    ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    before=$(ticks)
    sleep "$seconds"
    after=$(ticks)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    hz=$(getconf CLK_TCK)
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "idle song selection: %.1f%% of one core over %d s\n", 100 * t / hz / s, s }'
}
measure
