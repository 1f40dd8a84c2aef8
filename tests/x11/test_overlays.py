#!/usr/bin/python3
"""The overlay windows themselves: one per monitor and their X attributes, the empty input shape
among them. That clicks go through: see test_stacking.py."""

import os
import sys
import time
import unittest

from Xlib.ext import shape

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, Quillmere  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402


class Overlays(unittest.TestCase):
    def test_one_overlay_per_monitor_each_unmanaged_argb_and_input_transparent(self):
        with XSession(size="2560x800x24") as desk:
            # Two monitors side by side; the "screen" output goes to one of them, or Qt would
            # report it as a third.
            desk.run(["xrandr", "--setmonitor", "left", "1280/338x800/211+0+0", "screen"])
            desk.run(["xrandr", "--setmonitor", "right", "1280/338x800/211+1280+0", "none"])
            app = Quillmere(desk)
            self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
            c = XClient(desk.display)
            try:
                c.wait_until(lambda: len(c.overlays()) == 2, "two overlays")
                geometries = set()
                for overlay in c.overlays():
                    win = c.d.create_resource_object("window", overlay)
                    g = win.get_geometry()
                    geometries.add((g.x, g.y, g.width, g.height))
                    self.assertEqual(g.depth, 32)
                    self.assertTrue(win.get_attributes().override_redirect)
                    self.assertEqual(len(win.shape_get_rectangles(shape.SK.Input).rectangles), 0)
                self.assertEqual(geometries, {(0, 0, 1280, 800), (1280, 0, 1280, 800)})
            finally:
                c.close()
                app.stop()

    def test_no_monitor_means_no_overlay_and_no_crash(self):
        with XSession() as desk:
            # Xvfb cannot shrink its screen, but the output goes off and no monitor remains.
            desk.run(["xrandr", "--output", "screen", "--off"], check=False)
            self.assertIn("Monitors: 0", desk.run(["xrandr", "--listmonitors"]).stdout)
            app = Quillmere(desk)
            self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
            time.sleep(1.0)
            c = XClient(desk.display)
            try:
                self.assertEqual(c.overlays(), [])
                self.assertIsNone(app.process.poll())
            finally:
                c.close()
                app.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
