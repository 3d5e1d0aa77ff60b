"""Starts the real game as a user would and checks what appears on the screen."""

import os
import select
import shutil
import stat
import struct
import subprocess
import tempfile
import time
import unittest

from x11 import Screenshot, find_window, press_key

GAME = os.environ["CANTORIX_BIN"]
DATA = os.path.join(os.environ["CANTORIX_PROGRAM_DIR"], "data")
DEMO_SONGS = os.path.join(os.environ["CANTORIX_PROGRAM_DIR"], "songs")
MAIN_TITLE = r"^\.\.:Cantorix:\.\.$"
# The client area starts below the menu bar; sample well inside it.
SAMPLE = (30, 680)


class ProgramDirectory:
    """A program directory with the built pictures and either the demo songs or empty folders.

    data=False leaves data/ out; missing and broken name pictures under data/ (relative paths)
    that are left out or replaced by bytes no decoder reads."""

    def __init__(self, song_folders=None, data=True, missing=(), broken=()):
        self.path = tempfile.mkdtemp(prefix="cantorix-it-")
        if data and not missing and not broken:
            os.symlink(DATA, os.path.join(self.path, "data"))
        elif data:
            self._link_data(set(missing), set(broken))
        if song_folders is None:
            os.symlink(DEMO_SONGS, os.path.join(self.path, "songs"))
            return
        os.makedirs(os.path.join(self.path, "songs"))
        for name in song_folders:
            os.makedirs(os.path.join(self.path, "songs", name))

    def _link_data(self, missing, broken):
        for folder, _, files in os.walk(DATA):
            relative = os.path.relpath(folder, DATA)
            os.makedirs(os.path.join(self.path, "data", relative), exist_ok=True)
            for name in files:
                picture = os.path.normpath(os.path.join(relative, name))
                target = os.path.join(self.path, "data", picture)
                if picture in broken:
                    with open(target, "wb") as f:
                        f.write(b"not a picture")
                elif picture not in missing:
                    os.symlink(os.path.join(folder, name), target)

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)


def silence_wav(path):
    frames = 22050
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + frames * 2) + b"WAVEfmt "
                + struct.pack("<IHHIIHH", 16, 1, 1, 22050, 44100, 2, 16)
                + b"data" + struct.pack("<I", frames * 2) + bytes(frames * 2))
    return path


# The steps that may run before the selection screen's first frame: what that frame shows. A
# step added there slows every start; name it here only if the first frame cannot do without it.
STEPS_BEFORE_FIRST_FRAME = [
    "program folder", "sound output", "options file", "MIDI outputs", "library cache opened",
    "records file opened", "main window made", "side windows", "main window shown",
    "video plane", "library from the cache", "background",
]
# What waits for the first frame, whatever else does.
STEPS_AFTER_FIRST_FRAME = {"phones' server", "inputs listed", "preview", "singers shown",
                           "listening", "library scan", "records"}


def start_report(proc, timeout=30, log=None):
    """The steps the game reports (CANTORIX_START_REPORT) as (name, before the first frame);
    the lines logged up to the report's end go into `log` when one is given."""
    steps, before, text = [], True, b""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and proc.poll() is None:
        ready, _, _ = select.select([proc.stderr], [], [], 0.1)
        if not ready:
            continue
        chunk = os.read(proc.stderr.fileno(), 65536)
        if not chunk:
            break
        text += chunk
        lines = text.decode(errors="replace").splitlines()
        if "cantorix: start" not in lines or not lines[-1].endswith(" records"):
            continue
        if log is not None:
            log.extend(lines)
        for line in lines[lines.index("cantorix: start") + 1:]:
            if line.endswith("first frame drawn"):
                before = False
            elif " ms  " in line:
                steps.append((line.split(" ms  ")[-1].strip(), before))
        return steps
    return steps


class StartupTest(unittest.TestCase):
    def start(self, root, extra_env=None, options=()):
        # The microphone is a WAV file of silence, as on a machine that sings from files.
        mic = silence_wav(os.path.join(root, "silence.wav"))
        # Score.ini goes beside the test's program directory, never into the user's own folder.
        # The player's own song folder and library cache are out of reach as well.
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(root, "xdg-data"),
                   XDG_CACHE_HOME=os.path.join(root, "xdg-cache"), **(extra_env or {}))
        proc = subprocess.Popen([GAME, "--root", root, "--no-audio", "--mic", mic,
                                 "--config", os.path.join(root, "config"), *options],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.addCleanup(self.stop, proc)
        return proc

    @staticmethod
    def stop(proc):
        if proc.poll() is None:
            proc.kill()
        proc.communicate()

    def test_background_replaces_the_splash(self):
        # CANTORIX_SCREENSHOT=FILE keeps the last screenshot (the README's picture comes from here).
        root = ProgramDirectory()
        self.addCleanup(root.cleanup)
        started = time.monotonic()
        proc = self.start(root.path)
        window = find_window(MAIN_TITLE)
        self.assertIsNotNone(window, "main window never appeared")
        deadline = time.monotonic() + 20
        shot = None
        while time.monotonic() < deadline:
            shot = Screenshot(window)
            # White is the splash, black a window not painted yet.
            if shot.pixel(*SAMPLE) not in ((255, 255, 255), (0, 0, 0)):
                break
            time.sleep(0.05)
        print(f"background on screen {1000 * (time.monotonic() - started):.0f} ms after the process started")
        if os.environ.get("CANTORIX_SCREENSHOT"):
            time.sleep(1.0)  # let the first cover turn finish
            Screenshot(window, keep_as=os.environ["CANTORIX_SCREENSHOT"])
        self.assertEqual(shot.width, 766)
        r, g, b = shot.pixel(*SAMPLE)
        self.assertNotEqual((r, g, b), (255, 255, 255), "the splash never went away")
        self.assertGreater(r + g + b, 0, "the viewer shows an empty black frame")
        self.assertIsNone(proc.poll(), "the game ended on its own")

    def test_only_what_the_first_frame_shows_runs_before_it(self):
        # The second start, as every start after the first: the library comes from the cache.
        # Phones may join, so their server is among the steps.
        root = ProgramDirectory()
        self.addCleanup(root.cleanup)
        for start in ("first", "second"):
            proc = self.start(root.path, {"CANTORIX_START_REPORT": "1"}, ["--phones"])
            log = []
            steps = start_report(proc, log=log)
            self.stop(proc)
            self.assertTrue(steps, f"the {start} start reported no steps")
            # The inputs are listed after the first frame; the microphone file is found then.
            self.assertFalse([line for line in log if "no microphone" in line],
                             "a start with a microphone said there was none")
        before = [name for name, early in steps if early]
        after = {name for name, early in steps if not early}
        self.assertEqual([name for name in before if name not in STEPS_BEFORE_FIRST_FRAME], [],
                         "steps ran before the first frame that it does not show")
        self.assertEqual(STEPS_AFTER_FIRST_FRAME - after, set(),
                         "steps that wait for the first frame did not run after it")

    def test_started_through_path_finds_its_own_folder(self):
        # A link on PATH, started by its bare name from an unrelated folder and without --root:
        # the program directory is where the real executable lives, not where argv[0] points.
        elsewhere = tempfile.mkdtemp(prefix="cantorix-it-cwd-")
        self.addCleanup(shutil.rmtree, elsewhere, True)
        bin_dir = os.path.join(elsewhere, "bin")
        os.makedirs(bin_dir)
        os.symlink(GAME, os.path.join(bin_dir, "karaoke"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""),
                   XDG_DATA_HOME=os.path.join(elsewhere, "xdg-data"),
                   XDG_CACHE_HOME=os.path.join(elsewhere, "xdg-cache"))
        proc = subprocess.Popen(["karaoke", "--no-audio", "--mic", silence_wav(os.path.join(elsewhere, "mic.wav")),
                                 "--config", os.path.join(elsewhere, "config")],
                                cwd=elsewhere, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self.stop, proc)
        window = find_window(MAIN_TITLE, timeout=20)
        if window is None:
            self.stop(proc)
            self.fail(f"no main window (status {proc.returncode}): {proc.stderr.read()!r}")
        self.assertIsNone(find_window(r"^Cantorix$", timeout=2), "a message box came up")
        self.assertIsNone(proc.poll(), "the game ended on its own")

    def test_start_up_failures_name_the_file_and_end_with_status_1(self):
        cases = [
            # (what is wrong, program directory, the path the message must name)
            ("no data folder", dict(data=False), "data"),
            ("unreadable picture", dict(broken={"gfx/song cover.jpg"}), "data/gfx/song cover.jpg"),
            ("no background", dict(missing={"skins/vip/bg.jpg"}), "data/skins/vip/bg.jpg"),
            ("no fallback cover", dict(song_folders=["No Cover"], missing={"gfx/Song Cover.jpg"}),
             "data/gfx/Song Cover.jpg"),
        ]
        for what, layout, named in cases:
            with self.subTest(what):
                root = ProgramDirectory(**layout)
                self.addCleanup(root.cleanup)
                proc = self.start(root.path)
                box = find_window(r"^Cantorix$", timeout=30)
                if box is None:
                    self.stop(proc)
                    self.fail(f"no message box; status {proc.returncode}: {proc.stderr.read()!r}")
                press_key(box, "Return")
                try:
                    status = proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.fail("the game did not end after the message")
                errors = proc.stderr.read().decode(errors="replace")
                self.assertEqual(status, 1, errors)
                self.assertIn(os.path.join(root.path, named), errors)
                self.assertNotIn("terminate", errors)

    def test_score_ini_that_is_a_pipe_is_reported_and_kept(self):
        # Opening a named pipe for reading waits for a writer: the game must neither hang before
        # its window shows nor replace the pipe with a file of its own.
        root = ProgramDirectory()
        self.addCleanup(root.cleanup)
        config = os.path.join(root.path, "config")
        os.makedirs(config)
        score_ini = os.path.join(config, "Score.ini")
        os.mkfifo(score_ini)
        proc = self.start(root.path)
        self.assertIsNotNone(find_window(MAIN_TITLE, timeout=30), "the game hung before its window showed")
        box = find_window(r"^Cantorix$", timeout=20)
        self.assertIsNotNone(box, "no notice about the unreadable Score.ini")
        press_key(box, "Return")
        self.assertIsNone(proc.poll(), "the game ended on its own")
        proc.kill()
        proc.wait(timeout=10)
        self.assertIn(score_ini, proc.stderr.read().decode(errors="replace"))
        self.assertTrue(stat.S_ISFIFO(os.stat(score_ini).st_mode), "the pipe was replaced")

    def test_empty_songs_directory_says_so_and_ends(self):
        root = ProgramDirectory([])
        self.addCleanup(root.cleanup)
        proc = self.start(root.path)
        box = find_window(r"^Cantorix$", timeout=40)
        if box is None:
            status = proc.poll()
            if status is not None:
                self.fail(f"the game ended ({status}) without a message box: {proc.stderr.read()!r}")
            self.fail("no message box appeared")
        self.assertIsNone(find_window(MAIN_TITLE, timeout=0.5), "the main window must not show")
        press_key(box, "Return")
        self.assertEqual(proc.wait(timeout=10), 0)


if __name__ == "__main__":
    unittest.main()
