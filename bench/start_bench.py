#!/usr/bin/env python3
"""Start-up of the game against a bare OpenGL window, side by side in one run.

Starts build/bench/bare_gl_window and the game (on the demo songs, its cache filled by a first
start that is not counted) alternately, each RUNS times, under one virtual display, and takes
the time from the moment the process is started to its first drawn frame, which each reports by
its own signal (CANTORIX_START_REPORT makes the game print it). Prints both medians, their
ratio, and the game's last list of start steps (what ran before the first frame, and after).

usage: bench/start_bench.py [BUILD_DIR] [RUNS]
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

FIRST_FRAME = re.compile(r"first frame at (\d+\.\d+)")


def run_until_first_frame(command, env, read_stderr):
    started = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    stream = process.stderr if read_stderr else process.stdout
    seen = None
    report = []
    deadline = started + 30
    try:
        for line in stream:
            match = FIRST_FRAME.search(line)
            if match and seen is None:
                seen = float(match.group(1)) - started
            elif seen is not None:
                report.append(line.rstrip())
                if line.strip().endswith("records") or time.monotonic() > deadline:
                    break
            if time.monotonic() > deadline:
                break
    finally:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    if seen is None:
        sys.exit(f"no first frame from {command[0]}")
    return seen, report


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24 -noreset",
                               sys.executable] + sys.argv)
    root = tempfile.mkdtemp(prefix="cantorix-start-bench-")
    try:
        os.symlink(os.path.join(build, "data"), os.path.join(root, "data"))
        os.symlink(os.path.join(build, "songs"), os.path.join(root, "songs"))
        env = dict(os.environ, CANTORIX_START_REPORT="1", XDG_CACHE_HOME=os.path.join(root, "cache"),
                   XDG_DATA_HOME=os.path.join(root, "share"))
        game = [os.path.join(build, "cantorix"), "--root", root, "--no-audio",
                "--config", os.path.join(root, "config")]
        bare = [os.path.join(build, "bench", "bare_gl_window")]
        # The first start fills the library cache, as any start after the first finds it.
        run_until_first_frame(game, env, True)
        time.sleep(1)
        bare_times, game_times, report = [], [], []
        for _ in range(runs):
            bare_times.append(run_until_first_frame(bare, env, False)[0])
            seconds, report = run_until_first_frame(game, env, True)
            game_times.append(seconds)
        bare_median = statistics.median(bare_times)
        game_median = statistics.median(game_times)
        print("bare window:  " + " ".join(f"{t:.3f}" for t in bare_times) +
              f"  median {bare_median:.3f} s")
        print("game:         " + " ".join(f"{t:.3f}" for t in game_times) +
              f"  median {game_median:.3f} s")
        print(f"start-up: game {game_median:.3f} s, bare window {bare_median:.3f} s, "
              f"ratio {game_median / bare_median:.2f} (target 1.20)")
        print("the game's last start (from its first step):")
        for line in report:
            print("  " + line)
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
