"""Quillmere on the X display of a Wayland session (XWayland), which shows only X11 clients'
windows: it must not count itself trusted and must make no overlay, since an overlay would
cover the native windows it cannot see, while the launch goes on to the status item. The panel's
menu is opened on Xvfb (tests/x11/shell/test_quillmere.py)."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Quillmere  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import SwaySession  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from Xlib import X  # noqa: E402


def windows_of(client, pid):
    """The top-level windows that the process has mapped: (window, name, types)."""
    found = []
    for child in client.root.query_tree().children:
        try:
            owner = child.get_full_property(client.atom("_NET_WM_PID"), X.AnyPropertyType)
            attributes = child.get_attributes()
            if owner and list(owner.value[:1]) == [pid] and attributes.map_state == X.IsViewable:
                kinds = child.get_full_property(client.atom("_NET_WM_WINDOW_TYPE"),
                                                X.AnyPropertyType)
                names = [client.d.get_atom_name(a) for a in kinds.value] if kinds else []
                found.append((child, child.get_wm_name(), names))
        except Exception:  # noqa: BLE001 - gone in between
            continue
    return found


class QuillmereUnderXwayland(unittest.TestCase):
    def test_untrusted_with_the_alert_no_overlay_and_a_panel(self):
        # No session bus: the launch must not wait for one.
        desk = start_for(self, SwaySession(xwayland=True))
        app = Quillmere(desk)
        self.addCleanup(app.stop)
        client = XClient(desk.display)
        self.addCleanup(client.close)

        self.assertEqual(app.read_lines(1), ["QuillmereApp started"])
        alert = wait_for(
            lambda: [w for w, name, kinds in windows_of(client, app.process.pid)
                     if name == "Quillmere" and "_NET_WM_WINDOW_TYPE_DOCK" not in kinds],
            "the permission alert")[0]
        self.assertEqual(client.overlays(), [])

        # Closing the alert answers it with its second button; the launch then goes on.
        client.request_close(alert.id)
        wait_for(lambda: [w for w, _, kinds in windows_of(client, app.process.pid)
                          if "_NET_WM_WINDOW_TYPE_DOCK" in kinds], "the stand-in panel")
        time.sleep(0.5)
        self.assertEqual(client.overlays(), [])
        self.assertEqual(app.read_lines(1, timeout=0.2), [],
                         "nothing more on stdout: the permissions are not granted")
        self.assertIsNone(app.process.poll())


if __name__ == "__main__":
    outcome = unittest.main(verbosity=2, exit=False).result
    # CTest reports the skip as such (SKIP_RETURN_CODE) rather than as a pass.
    sys.exit(77 if outcome.skipped else 0 if outcome.wasSuccessful() else 1)
