"""Whether a window manager on a private display manages windows yet.

Openbox sets _NET_SUPPORTING_WM_CHECK early in its start, and a window mapped between then and
the start of its event loop can stay unmapped and unmanaged for good. So a desktop counts as
ready only once the window manager has framed a probe window of ours; a probe that it lost is
given up and another one made."""

import time

from Xlib import X, Xutil, display as xdisplay


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
