#!/usr/bin/python3
"""Super+B and the pointer shake on a private desktop: each toggles exactly once, the focused
application still gets its keys, and the fade ends at the effect's pixels or the wallpaper's.
Super+B with the menu open: see shell/test_quillmere.py."""

import os
import sys
import time
import unittest

from Xlib import X, XK

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, Quillmere  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

WALLPAPER = (0x33, 0x66, 0xCC)


class Toggles(unittest.TestCase):
    def setUp(self):
        self.desk = XSession().__enter__()
        self.addCleanup(self.desk.close)
        self.desk.run(["hsetroot", "-solid", "#%02x%02x%02x" % WALLPAPER])
        self.app = Quillmere(self.desk)
        self.addCleanup(self.app.stop)
        self.assertEqual(self.app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
        self.c = XClient(self.desk.display)
        self.addCleanup(self.c.close)
        self.c.wait_until(lambda: self.c.overlays(), "the overlay")
        time.sleep(0.8)  # the launch fade-in

    def toggles_within(self, seconds):
        lines = self.app.read_lines(10, timeout=seconds)
        return [line for line in lines if line.startswith("Toggled effect: ")]

    def pixel(self, x, y):
        colour = self.c.pixel(x, y)
        return (colour >> 16, colour >> 8 & 0xFF, colour & 0xFF)

    def test_super_b_in_another_application_toggles_once_and_the_key_still_arrives(self):
        other = self.c.window(pid=1111, x=700, y=100, w=400, h=300, events=X.KeyPressMask)
        self.c.activate(other)
        self.c.wait_until(lambda: self.c.active_window() == other.id, "the window is active")
        self.desk.run(["xdotool", "key", "super+b"])
        self.assertEqual(self.toggles_within(1.0), ["Toggled effect: false"])

        b_code = self.c.d.keysym_to_keycode(XK.string_to_keysym("b"))
        self.assertTrue(self.c.wait_for_event(X.KeyPress, other, detail=b_code))

        time.sleep(0.6)  # the 0.3 s fade, and a frame
        self.assertEqual(self.pixel(200, 600), WALLPAPER)
        self.desk.run(["xdotool", "key", "super+b"])
        self.assertEqual(self.toggles_within(1.0), ["Toggled effect: true"])
        time.sleep(0.6)
        self.assertNotEqual(self.pixel(200, 600), WALLPAPER)

    def test_a_shake_toggles_once(self):
        self.desk.run(["xdotool", "mousemove", "600", "400"])
        time.sleep(0.1)
        # Twelve steps of 60 pixels, paced beyond the 10 ms coalescing: 660 after eleven.
        for step in range(12):
            dx = "60" if step % 2 == 0 else "-60"
            self.desk.run(["xdotool", "mousemove_relative", "--", dx, "0"])
            time.sleep(0.03)
        self.assertEqual(self.toggles_within(1.0), ["Toggled effect: false"])


class ShakeInPoints(unittest.TestCase):
    """At ratio 2 the shake's thresholds are twice as many pixels: a 600-point step is 1200."""

    def test_a_step_counts_in_points(self):
        with XSession(size="2800x800x24") as desk:
            app = Quillmere(desk, env=dict(desk.env, QT_SCALE_FACTOR="2"))
            try:
                self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
                desk.run(["xdotool", "mousemove", "300", "400"])
                # A warp makes no device motion; the first relative step gives the start.
                desk.run(["xdotool", "mousemove_relative", "--", "100", "0"])
                time.sleep(0.1)
                # 590 points: a long step, but short of a shake; at ratio 1 it would toggle.
                desk.run(["xdotool", "mousemove_relative", "--", "1180", "0"])
                self.assertEqual(app.read_lines(1, timeout=0.5), [])
                # Forty short steps wear the total down to about 9 points.
                steps = []
                for step in range(40):
                    steps += ["mousemove_relative", "--", "20" if step % 2 else "-20", "0",
                              "sleep", "0.03"]
                desk.run(["xdotool"] + steps)
                self.assertEqual(app.read_lines(1, timeout=0.3), [])
                # 610 points more: a shake.
                desk.run(["xdotool", "mousemove_relative", "--", "-1220", "0"])
                self.assertEqual(app.read_lines(1, timeout=1.0), ["Toggled effect: false"])
            finally:
                app.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
