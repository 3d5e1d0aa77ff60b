#!/usr/bin/env bash
# The five everyday figures that must not slide, in one run on a quiet machine:
#   1. start to a drawn selection screen, beside a bare OpenGL window (bench/start_bench.py);
#   2. the first scan of 30,000 generated songs, files in the page cache, and
#   3. the scan of the same library with its cache (bench/library_bench.sh);
#   4. the CPU used on the selection screen while the preview plays (bench/idle_cpu.sh);
#   5. the game's peak memory on the 30,000-song library, its scan done.
# usage: bench/quick_figures.sh [BUILD_DIR] [LIBRARY_DIR]
set -euo pipefail
here=$(dirname "$0")
build=${1:-build}
library=${2:-/tmp/cantorix-library-bench}
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
python3 "$here/start_bench.py" "$build" 5 | grep -E '^(bare window|game|start-up):'
# The library is made by the first run of library_bench.sh; read once more so that the first
# scan below finds its files in the page cache, as the target says.
"$here/library_bench.sh" "$build" "$library" >/dev/null
find "$library" -type f -exec cat {} + >/dev/null
"$here/library_bench.sh" "$build" "$library"
"$here/idle_cpu.sh" "$build" 10

# Peak memory: the game on the generated library with a cache of its own, sampled until its
# resident size has not grown for five seconds (the scan and the covers in view are done).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$(realpath "$build")/data" "$work/data"
mkdir "$work/songs"
XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/share" \
    "$build/cantorix" --root "$work" --no-audio --config "$work/config" --songs "$library" \
    >/dev/null 2>&1 &
pid=$!
peak=0 still=0
for _ in $(seq 120); do
    sleep 0.5
    now=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    if [ "$now" -gt "$peak" ]; then peak=$now still=0; else still=$((still + 1)); fi
    [ "$still" -ge 10 ] && break
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
awk -v kb="$peak" 'BEGIN { printf "peak memory on the 30,000-song library: %.0f MB (target < 300 MB)\n", kb / 1024 }'
