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

# The window managers that the desktop scenarios run under, by the name that
# QUILLMERE_TEST_WM gives: the command, the kwinrc it wants (if any), and whether it composites.
# Each one gets a session bus, a HOME and XDG directories of its own: xfwm4 exits without a
# bus, also where a test gives Quillmere none; mutter keeps its settings in memory; marco needs
# the mouse schema of mate-settings-daemon-common.
WINDOW_MANAGERS = {
    "openbox": (["openbox", "--sm-disable"], None),
    "mutter": (["mutter", "--x11", "--replace"], None),
    "kwin": (["kwin_x11", "--replace"], "[Compositing]\nEnabled=true\nBackend=OpenGL\n"),
    "kwin-nocompositing": (["kwin_x11", "--replace"], "[Compositing]\nEnabled=false\n"),
    "xfwm4": (["xfwm4", "--replace", "--compositor=on"], None),
    "xfwm4-nocompositor": (["xfwm4", "--replace", "--compositor=off"], None),
    "marco": (["marco", "--composite", "--replace"], None),
}


def window_manager_under_test():
    """The window manager that QUILLMERE_TEST_WM names, openbox when it names none."""
    name = os.environ.get("QUILLMERE_TEST_WM") or "openbox"
    if name not in WINDOW_MANAGERS:
        raise ValueError("unknown window manager " + name)
    return name


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
    """Use as a context manager: `with XDesktop(wm=True, compositor=False) as desk:`. `wm` is
    True for openbox, False for none, or a name of WINDOW_MANAGERS."""

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

    @property
    def wm_name(self):
        return "openbox" if self.wm is True else self.wm

    def start_wm(self):
        command, kwinrc = WINDOW_MANAGERS[self.wm_name]
        env = self.env
        if self.wm_name != "openbox":
            env = private_environment(os.path.join(self.dir, "wm"))
            env.update(DISPLAY=self.display, GSETTINGS_BACKEND="memory")
            _STARTED.append(start_session_bus(env))
            if kwinrc:
                with open(os.path.join(env["XDG_CONFIG_HOME"], "kwinrc"), "w") as rc:
                    rc.write(kwinrc)
        self.wm_process = self._spawn(command, env=env)
        self.wait_for(self._wm_ready, self.wm_name, timeout=30.0)
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
