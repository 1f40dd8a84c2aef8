"""The programs the Wayland scenarios drive, each a client of a private session whose standard
output is collected line by line: quillmere_wayland_driver (Quillmere's real launch plus
commands on standard input, answered on lines that start with "driver: ") and the smaller
probes and tools, which all answer a command with a line of a known start."""

import os
import subprocess
import threading

from session_base import wait_for

DRIVER = os.environ.get("QUILLMERE_WAYLAND_DRIVER", "")
TEST_WINDOW = os.environ.get("QUILLMERE_WAYLAND_TEST_WINDOW", "")
LAUNCHED = "Accessibility permissions granted."  # the launch's last line


class LineClient:
    def __init__(self, session, argv, env=None, stdin=subprocess.PIPE,
                 stderr=subprocess.DEVNULL):
        self.process = session.spawn(argv, env=env, stdin=stdin, stdout=subprocess.PIPE,
                                     stderr=stderr)
        self.lines = []
        self.lock = threading.Lock()
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        for raw in self.process.stdout:
            with self.lock:
                self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def output(self):
        with self.lock:
            return list(self.lines)

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, mark, prefix=""):
        with self.lock:
            return [line for line in self.lines[mark:] if line.startswith(prefix)]

    def seen(self, prefix, since=0):
        """The first line from `since` on that starts with `prefix`, or None."""
        return next(iter(self.since(since, prefix)), None)

    def wait_line(self, prefix, what, since=0, timeout=10):
        return wait_for(lambda: self.seen(prefix, since), what, timeout)

    def send(self, command):
        self.process.stdin.write((command + "\n").encode())
        self.process.stdin.flush()

    def ask(self, command, answer):
        """Sends the command and gives the first line after it that starts with `answer`."""
        mark = self.mark()
        self.send(command)
        return self.wait_line(answer, "'{}' after '{}'".format(answer, command), mark)


class Driver(LineClient):
    def __init__(self, session, env=None, stderr=subprocess.STDOUT, program=None):
        super().__init__(session, [program or DRIVER], env, stderr=stderr)
        self.wait_line(LAUNCHED, "the launch")

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
