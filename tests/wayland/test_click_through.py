"""Quillmere's overlays on sway take no pointer input: clicks with a virtual pointer reach the
windows above them and the desktop beneath them, on an output at scale 2 too and with the effect
toggled off. A see-through surface on the background layer stands for the desktop: it hears a
click only when nothing above it took the click. And with a panel and a notification server on
the session's bus, the launch notification arrives there."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Driver, open_window  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402
from test_overlays import FLOATING, FLOATING_RULE, TILED, dimmed  # noqa: E402

BACKDROP = os.environ.get("QUILLMERE_WAYLAND_BACKDROP", "")


class Backdrop(LineClient):
    """wayland_backdrop on the focused output."""

    def __init__(self, session):
        super().__init__(session, [BACKDROP], stdin=None, stderr=subprocess.STDOUT)
        self.wait_line("ready", "the backdrop")

    def presses(self):
        return self.output().count("button pressed")


class ClickThroughTest(unittest.TestCase):
    def session(self, *extra_config, panel=False):
        return start_for(self, SwaySession(extra_config, panel=panel, pointer=not panel))

    def wait_for_dim(self, session, output, x, y):
        wait_for(lambda: session.screenshot(output)[2](x, y) == dimmed(WALLPAPER),
                 "the dim on " + output, timeout=5)

    def click_reaches_the_desktop(self, session, backdrop, x, y, what):
        before = backdrop.presses()
        session.pointer_click(x, y)
        try:
            wait_for(lambda: backdrop.presses() == before + 1, what, timeout=3)
        except AssertionError:
            self.fail("{}: the desktop heard {}".format(what, backdrop.output()))

    def test_clicks_pass_the_overlays_to_the_desktop_and_to_windows(self):
        session = self.session(FLOATING_RULE)
        session.add_output(scale=2)
        session.swaymsg("focus", "output", "HEADLESS-1")
        desktop = Backdrop(session)
        tiled = open_window(session, "tiled", TILED)
        open_window(session, "floating", FLOATING)
        driver = Driver(session)
        driver.send("dim")
        self.wait_for_dim(session, "HEADLESS-1", 5, 5)

        # The gap around the tiled window shows only the overlay over the wallpaper.
        self.click_reaches_the_desktop(session, desktop, 5, 5, "a click on the gap")
        self.click_reaches_the_desktop(session, desktop, 639, 479, "a click in the far corner")
        presses = desktop.presses()
        session.pointer_drag((20, 20), (30, 400))
        wait_for(lambda: desktop.output()[-2:] == ["motion 30 400", "button released"],
                 "the whole drag")
        self.assertEqual(desktop.presses(), presses + 1)

        # A window above the overlay takes its click: sway focuses it, Quillmere follows.
        presses = desktop.presses()
        self.assertNotEqual(driver.state()["frontmost"], str(tiled.pid))
        session.pointer_click(100, 100)
        wait_for(lambda: driver.state()["frontmost"] == str(tiled.pid), "the clicked window")
        self.assertEqual(desktop.presses(), presses, "the window's click reached the desktop")

        # The effect toggled off leaves the overlay mapped at alpha 0, still click-through.
        driver.send("toggle")
        wait_for(lambda: session.screenshot("HEADLESS-1")[2](5, 5) == WALLPAPER,
                 "the toggled-off overlay", timeout=5)
        self.click_reaches_the_desktop(session, desktop, 5, 5, "a click with the effect off")

        # The output at scale 2: its own desktop surface under its own overlay.
        driver.send("toggle")
        self.wait_for_dim(session, "HEADLESS-2", 5, 5)
        session.swaymsg("focus", "output", "HEADLESS-2")
        scaled = Backdrop(session)
        self.click_reaches_the_desktop(session, scaled, 959, 239, "a click on the scaled output")
        self.assertIn("motion 319 239", scaled.output())
        self.assertIsNone(driver.process.poll())

    def test_the_launch_notification_reaches_the_notification_server(self):
        session = self.session(panel=True)
        session.wait_for_panel()
        Driver(session)
        expected = ['string "Quillmere is Active"', 'string "Check your Menu Bar (look for the'
                    ' dotted circle) to control the effects."', 'string "Quillmere"']
        try:
            wait_for(lambda: all(text in session.notifications() for text in expected),
                     "the launch notification", timeout=5)
        except AssertionError:
            self.fail("mako shows: " + session.notifications())
        self.assertEqual(session.notifications().count('string "Quillmere is Active"'), 1)


if __name__ == "__main__":
    unittest.main()
