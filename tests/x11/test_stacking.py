#!/usr/bin/python3
"""Where the overlays stand, and what they cover, as applications come and go to the front,
under the window manager that QUILLMERE_TEST_WM names (openbox when none).

The desktop is hostile the way real window managers make it: a 1x1 override-redirect window
off the screen and a mapped InputOnly one lie at the very bottom before Quillmere starts."""

import os
import sys
import time
import unittest

from Xlib import X, XK

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, Quillmere  # noqa: E402
from desktop.session import wait_for  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402


COMPOSITOR = os.environ.get("QUILLMERE_TEST_COMPOSITOR") == "1"
WM = os.environ.get("QUILLMERE_TEST_WM") or "openbox"  # a name of x11.WINDOW_MANAGERS
DESKTOP, NORMAL, FLOATING = 0x3366CC, 0xE0E0E0, 0x20A040
# The overlay's place within this much of a change; compositing window managers on llvmpipe
# are slow, and that is not what is tested.
SETTLE = 2.0


class Stacking(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when this set-up fails half-way, so no desktop is left behind.
        cls.desk = XSession(wm=WM, compositor=COMPOSITOR, size="1600x900x24").__enter__()
        cls.addClassCleanup(cls.desk.close)
        c = cls.c = XClient(cls.desk.display)
        cls.addClassCleanup(cls.c.close)
        cls.desktop = c.window(pid=1000, types=["DESKTOP"], x=0, y=0, w=1600, h=900,
                               name="desktop", color=DESKTOP)
        cls.below = c.window(pid=3333, states=["BELOW"], name="below", x=1200, y=600)
        cls.normal = c.window(pid=1111, name="normal", x=100, y=100, w=500, h=400,
                              color=NORMAL, events=X.ButtonPressMask | X.KeyPressMask)
        cls.floating = c.window(pid=2222, states=["ABOVE"], name="floating", x=700, y=100,
                                w=300, h=200, color=FLOATING)
        cls.windows = [cls.desktop, cls.below, cls.normal, cls.floating]
        # Generous: a window manager is slow to start on a loaded machine, and that is not what
        # is tested.
        wait_for(lambda: all(c.frame_of(w) != w.id for w in cls.windows[1:]),
                 WM + " manages every window", timeout=20.0)
        # Made once the window manager runs: kwin_x11, while it starts, moves a 1x1 window
        # from -100,-100 onto the screen.
        for hostile in (c.window(x=-100, y=-100, w=1, h=1, override_redirect=True),
                        c.window(x=0, y=0, w=1600, h=900, override_redirect=True,
                                 input_only=True)):
            hostile.configure(stack_mode=X.Below)
        c.d.sync()
        cls.app = Quillmere(cls.desk)
        cls.addClassCleanup(cls.app.stop)
        assert cls.app.read_lines(len(LAUNCH_LINES)) == LAUNCH_LINES
        wait_for(lambda: c.overlays(), "the overlay exists")
        cls.overlay = c.overlays()[0]

    def next_counted_around_overlay(self):
        order = self.c.stacking()
        counted = {self.c.frame_of(w) for w in self.windows}
        position = order.index(self.c.frame_of(self.overlay))
        above = [w for w in order[position + 1:] if w in counted]
        below = [w for w in order[:position] if w in counted]
        return (above[0] if above else None), (below[-1] if below else None)

    def placed_below(self, win, then_above=None):
        above, below = self.next_counted_around_overlay()
        return above == self.c.frame_of(win) and (
            then_above is None or below == self.c.frame_of(then_above))

    def wait_directly_below(self, win, then_above=None, timeout=SETTLE):
        wait_for(lambda: self.placed_below(win, then_above),
                 "the overlay is directly below " + win.get_wm_name(), timeout)

    def activate(self, win):
        if self.c.active_window() == 0:
            # The property was cleared behind the window manager's back; let it see a change
            # of focus.
            other = self.normal if win is not self.normal else self.floating
            self.c.activate(other)
            wait_for(lambda: self.c.active_window() == other.id, "focus moved")
        self.c.activate(win)
        wait_for(lambda: self.c.active_window() == win.id, "the window is active")

    def inside(self, win, x, y):
        """A point of the window in root coordinates, wherever the window manager put it."""
        origin = win.translate_coords(self.c.root, 0, 0)
        return -origin.x + x, -origin.y + y

    def wait_covered(self, points, what):
        """Until the effect lies over each point (x, y, its own colour, covered) or not."""
        # A compositor on llvmpipe may take seconds for a frame on a loaded machine.
        try:
            wait_for(lambda: all((self.c.pixel(x, y) != colour) == want
                                 for x, y, colour, want in points), what, timeout=3 * SETTLE)
        except AssertionError as error:
            seen = ["%06x at %d,%d" % (self.c.pixel(x, y), x, y) for x, y, *_ in points]
            raise AssertionError(str(error) + "; pixels " + ", ".join(seen)) from None

    def test_1_below_every_normal_window_and_above_the_desktop_and_the_below_layer(self):
        self.activate(self.normal)
        self.wait_directly_below(self.normal, then_above=self.below)
        # What is seen: the desktop under the effect, the active window clear of it. kwin_x11
        # restacks its own windows once more after an activation, which pushes the overlay below
        # them until it is restacked: so the order is seen again once the pixels show.
        self.wait_covered([(*self.inside(self.normal, 200, 200), NORMAL, False),
                           (50, 800, DESKTOP, True)],
                          "the effect covers the desktop and not the active window")
        self.assertTrue(self.placed_below(self.normal, then_above=self.below))
        # The window manager raises a window of the below layer within its layer only.
        self.activate(self.below)
        time.sleep(0.3)
        self.wait_directly_below(self.normal, then_above=self.below)

    def test_2_pulled_up_below_the_front_applications_floating_window_and_back(self):
        self.activate(self.floating)
        self.wait_directly_below(self.floating, then_above=self.normal)
        # kwin_x11's OpenGL compositing paints an override-redirect overlay over every
        # managed window whatever the X order, so this pins that the overlay is managed there.
        self.wait_covered([(*self.inside(self.normal, 200, 200), NORMAL, True),
                           (*self.inside(self.floating, 150, 100), FLOATING, False)],
                          "the effect covers the normal window and not the floating one")
        # Clicks still go through to the window the overlay now covers.
        self.c.drain_events()
        x, y = self.inside(self.normal, 200, 350)
        self.desk.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        self.assertTrue(self.c.wait_for_event(X.ButtonPress, self.normal))
        self.activate(self.normal)
        self.wait_directly_below(self.normal, then_above=self.below)

    def test_3_no_active_window_means_the_normal_level_unless_for_an_instant(self):
        self.activate(self.floating)
        self.wait_directly_below(self.floating)
        self.c.set_active_window_property(0)
        self.wait_directly_below(self.normal, then_above=self.below)
        # Some window managers write more than one value; the first of them counts.
        self.c.set_active_window_property(self.floating.id, 0)
        self.wait_directly_below(self.floating)
        # An instant without an active window, shorter than the grace period, moves nothing.
        time.sleep(0.2)
        self.c.set_active_window_property(0)
        time.sleep(0.02)  # long enough to be seen
        self.c.set_active_window_property(self.floating.id)
        deadline = time.monotonic() + 0.4
        while time.monotonic() < deadline:
            self.assertTrue(self.placed_below(self.floating))
            time.sleep(0.01)

    def test_4_a_stack_that_changes_before_the_active_window_ends_in_the_right_place(self):
        for _ in range(20):
            # The last round wrote the active window behind the window manager's back.
            self.c.activate(self.normal)
            time.sleep(0.1)
            self.activate(self.floating)
            self.wait_directly_below(self.floating)
            time.sleep(0.15)
            self.c.raise_window(self.normal)
            time.sleep(0.015)
            self.c.set_active_window_property(self.normal.id)
            self.wait_directly_below(self.normal, then_above=self.below, timeout=0.2)
            # And it stays there: the tick leaves nothing stale.
            time.sleep(0.3)
            self.assertTrue(self.placed_below(self.normal, then_above=self.below))

    def test_5_super_b_toggles_the_key_still_arrives_and_an_idle_desktop_costs_no_restack(self):
        self.activate(self.normal)
        self.wait_directly_below(self.normal)
        self.desk.run(["xdotool", "key", "super+b"])
        self.assertEqual(self.app.read_lines(1, timeout=2.0), ["Toggled effect: false"])
        # Nothing is grabbed: the active window got the key too. Other window managers may
        # keep Super for themselves.
        if WM == "openbox":
            b_code = self.c.d.keysym_to_keycode(XK.string_to_keysym("b"))
            self.assertTrue(self.c.wait_for_event(X.KeyPress, self.normal, detail=b_code))
        self.desk.run(["xdotool", "key", "super+b"])
        self.assertEqual(self.app.read_lines(1, timeout=2.0), ["Toggled effect: true"])
        time.sleep(1.0)
        restacks = self.c.count_configure_notify(self.c.frame_of(self.overlay), 2.0)
        self.assertEqual(restacks, 0)
        self.assertIsNone(self.app.process.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
