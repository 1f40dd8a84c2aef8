"""Another application on the private desktop, as the tests need it: windows with chosen
properties (any process id may be claimed through _NET_WM_PID), activation through the window
manager, and a look at the root's stacking order."""

import time

from Xlib import X, Xatom, Xutil, display as xdisplay
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
               override_redirect=False, name="test window", events=0, color=None,
               input_only=False):
        """color: 0xRRGGBB on the 24-bit TrueColor screen of the private Xvfb."""
        if input_only:
            win = self.root.create_window(x, y, w, h, 0, 0, X.InputOnly, X.CopyFromParent,
                                          override_redirect=override_redirect, event_mask=events)
        else:
            win = self.root.create_window(
                x, y, w, h, 0, self.d.screen().root_depth, X.InputOutput, X.CopyFromParent,
                background_pixel=self.d.screen().white_pixel if color is None else color,
                override_redirect=override_redirect, event_mask=events)
        win.set_wm_name(name)
        # Where the test puts it, not where the window manager's placement would.
        win.set_wm_normal_hints(flags=Xutil.USPosition | Xutil.USSize, x=x, y=y, width=w,
                                height=h)
        if pid is not None:
            win.change_property(self.atom("_NET_WM_PID"), Xatom.CARDINAL, 32, [pid])
        if types:
            win.change_property(self.atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32,
                                [self.atom("_NET_WM_WINDOW_TYPE_" + t) for t in types])
        if states:
            win.change_property(self.atom("_NET_WM_STATE"), Xatom.ATOM, 32,
                                [self.atom("_NET_WM_STATE_" + s) for s in states])
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

    def request_close(self, window_id):
        """Asks the window to close, as a window manager's close button does."""
        window = self.d.create_resource_object("window", window_id)
        window.send_event(xevent.ClientMessage(
            window=window, client_type=self.atom("WM_PROTOCOLS"),
            data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
        self.d.sync()

    def set_active_window_property(self, *window_ids):
        """Writes the root's active window behind the window manager's back; some write more
        than one value."""
        self.root.change_property(self.atom("_NET_ACTIVE_WINDOW"), Xatom.WINDOW, 32,
                                  list(window_ids))
        self.d.sync()

    def raise_window(self, win):
        """Asks the window manager to raise the window, without activating it."""
        win.configure(stack_mode=X.Above)
        self.d.sync()

    def pixel(self, x, y):
        """The screen's colour at a point as 0xRRGGBB."""
        data = self.root.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return data[2] << 16 | data[1] << 8 | data[0]

    def drain_events(self):
        self.d.sync()
        while self.d.pending_events():
            self.d.next_event()

    def wait_for_event(self, event_type, win, timeout=2.0, detail=None):
        """Whether an event of the type (and the detail, a key's code say) came for the window
        within the time."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while self.d.pending_events():
                event = self.d.next_event()
                if event.type == event_type and event.window.id == win.id and \
                        detail in (None, event.detail):
                    return True
            time.sleep(0.02)
        return False

    def count_configure_notify(self, window_id, seconds):
        """How often the window was moved or restacked during the time."""
        watcher = xdisplay.Display(self.d.get_display_name())
        try:
            watcher.create_resource_object("window", window_id).change_attributes(
                event_mask=X.StructureNotifyMask)
            watcher.sync()
            count = 0
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline:
                while watcher.pending_events():
                    count += watcher.next_event().type == X.ConfigureNotify
                time.sleep(0.02)
            return count
        finally:
            watcher.close()

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

    def overlays(self, parent=None, depth=3):
        """Our overlays among the root's children, or inside the frames that hold them."""
        found = []
        try:
            children = (parent or self.root).query_tree().children
        except Exception:  # noqa: BLE001 - gone in between
            return found
        for child in children:
            try:
                wm_class = child.get_wm_class()
                if wm_class and wm_class[0] == "quillmere" and \
                        child.get_wm_name() == "Quillmere overlay":
                    found.append(child.id)
                elif depth > 1:
                    found += self.overlays(child, depth - 1)
            except Exception:  # noqa: BLE001 - gone in between
                continue
        return found
