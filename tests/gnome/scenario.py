"""What the GNOME scenarios share: a private shell, windows of other applications, Quillmere
launched on it, its top-bar menu driven through the shell, and the pixels compared with a
screenshot taken before the overlays came."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, Quillmere  # noqa: E402,F401
from desktop.gnome import UUID, GnomeSession  # noqa: E402,F401
from desktop.session import start_for, wait_for  # noqa: E402,F401

DIM_ALPHA = 0.7 * 0.9  # the dim at the default intensity
SUPER, KEY_B = 0xFFEB, 0x62
RED, GREEN = (230, 20, 20), (20, 200, 60)
# Points of the wallpaper on each monitor, clear of the top bar and of the scenarios' windows.
WALLPAPER_POINTS = [(x, y) for x in (40, 760, 1560, 1640, 2200, 2860) for y in (120, 500, 700)]


def close_to(actual, expected, tolerance=2):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def steepest(picture, xs, y):
    """The largest change between neighbouring pixels along the row, over all channels."""
    return max(max(abs(a - b) for a, b in zip(picture(x, y), picture(x + 1, y)))
               for x in xs[:-1])


def moved(picture, before, x, y):
    return max(abs(a - b) for a, b in zip(picture(x, y), before(x, y)))


class GnomeCase(unittest.TestCase):
    monitors = 2

    def start(self, **options):
        self.shell = start_for(self, GnomeSession(monitors=self.monitors, **options))
        return self.shell

    def launch(self):
        """Quillmere on the shell, once its launch lines are out and its menu is up."""
        self.app = Quillmere(self.shell, ["--backend=gnome"])
        self.addCleanup(self.app.stop)
        self.app.wait_for_lines(LAUNCH_LINES, "the launch on GNOME")
        wait_for(self.rows, "Quillmere's top-bar menu")
        return self.app

    def rows(self):
        return self.shell.eval("quillmereTest.menuRows('quillmere')")

    def choose(self, title):
        index = [row.get("title", "").strip() for row in self.rows()].index(title)
        self.shell.eval("quillmereTest.choose('quillmere', {})".format(index))

    def slide(self, value):
        index = [row["kind"] for row in self.rows()].index("slider")
        self.shell.eval("quillmereTest.slide('quillmere', {}, {})".format(index, value))

    def settle(self, measure, accept, what, timeout=10):
        """measure(screenshot) once accept() takes it; the last measure in the failure."""
        last = []

        def check():
            last[:] = [measure(self.shell.screenshot())]
            return accept(last[0])

        try:
            wait_for(check, what, timeout, interval=0.2)
        except AssertionError:
            raise AssertionError("{}: last saw {}".format(what, last)) from None
        return last[0]

    def wait_for_pixels(self, expected, what, timeout=10):
        """Until every (x, y) of `expected` shows its colour within 2 levels; in the failure,
        the misses as (point, seen, expected)."""
        self.settle(lambda picture: [(point, picture(*point), colour)
                                     for point, colour in expected.items()
                                     if not close_to(picture(*point), colour)][:6],
                    lambda misses: not misses, what, timeout)

    def dim_of(self, before, points=WALLPAPER_POINTS, alpha=DIM_ALPHA):
        return {p: tuple(round(c * (1.0 - alpha)) for c in before(*p)) for p in points}


def main():
    """unittest's main, but status 77 (CTest's skip) when no private shell could start."""
    result = unittest.main(module="__main__", exit=False).result
    if result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)
