#!/usr/bin/env bash
# Timed run of a whole sung session in the real game window under a virtual display: what one
# clock tick and one analysis tick cost on the main thread, and how late after its beat each
# record is entered. The end-to-end session test plays the song; this prints its figures.
# Usage: bench/session_timing.sh [build-dir]
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    "$build/tests/session_window_tests" --gtest_filter='*SungMelody*' |
    grep -E '^(clock tick|analysis tick|record entry|frame drawing|missed semitone|note points)'
