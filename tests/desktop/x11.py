"""A private X desktop: Xvfb, a session bus, a window manager (openbox, or another of
WINDOW_MANAGERS), picom and trayer where asked. Every program gets the session's private
environment with this display in it."""

import os
import re
import time

from Xlib import X, Xutil, display as xdisplay

from desktop.session import Session, SessionUnavailable, TimedOut, stop, wait_for

SCREEN_SIZE = (1280, 800)

# The window managers that the desktop scenarios run under, by the name that
# QUILLMERE_TEST_WM gives: the command, the kwinrc it wants (if any), and whether it composites.
# Each one but openbox gets a session bus, a HOME and XDG directories of its own: xfwm4 exits
# without a bus, also where a test gives Quillmere none; mutter keeps its settings in memory;
# marco needs the mouse schema of mate-settings-daemon-common.
WINDOW_MANAGERS = {
    "openbox": (["openbox", "--sm-disable"], None),
    "mutter": (["mutter", "--x11", "--replace"], None),
    "kwin": (["kwin_x11", "--replace"], "[Compositing]\nEnabled=true\nBackend=OpenGL\n"),
    "kwin-nocompositing": (["kwin_x11", "--replace"], "[Compositing]\nEnabled=false\n"),
    "xfwm4": (["xfwm4", "--replace", "--compositor=on"], None),
    "xfwm4-nocompositor": (["xfwm4", "--replace", "--compositor=off"], None),
    "marco": (["marco", "--composite", "--replace"], None),
}


def start_xvfb(session, size):
    """Xvfb as a program of the session, on the display number it picks itself: the display."""
    read_end, write_end = os.pipe()
    xvfb = session.spawn(["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp",
                          "-screen", "0", size], pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end, "rb") as pipe:
        number = pipe.readline().strip()
    if not number:
        raise SessionUnavailable("Xvfb did not start")
    return xvfb, ":" + number.decode()


class XSession(Session):
    """`wm` is True for openbox, False for none, or a name of WINDOW_MANAGERS."""

    prefix = "quillmere-x11-"

    def __init__(self, wm=True, compositor=False, size="%dx%dx24" % SCREEN_SIZE, bus=True):
        super().__init__(bus=bus)
        self.wm = "openbox" if wm is True else wm
        self.compositor_wanted = compositor
        self.size = size
        self.display = None
        self.xvfb = None
        self.tray = None

    def start(self):
        self.xvfb, self.display = start_xvfb(self, self.size)
        self.env["DISPLAY"] = self.display
        if self.wm:
            self.start_wm()
        if self.compositor_wanted:
            self.compositor = self.spawn(["picom", "--backend", "xrender"])
            wait_for(lambda: self._selection_owned("_NET_WM_CM_S0"), "picom")

    def start_wm(self):
        command, kwinrc = WINDOW_MANAGERS[self.wm]
        env = self.env
        if self.wm != "openbox":
            env = self.private_environment("wm")
            env.update(DISPLAY=self.display, GSETTINGS_BACKEND="memory")
            self.start_bus(env)
            if kwinrc:
                with open(os.path.join(env["XDG_CONFIG_HOME"], "kwinrc"), "w") as rc:
                    rc.write(kwinrc)
        self.spawn(command, env=env)
        wait_for(lambda: "window id" in self.output_of("xprop", "-root",
                                                       "_NET_SUPPORTING_WM_CHECK"),
                 self.wm, timeout=30.0)
        wait_until_managing(self.display)

    def _selection_owned(self, name):
        d = xdisplay.Display(self.display)
        try:
            return d.get_selection_owner(d.intern_atom(name)) != 0
        finally:
            d.close()

    def start_tray(self, attempts=3):
        # WORKAROUND(trayer): now and then, with another desktop starting beside it, trayer
        # runs on but never maps its panel; another trayer on the same display then does.
        for _ in range(attempts):
            self.tray = self.spawn(["trayer", "--edge", "top", "--align", "left", "--widthtype",
                                    "request", "--height", "28", "--SetDockType", "true"])
            try:
                wait_for(lambda: self.output_of("xdotool", "search", "--onlyvisible", "--class",
                                                "trayer"), "the tray host", timeout=5.0)
                return
            except TimedOut:
                self.stop_tray()
        raise TimedOut("timed out waiting for the tray host, %d times" % attempts)

    def stop_tray(self):
        if self.tray is not None:
            stop(self.tray)
            self.tray = None

    def key(self, *keys):
        self.run(["xdotool", "key", "--delay", "40"] + list(keys), check=True)

    def click(self, x, y, button=1):
        self.run(["xdotool", "mousemove", "--sync", str(x), str(y)], check=True)
        self.run(["xdotool", "click", str(button)], check=True)

    def active_window(self):
        out = self.output_of("xprop", "-root", "_NET_ACTIVE_WINDOW")
        match = re.search(r"window id # (0x[0-9a-f]+)", out)
        return int(match.group(1), 16) if match else 0

    def window_geometry(self, window):
        """(x, y, width, height) of a window in root coordinates, or None once it is gone."""
        out = self.output_of("xwininfo", "-id", str(window))
        values = []
        for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            match = re.search(name + r":\s+(-?\d+)", out)
            if not match:
                return None
            values.append(int(match.group(1)))
        return tuple(values) if "IsViewable" in out else None

    def popup_menu(self, pid):
        """(x, y, width, height) of the process's visible pop-up menu, or None. It is the only one
        of its windows that is unmanaged and at least menu-sized without covering a whole screen:
        the program reports nothing about its menu."""
        out = self.output_of("xdotool", "search", "--onlyvisible", "--pid", str(pid))
        for window in out.split():
            if "Override Redirect State: yes" not in self.output_of("xwininfo", "-id", window):
                continue
            geometry = self.window_geometry(int(window))
            if geometry and 150 <= geometry[2] < 1000 and 150 <= geometry[3] < 700:
                return geometry
        return None

    def ancestors(self, window):
        chain = []
        while True:
            out = self.output_of("xwininfo", "-tree", "-id", str(window))
            match = re.search(r"Parent window id: (0x[0-9a-f]+)", out)
            parent_line = out.split("Parent window id:")[-1].splitlines()[0]
            if not match or "(the root window)" in parent_line:
                return chain
            window = int(match.group(1), 16)
            chain.append(window)


# Openbox sets _NET_SUPPORTING_WM_CHECK early in its start, and a window mapped between then and
# the start of its event loop can stay unmapped and unmanaged for good. So a desktop counts as
# ready only once the window manager has framed a probe window of ours; a probe that it lost is
# given up and another one made.
def _framed_probe(display_name, within):
    """The id of a probe window that the window manager framed within the time, or None."""
    d = xdisplay.Display(display_name)
    try:
        root = d.screen().root
        probe = root.create_window(0, 0, 16, 16, 0, X.CopyFromParent)
        probe.set_wm_hints(flags=Xutil.InputHint, input=0)  # never focused, never active
        probe.map()
        d.sync()
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            if probe.query_tree().parent != root:
                return probe.id
            time.sleep(0.02)
        return None
    finally:
        d.close()  # the probe goes with its connection


def _named_by_root(display_name, window):
    """Whether the root's client list or active window still names the window."""
    d = xdisplay.Display(display_name)
    try:
        for name in ("_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW"):
            prop = d.screen().root.get_full_property(d.intern_atom(name), X.AnyPropertyType)
            if prop is not None and prop.format == 32 and window in list(prop.value):
                return True
        return False
    finally:
        d.close()


def wait_until_managing(display_name, timeout=30.0):
    """Returns once the window manager has framed a probe window and let it go again."""
    deadline = time.monotonic() + timeout
    probe = None
    while probe is None:
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for the window manager to manage windows")
        probe = _framed_probe(display_name, within=1.0)
    while _named_by_root(display_name, probe):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for the window manager to drop its probe")
        time.sleep(0.02)
