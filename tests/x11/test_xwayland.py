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


def mapped_windows(desk, pid):
    return desk.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)]).stdout.split()


class QuillmereUnderXwayland(unittest.TestCase):
    def test_untrusted_with_the_alert_no_overlay_and_a_panel(self):
        # No session bus: the launch must not wait for one.
        desk = start_for(self, SwaySession(xwayland=True))
        app = Quillmere(desk)
        self.addCleanup(app.stop)
        client = XClient(desk.display)
        self.addCleanup(client.close)

        self.assertEqual(app.read_lines(1), ["QuillmereApp started"])
        # The launch waits for the alert's answer: its window is the only one shown.
        alert = wait_for(lambda: mapped_windows(desk, app.process.pid), "the permission alert")
        self.assertEqual(len(alert), 1)
        self.assertEqual(desk.run(["xdotool", "getwindowname", alert[0]]).stdout, "Quillmere\n")
        self.assertEqual(client.overlays(), [])

        # Closing the alert answers it with its second button; the launch then goes on.
        client.request_close(int(alert[0]))
        panel = wait_for(lambda: [w for w in mapped_windows(desk, app.process.pid)
                                  if w != alert[0]], "the stand-in panel")
        self.assertIn("_NET_WM_WINDOW_TYPE_DOCK",
                      desk.run(["xprop", "-id", panel[0], "_NET_WM_WINDOW_TYPE"]).stdout)
        time.sleep(0.5)
        self.assertEqual(client.overlays(), [])
        self.assertEqual(app.read_lines(1, timeout=0.2), [],
                         "nothing more on stdout: the permissions are not granted")
        self.assertIsNone(app.process.poll())


if __name__ == "__main__":
    outcome = unittest.main(verbosity=2, exit=False).result
    # CTest reports the skip as such (SKIP_RETURN_CODE) rather than as a pass.
    sys.exit(77 if outcome.skipped else 0 if outcome.wasSuccessful() else 1)
