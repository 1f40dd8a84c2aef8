"""The blur over the session's wallpaper (squares of 100 px in two colours): it turns a sharp
edge into a smooth ramp, also right beside a window (no sharp halo around it), and fades with
the overlays. The pixellate's squares are pinned in test_launch.py."""

import os
import time

from scenario import KEY_B, RED, SUPER, GnomeCase, main, moved, steepest
from desktop.gnome import Picture


def row_steepness(shell, xs, y):
    """steepest() along one row, from a screenshot of that row alone: quick enough to see a
    fade halfway."""
    path = os.path.join(shell.env["XDG_RUNTIME_DIR"], "row.png")
    status, out = shell.gdbus("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                              "org.gnome.Shell.Screenshot.ScreenshotArea", str(xs[0]), str(y),
                              str(len(xs)), "1", "false", path)
    if status != 0 or "true" not in out:
        raise AssertionError("the screenshot of a row failed: " + out)
    return steepest(Picture(path), range(len(xs)), 0)


class EffectsTest(GnomeCase):
    def test_blur_ramps_across_sharp_edges_also_beside_a_window(self):
        shell = self.start()
        # The window's right edge lies 40 px left of the wallpaper's edge at x = 700.
        self.window("front", RED, (360, 250, 300, 200))
        before = shell.screenshot()
        edge, beside = range(770, 831), range(662, 740)
        self.assertGreater(steepest(before, edge, 450), 100)
        self.assertGreater(steepest(before, beside, 350), 100)
        self.launch()  # blur is the effect at launch

        # A blur with weight w leaves (1 - w) of the sharp step: the blur shows where pixels
        # 10 px off the edge have moved, and a halo where it is steeper beside the window.
        found = self.settle(lambda p: (steepest(p, edge, 450), steepest(p, beside, 350),
                                       moved(p, before, 790, 450), moved(p, before, 690, 350),
                                       p(500, 350)),
                            lambda m: m[0] <= 100 and m[1] <= m[0] + 10 and min(m[2:4]) >= 10 and
                            m[4] == RED, "a smooth ramp across the wallpaper's edges "
                            "(steepest, steepest beside the window, moved off the edges, the "
                            "window)")

        # Each step of the toggle's fade reaches the blur: halfway, the edge is softer than
        # the sharp one and steeper than the blurred one (a blur that ignored the fade would
        # stay whole and then vanish at once).
        blurred, sharp = found[0], steepest(before, edge, 450)

        def halfway_seen():
            end = time.monotonic() + 0.8
            while time.monotonic() < end:
                if blurred + 15 < row_steepness(shell, edge, 450) < sharp - 15:
                    return True
            return False

        for _ in range(6):  # a toggle each time, until a row shot falls within the fade
            shell.eval(", ".join("quillmereTest.key({}, {})".format(*step) for step in (
                (SUPER, "true"), (KEY_B, "true"), (KEY_B, "false"), (SUPER, "false"))))
            if halfway_seen():
                break
        else:
            self.fail("no step of the fade between {} and {}".format(blurred, sharp))


if __name__ == "__main__":
    main()
