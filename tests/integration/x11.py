"""Small helpers to drive the real program through the X server: find windows, send keys,
take screenshots and read their pixels."""

import os
import subprocess
import tempfile
import time


def find_window(name_regex, timeout=15.0):
    """Window id of the first visible window whose title matches, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name_regex],
                             capture_output=True, text=True)
        ids = out.stdout.split()
        if ids:
            return ids[0]
        time.sleep(0.1)
    return None


def press_key(window, key):
    subprocess.run(["xdotool", "windowfocus", window], check=False, timeout=5)
    subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True)


class Screenshot:
    """An RGB screenshot of one window, read through ImageMagick as a binary PPM."""

    def __init__(self, window, keep_as=None):
        with tempfile.NamedTemporaryFile(suffix=".png", delete=False) as f:
            path = f.name
        subprocess.run(["import", "-window", window, path], check=True, capture_output=True)
        ppm = subprocess.run(["convert", path, "ppm:-"], check=True, capture_output=True).stdout
        if keep_as:
            os.replace(path, keep_as)
        else:
            os.unlink(path)
        magic, width, height, maxval, self._data = ppm.split(maxsplit=4)
        assert magic == b"P6" and maxval == b"255"
        self.width, self.height = int(width), int(height)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self._data[i:i + 3])
