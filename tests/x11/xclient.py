"""Another application on the private desktop, as the tests need it: windows with chosen
properties (any process id may be claimed through _NET_WM_PID), activation through the window
manager, and a look at the root's stacking order."""

import time

from Xlib import X, Xatom, display as xdisplay
from Xlib.protocol import event as xevent


class XClient:
    def __init__(self, display_name):
        self.d = xdisplay.Display(display_name)
        self.root = self.d.screen().root

    def close(self):
        self.d.close()

    def atom(self, name):
        return self.d.intern_atom(name)

    def window(self, pid=None, types=(), states=(), x=100, y=100, w=300, h=200,
               override_redirect=False, name="test window", opacity=None, map=True,
               events=0):
        win = self.root.create_window(
            x, y, w, h, 0, self.d.screen().root_depth, X.InputOutput, X.CopyFromParent,
            background_pixel=self.d.screen().white_pixel, override_redirect=override_redirect,
            event_mask=events)
        win.set_wm_name(name)
        if pid is not None:
            win.change_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [pid])
        if types:
            win.change_property(self.atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32,
                                [self.atom("_NET_WM_WINDOW_TYPE_" + t) for t in types])
        if states:
            win.change_property(self.atom("_NET_WM_STATE"), Xatom.ATOM, 32,
                                [self.atom("_NET_WM_STATE_" + s) for s in states])
        if opacity is not None:
            win.change_property(self.atom("_NET_WM_WINDOW_OPACITY"), Xatom.CARDINAL, 32,
                                [opacity])
        if map:
            win.map()
        self.d.sync()
        return win

    def activate(self, win):
        """Asks the window manager to activate the window, as a pager would."""
        message = xevent.ClientMessage(window=win, client_type=self.atom("_NET_ACTIVE_WINDOW"),
                                       data=(32, [2, X.CurrentTime, 0, 0, 0]))
        self.root.send_event(message, event_mask=X.SubstructureRedirectMask |
                             X.SubstructureNotifyMask)
        self.d.sync()

    def set_active_window_property(self, window_id):
        self.root.change_property(self.atom("_NET_ACTIVE_WINDOW"), Xatom.WINDOW, 32, [window_id])
        self.d.sync()

    def active_window(self):
        prop = self.root.get_full_property(self.atom("_NET_ACTIVE_WINDOW"), Xatom.WINDOW)
        return prop.value[0] if prop and len(prop.value) else 0

    def stacking(self):
        """The root's children, bottom to top."""
        return [w.id for w in self.root.query_tree().children]

    def frame_of(self, win):
        """The root's child that holds the window (the window itself when unmanaged)."""
        current = self.d.create_resource_object("window", win if isinstance(win, int) else win.id)
        while True:
            parent = current.query_tree().parent
            if parent.id == self.root.id or parent.id == 0:
                return current.id
            current = parent

    def overlays(self):
        found = []
        for child in self.root.query_tree().children:
            try:
                wm_class = child.get_wm_class()
            except Exception:  # noqa: BLE001 - gone in between
                continue
            if wm_class and wm_class[0] == "quillmere" and \
                    child.get_wm_name() == "Quillmere overlay":
                found.append(child.id)
        return found

    def index(self, window_id):
        order = self.stacking()
        return order.index(window_id) if window_id in order else -1

    def wait_until(self, predicate, what, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate():
                return
            time.sleep(0.02)
        raise AssertionError("timed out waiting until " + what + "; stacking " +
                             str([hex(w) for w in self.stacking()]))
