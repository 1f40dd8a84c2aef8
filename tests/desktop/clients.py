"""Quillmere and the test programs that the desktop scenarios drive, each a LineClient of a
session: the quillmere executable, quillmere_wayland_driver (Quillmere's real launch plus
commands on standard input, answered on lines that start with "driver: ") and a test window."""

import os
import subprocess

from desktop.lines import LineClient
from desktop.session import wait_for

QUILLMERE = os.environ.get("QUILLMERE_BIN", "quillmere")
# On a private Xvfb with XInput 2.2, and on Wayland, the launch counts itself trusted.
LAUNCH_LINES = ["QuillmereApp started", "Accessibility permissions granted."]
DRIVER = os.environ.get("QUILLMERE_WAYLAND_DRIVER", "")
TEST_WINDOW = os.environ.get("QUILLMERE_WAYLAND_TEST_WINDOW", "")


class Quillmere(LineClient):
    def __init__(self, session, args=(), env=None, program=None):
        super().__init__(session, [program or QUILLMERE] + list(args), env, stdin=None)


class Driver(LineClient):
    def __init__(self, session, env=None, stderr=subprocess.STDOUT, program=None):
        super().__init__(session, [program or DRIVER], env, stderr=stderr)
        self.wait_line(LAUNCH_LINES[-1], "the launch")

    def answer(self, command, prefix=None):
        """The words of the driver's answer after its "driver: " and `prefix` (the command's
        own name by default)."""
        prefix = "driver: " + (prefix or command.split()[0]) + " "
        return self.ask(command, prefix)[len(prefix):].split()

    def state(self):
        """The backend's state as a dict of its fields' texts: frontmost, windows, screens,
        levels, ipc-requests, captures."""
        line = self.ask("state", "driver: frontmost ")[len("driver: "):]
        return {key: value for key, _, value in
                (part.strip().partition(" ") for part in line.split("|"))}

    def model(self):
        """(effect, intensity, [alpha of each overlay])"""
        words = self.answer("model")
        return words[0], float(words[1]), [float(alpha) for alpha in words[3:]]


def open_window(session, title, colour):
    """wayland_test_window of one colour, (r, g, b), once sway lists it."""
    process = session.spawn([TEST_WINDOW, title, "#{:02x}{:02x}{:02x}".format(*colour)])
    wait_for(lambda: process.pid in session.pids(), "the window " + title)
    return process


def close_to(actual, expected, tolerance=1):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))
