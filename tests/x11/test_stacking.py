#!/usr/bin/python3
"""Where the overlays stand in the real stacking order under openbox, as applications come
and go to the front."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillmere_process import LAUNCH_LINES, Quillmere  # noqa: E402
from xclient import XClient  # noqa: E402
from xdesktop import XDesktop  # noqa: E402


COMPOSITOR = os.environ.get("QUILLMERE_TEST_COMPOSITOR") == "1"


class Stacking(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when this set-up fails half-way, so no desktop is left behind.
        cls.desk = XDesktop(wm=True, compositor=COMPOSITOR).__enter__()
        cls.addClassCleanup(cls.desk.close)
        cls.app = Quillmere(cls.desk)
        cls.addClassCleanup(cls.app.stop)
        assert cls.app.read_lines(len(LAUNCH_LINES)) == LAUNCH_LINES
        cls.c = XClient(cls.desk.display)
        cls.addClassCleanup(cls.c.close)
        cls.c.wait_until(lambda: cls.c.overlays(), "the overlay exists")
        cls.overlay = cls.c.overlays()[0]
        c = cls.c
        cls.desktop = c.window(pid=1000, types=["DESKTOP"], x=0, y=0, w=1280, h=800,
                               name="desktop")
        cls.below = c.window(pid=3333, states=["BELOW"], name="below")
        cls.normal = c.window(pid=1111, name="normal")
        cls.floating = c.window(pid=2222, states=["ABOVE"], name="floating")
        cls.windows = [cls.desktop, cls.below, cls.normal, cls.floating]
        # Generous: openbox is slow to start on a loaded machine, and that is not what is tested.
        c.wait_until(lambda: all(c.frame_of(w) != w.id for w in cls.windows[1:]),
                     "openbox manages every window", timeout=20.0)

    def counted_frames(self):
        return {self.c.frame_of(w) for w in self.windows}

    def next_counted_above_overlay(self):
        order = self.c.stacking()
        counted = self.counted_frames()
        position = order.index(self.overlay)
        above = [w for w in order[position + 1:] if w in counted]
        below = [w for w in order[:position] if w in counted]
        return (above[0] if above else None), (below[-1] if below else None)

    def wait_directly_below(self, win, then_above=None):
        frame = self.c.frame_of(win)
        lower = self.c.frame_of(then_above) if then_above is not None else None

        def placed():
            above, below = self.next_counted_above_overlay()
            return above == frame and (lower is None or below == lower)
        self.c.wait_until(placed, "the overlay is directly below " + win.get_wm_name())

    def activate(self, win):
        if self.c.active_window() == 0:
            # The property was cleared behind openbox's back; let it see a change of focus.
            other = self.normal if win is not self.normal else self.floating
            self.c.activate(other)
            self.c.wait_until(lambda: self.c.active_window() == other.id, "focus moved")
        self.c.activate(win)
        self.c.wait_until(lambda: self.c.active_window() == win.id, "the window is active")

    def test_1_below_every_normal_window_and_above_the_desktop(self):
        self.activate(self.normal)
        self.wait_directly_below(self.normal, then_above=self.below)
        order = self.c.stacking()
        self.assertGreater(order.index(self.overlay), order.index(self.c.frame_of(self.desktop)))

    def test_2_pulled_up_below_the_front_applications_floating_window_and_back(self):
        self.activate(self.floating)
        self.wait_directly_below(self.floating, then_above=self.normal)
        self.activate(self.normal)
        self.wait_directly_below(self.normal, then_above=self.below)

    def test_3_back_to_the_normal_level_when_no_window_is_active(self):
        self.activate(self.floating)
        self.wait_directly_below(self.floating)
        self.c.set_active_window_property(0)
        self.wait_directly_below(self.normal, then_above=self.below)

    def test_4_an_instant_without_active_window_moves_nothing(self):
        self.activate(self.floating)
        self.wait_directly_below(self.floating)
        time.sleep(0.2)
        self.c.set_active_window_property(0)
        time.sleep(0.02)  # long enough to be seen, shorter than the grace period
        self.c.set_active_window_property(self.floating.id)
        frame = self.c.frame_of(self.floating)
        deadline = time.monotonic() + 0.4
        while time.monotonic() < deadline:
            self.assertEqual(self.next_counted_above_overlay()[0], frame)
            time.sleep(0.01)

    def test_5_kept_when_the_window_manager_raises_a_below_layer_window(self):
        self.activate(self.normal)
        self.wait_directly_below(self.normal, then_above=self.below)
        self.activate(self.below)  # openbox raises it within its own layer
        self.wait_directly_below(self.normal, then_above=self.below)
        time.sleep(0.3)
        self.wait_directly_below(self.normal, then_above=self.below)

    def test_6_still_running(self):
        self.assertIsNone(self.app.process.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
