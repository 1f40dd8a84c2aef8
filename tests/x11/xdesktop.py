"""A private X desktop for the integration tests: Xvfb, a session bus, an optional window
manager and an optional compositor, all started here and all stopped again, even when a test
fails.

Never touches the display or bus the tests were started from: every child gets the private
environment of private_session, with this desktop's display and bus in it.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

from private_session import private_environment, start_session_bus
from window_manager_probe import wait_until_managing

_STARTED = []


def _stop_all():
    for process in reversed(_STARTED):
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
    deadline = time.monotonic() + 3
    for process in reversed(_STARTED):
        try:
            process.wait(max(0.1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
    _STARTED.clear()


class XDesktop:
    """Use as a context manager: `with XDesktop(wm=True, compositor=False) as desk:`."""

    def __init__(self, wm=True, compositor=False, size="1280x800x24", extra_args=()):
        self.wm = wm
        self.compositor = compositor
        self.size = size
        self.extra_args = list(extra_args)
        self.display = None
        self.env = None
        self.xvfb = None
        self.wm_process = None
        self.compositor_process = None
        self.dir = None

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="quillmere-xdesktop-")
        try:
            self.env = private_environment(self.dir)
            _STARTED.append(start_session_bus(self.env))
            self._start_x()
            if self.wm:
                self.start_wm()
            if self.compositor:
                self.start_compositor()
        except BaseException:
            self.close()
            raise
        return self

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = self._spawn(
            ["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp",
             "-screen", "0", self.size] + self.extra_args, pass_fds=(write_fd,))
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        _stop_all()
        if self.dir is not None:
            shutil.rmtree(self.dir, ignore_errors=True)
            self.dir = None

    def _spawn(self, argv, env=None, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(argv, env=env or self.env, start_new_session=True, **kwargs)
        _STARTED.append(process)
        return process

    def spawn(self, argv, **kwargs):
        """Starts a program on the private display; it is stopped with the desktop."""
        return self._spawn(argv, **kwargs)

    def run(self, argv, check=True, timeout=20, **kwargs):
        return subprocess.run(argv, env=self.env, check=check, timeout=timeout,
                              capture_output=True, text=True, **kwargs)

    def start_wm(self):
        self.wm_process = self._spawn(["openbox", "--sm-disable"])
        self.wait_for(self._wm_ready, "openbox")
        wait_until_managing(self.display)

    def stop_wm(self):
        self._stop(self.wm_process)
        self.wm_process = None

    def start_compositor(self):
        self.compositor_process = self._spawn(["picom", "--backend", "xrender"])
        self.wait_for(lambda: self._selection_owned("_NET_WM_CM_S0"), "picom")

    def stop_compositor(self):
        self._stop(self.compositor_process)
        self.compositor_process = None

    @staticmethod
    def _stop(process):
        if process is None or process.poll() is not None:
            return
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(5)

    def _wm_ready(self):
        out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout
        return "window id" in out

    def _selection_owned(self, name):
        from Xlib import display as xdisplay
        d = xdisplay.Display(self.display)
        try:
            return d.get_selection_owner(d.intern_atom(name)) != 0
        finally:
            d.close()

    @staticmethod
    def wait_for(predicate, what, timeout=10.0, interval=0.05):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = predicate()
            if value:
                return value
            time.sleep(interval)
        raise AssertionError("timed out waiting for " + what)
