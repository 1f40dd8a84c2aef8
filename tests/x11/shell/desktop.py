"""A private X desktop for one test: Xvfb, optionally a window manager and a tray host, and a
session bus of its own. Everything started here is stopped again, even when a test fails.
Every process gets the private environment of private_session: nothing of the caller's
environment, its display or its bus is used."""

import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from private_session import (no_bus_address, private_environment,  # noqa: E402
                             start_session_bus, tool_environment)
from window_manager_probe import wait_until_managing  # noqa: E402

SCREEN_SIZE = (1280, 800)


class TimedOut(AssertionError):
    pass


def wait_until(predicate, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimedOut("timed out waiting for " + what)
        time.sleep(0.05)


class Desktop:
    def __init__(self, window_manager=True, bus=True):
        self.window_manager = window_manager
        self.bus = bus
        self.processes = []
        self.tray = None
        self.dir = tempfile.mkdtemp(prefix="quillmere-shell-")
        self.env = private_environment(self.dir)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = no_bus_address(self.env)

    def __enter__(self):
        try:
            self._start_x()
            if self.bus:
                self._start_bus()
            if self.window_manager:
                self.spawn(["openbox", "--sm-disable"])
                wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.x("xprop", "-root"),
                           what="the window manager")
                wait_until_managing(self.env["DISPLAY"])
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _start_x(self):
        read_end, write_end = os.pipe()
        width, height = SCREEN_SIZE
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-noreset", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=self.env)
        os.close(write_end)
        self.processes.append(xvfb)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()

    def _start_bus(self):
        self.processes.append(start_session_bus(self.env))

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(argv, env=self.env, **kwargs)
        self.processes.append(process)
        return process

    def x(self, *argv, check=False):
        """Runs an X client on this display and returns what it printed."""
        done = subprocess.run(list(argv), env=self.env, capture_output=True, text=True,
                              timeout=20)
        if check and done.returncode != 0:
            raise AssertionError("%s failed: %s" % (argv, done.stderr))
        return done.stdout

    def start_tray(self, attempts=3):
        # WORKAROUND(trayer): now and then, with another desktop starting beside it, trayer
        # runs on but never maps its panel; another trayer on the same display then does.
        for attempt in range(attempts):
            log_path = os.path.join(self.dir, "trayer-%d.log" % attempt)
            with open(log_path, "wb") as log:
                self.tray = self.spawn(["trayer", "--edge", "top", "--align", "left",
                                        "--widthtype", "request", "--height", "28",
                                        "--SetDockType", "true"], stderr=log)
            try:
                wait_until(lambda: self.x("xdotool", "search", "--onlyvisible", "--class",
                                          "trayer"), timeout=5.0, what="the tray host")
                return
            except TimedOut:
                running = self.tray.poll() is None
                self.stop_tray()
                if attempt + 1 < attempts:
                    continue
                with open(log_path, errors="replace") as log:
                    said = log.read()[-2000:]
                raise TimedOut("timed out waiting for the tray host, %d times (the last trayer %s; "
                               "it said: %r)" % (attempts, "ran on" if running else "ended", said))

    def stop_tray(self):
        if self.tray is not None:
            stop(self.tray)
            self.tray = None

    def screenshot(self, path):
        self.x("import", "-window", "root", path, check=True)
        return path

    def key(self, *keys):
        self.x("xdotool", "key", "--delay", "40", *keys, check=True)

    def click(self, x, y, button=1):
        self.x("xdotool", "mousemove", "--sync", str(x), str(y), check=True)
        self.x("xdotool", "click", str(button), check=True)

    def active_window(self):
        out = self.x("xprop", "-root", "_NET_ACTIVE_WINDOW")
        match = re.search(r"window id # (0x[0-9a-f]+)", out)
        return int(match.group(1), 16) if match else 0

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
        shutil.rmtree(self.dir, ignore_errors=True)


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    for stream in (process.stdin, process.stdout, process.stderr):
        if stream is not None:
            try:
                stream.close()
            except OSError:
                pass


class Harness:
    """The shell harness as a child process: its output lines, one queue, and its stdin."""

    def __init__(self, desktop, path, *args, env=None):
        self.process = desktop.spawn([path] + list(args), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     bufsize=1)
        self.lines = queue.Queue()
        self.seen = []
        self.stderr = []
        threading.Thread(target=self._read, args=(self.process.stdout, self.lines),
                         daemon=True).start()
        errors = queue.Queue()
        threading.Thread(target=self._read, args=(self.process.stderr, errors),
                         daemon=True).start()
        self.errors = errors

    @staticmethod
    def _read(stream, into):
        for line in stream:
            into.put(line.rstrip("\n"))
        into.put(None)

    def expect(self, pattern, timeout=10.0):
        """The next line that matches, skipping others (which stay in self.seen)."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                raise TimedOut("no line matching %r; seen %r" % (pattern, self.seen[-10:]))
            if line is None:
                raise AssertionError("harness ended; seen %r" % self.seen[-10:])
            self.seen.append(line)
            match = re.search(pattern, line)
            if match:
                return match

    def drain(self, settle=0.3):
        """The lines that arrive until output has been quiet for a moment."""
        got = []
        while True:
            try:
                line = self.lines.get(timeout=settle)
            except queue.Empty:
                return got
            if line is None:
                return got
            self.seen.append(line)
            got.append(line)

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def error_lines(self):
        got = []
        while not self.errors.empty():
            line = self.errors.get()
            if line is not None:
                got.append(line)
        return got


def pixels(path, x, y, width, height):
    """The colours of a rectangle of a PNG, as (r, g, b) tuples, row by row."""
    raw = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                          "+repage", "-depth", "8", "rgb:-"],
                         capture_output=True, check=True, env=tool_environment()).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3)]


def window_geometry(desktop, window):
    """(x, y, width, height) of a window in root coordinates, or None once it is gone."""
    out = desktop.x("xwininfo", "-id", str(window))
    values = {}
    for key, name in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                      ("w", "Width"), ("h", "Height")):
        match = re.search(name + r":\s+(-?\d+)", out)
        if not match:
            return None
        values[key] = int(match.group(1))
    if "IsViewable" not in out:
        return None
    return values["x"], values["y"], values["w"], values["h"]


def ancestors(desktop, window):
    chain = []
    while True:
        out = desktop.x("xwininfo", "-tree", "-id", str(window))
        match = re.search(r"Parent window id: (0x[0-9a-f]+)", out)
        if not match or "(the root window)" in out.split("Parent window id:")[1].splitlines()[0]:
            return chain
        window = int(match.group(1), 16)
        chain.append(window)
