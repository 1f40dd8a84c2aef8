"""Quillmere on the Wayland backend, on private headless sways: the dim over the wallpaper with
windows sharp above it, the window list and frontmost application from sway's events, outputs
at scale 2 and added (taken away: test_capture.py; the end when the compositor goes:
test_entry_point.py), and overlays that take no pointer input: clicks with a virtual pointer
reach the windows above them and the desktop beneath them. A see-through surface on the
background layer stands for the desktop: it hears a click only when nothing above it took the
click. No virtual keyboard ever exists in these sessions, so the seat offers no keyboard
throughout."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Driver, close_to, open_window  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402

BACKDROP = os.environ.get("QUILLMERE_WAYLAND_BACKDROP", "")

DIM_ALPHA = 0.7 * 0.9  # the dim at the default intensity
TILED, FLOATING = (0x20, 0xC0, 0x40), (0xC0, 0x20, 0x80)
FLOATING_RULE = 'for_window [title="floating"] floating enable, move position 360 240'


def dimmed(colour, alpha=DIM_ALPHA):
    return tuple(round(channel * (1.0 - alpha)) for channel in colour)


def wait_for_pixel(test, session, output, x, y, expected, what, env=None, tolerance=1):
    """Negative coordinates count from the right or bottom edge."""
    try:
        wait_for(lambda: close_to(session.pixel(output, x, y, env), expected, tolerance), what,
                 timeout=5)
    except AssertionError:
        test.fail("{}: pixel ({}, {}) of {} is {}, not {}".format(
            what, x, y, output, session.pixel(output, x, y, env), expected))


class WaylandOverlayTest(unittest.TestCase):
    def test_dim_at_scale_2_under_windows_that_sway_lists_and_focuses_passes_clicks_through(self):
        session = start_for(self, SwaySession([FLOATING_RULE], pointer=True))
        session.add_output(scale=2)
        session.swaymsg("focus", "output", "HEADLESS-1")
        desktop = LineClient(session, [BACKDROP], stdin=None, stderr=subprocess.STDOUT)
        desktop.wait_line("ready", "the backdrop on the focused output")
        tiled = open_window(session, "tiled", TILED)
        floating = open_window(session, "floating", FLOATING)
        driver = Driver(session)
        self.assertEqual(driver.state()["screens"], "0,0,640,480 640,240,320,240")
        ids = {node["pid"]: node["id"] for node in session.views()}
        overlays = {"{}:{}".format((1 << 40) + i, driver.process.pid) for i in range(2)}

        def windows():
            """sway's windows front to back; our overlays, below every one of them, come last."""
            listed = driver.state()["windows"].split()
            self.assertEqual(set(listed[-2:]), overlays)
            return " ".join(listed[:-2])

        def listed(*processes):
            return " ".join("{}:{}".format(ids[p.pid], p.pid) for p in processes)

        wait_for(lambda: windows() == listed(floating, tiled), "the list, floating first")
        self.assertEqual(driver.state()["frontmost"], str(floating.pid))
        self.assertEqual(driver.state()["levels"], "-1 -1")

        driver.send("mode Dim")
        # The stand-in panel takes the first output's top-right 24 points.
        for output in ("HEADLESS-1", "HEADLESS-2"):
            for x, y in ((0, 0), (-1, 24 if output == "HEADLESS-1" else 0), (0, -1), (-1, -1)):
                wait_for_pixel(self, session, output, x, y, dimmed(WALLPAPER),
                               "the dim on " + output)
        _, _, pixel = session.screenshot("HEADLESS-1")
        self.assertEqual(pixel(200, 100), TILED)  # not at (100, 100), where the pointer shows
        self.assertEqual(pixel(460, 310), FLOATING)

        # The gap around the tiled window shows only the overlay over the wallpaper. (The input
        # region is empty from the surface's creation on, whatever its alpha or scale.)
        session.pointer_click(5, 5)
        try:
            wait_for(lambda: desktop.output().count("button pressed") == 1, "a click on the gap",
                     timeout=3)
        except AssertionError:
            self.fail("a click on the gap: the desktop heard {}".format(desktop.output()))

        # A window above the overlay takes its click: sway focuses it, Quillmere follows.
        session.pointer_click(100, 100)
        wait_for(lambda: driver.state()["frontmost"] == str(tiled.pid), "the clicked window")
        self.assertEqual(desktop.output().count("button pressed"), 1,
                         "the window's click reached the desktop")
        self.assertEqual(windows(), listed(tiled, floating))
        session.swaymsg("workspace", "3")
        wait_for(lambda: driver.state()["frontmost"] == "-1", "the desktop on an empty workspace")
        self.assertEqual(windows(), "")

        session.swaymsg("create_output")
        # That it stays uncovered: tests/x11/paint/monitor_launch_test.cpp.
        wait_for(lambda: len(driver.state()["screens"].split()) == 3, "the new output")

        # In dim nothing watches the layout for captures, so a quiet desktop's ticks ask nothing.
        requests = driver.state()["ipc-requests"]
        time.sleep(1.0)  # ten ticks of the 0.1-second timer
        self.assertEqual(driver.state()["ipc-requests"], requests)
        self.assertIsNone(driver.process.poll())


if __name__ == "__main__":
    unittest.main()
