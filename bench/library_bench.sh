#!/bin/bash
# Timed tool run over a generated library of 30,000 songs (three levels deep, a cover each):
# the first scan without a cache, the second with it, their peak memory, and the search
# keystroke over 30,000 summaries. The library is generated once under /tmp, never in the tree.
# usage: bench/library_bench.sh [BUILD_DIR] [LIBRARY_DIR]
set -euo pipefail
build=${1:-build}
library=${2:-/tmp/cantorix-library-bench}
case "$(realpath -m "$library")" in
"$(realpath "$(dirname "$0")/..")"/*) echo "keep the generated library out of the tree" >&2; exit 2 ;;
esac
[ -d "$library" ] || "$build/bench/make_song_library" "$library" 30000 \
    "$(ls "$build/songs/Cantorix - Paper Kites/"*.mp3)" 2>/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cache="$work/library.sqlite3"

run() {
    "$build/cantorix-tool" scan --stats --cache "$cache" "$library" >"$work/out" 2>"$work/err" || true
    grep -E 'library cache|^scan:' "$work/err" | sed "s/^/$1: /"
    echo "$1: $(tail -n 1 "$work/out")"
}
run "first scan, no cache"
run "second scan, with the cache"
"$build/bench/library_search_bench" --benchmark_filter=searchKeystroke 2>/dev/null | grep -E '^search'
