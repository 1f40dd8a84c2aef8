"""Quillmere on a private GNOME Shell with two monitors: its launch lines, the dim over the
wallpaper of both, the frontmost application's window left exact; the blur over the wallpaper
(squares of 100 px in two colours) a smooth ramp across its sharp edges, also right beside a
window (no sharp halo around it), fading with the overlays; and a keep-above window of the
frontmost application pulling the overlays up over another application's window, dimmed,
pixellated and blurred. The top-bar button is Quillmere's one icon: it serves no
StatusNotifierItem."""

import os
import time

from scenario import (GREEN, KEY_B, RED, SUPER, GnomeCase, close_to, main, moved, steepest,
                      wait_for)
from desktop.gnome import picture


def row_steepness(shell, xs, y):
    """steepest() along one row, from a screenshot of that row alone: quick enough to see a
    fade halfway."""
    path = os.path.join(shell.env["XDG_RUNTIME_DIR"], "row.png")
    status, out = shell.gdbus("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                              "org.gnome.Shell.Screenshot.ScreenshotArea", str(xs[0]), str(y),
                              str(len(xs)), "1", "false", path)
    if status != 0 or "true" not in out:
        raise AssertionError("the screenshot of a row failed: " + out)
    return steepest(picture(path), range(len(xs)), 0)


class LaunchTest(GnomeCase):
    def test_dim_and_blur_on_both_monitors_leave_the_frontmost_window_exact(self):
        shell = self.start()
        # The window's right edge lies 40 px left of the wallpaper's edge at x = 700.
        shell.open_window("front", RED, (360, 250, 300, 200))
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        inside = {(x, y): RED for x in (360, 659) for y in (250, 449)}
        self.wait_for_pixels({**self.dim_of(before), **inside}, "the dim beside the window")
        # No StatusNotifierItem: it would take its bus name whether a tray host runs or not.
        names = shell.dbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.ListNames")
        self.assertIn("org.quillmere.Quillmere", names)
        self.assertNotIn("org.kde.StatusNotifierItem", names)

        edge, beside = range(770, 831), range(662, 740)
        self.assertGreater(steepest(before, edge, 450), 100)
        self.assertGreater(steepest(before, beside, 350), 100)
        self.choose("Blur")
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

    def test_keep_above_window_of_the_frontmost_application_pulls_the_overlays_up(self):
        shell = self.start()
        third = shell.open_window("third", GREEN, (1700, 100, 200, 200))
        shell.open_window("other", GREEN, (200, 200, 400, 300))
        front = shell.open_window("front", RED, (1000, 200, 300, 300))
        before = shell.screenshot()
        self.launch()
        self.choose("Dim")
        shell.eval("quillmereTest.each({}, 'make_above')".format(front.pid))
        shell.eval("quillmereTest.each({}, 'activate', global.get_current_time())".format(
            front.pid))
        wait_for(lambda: shell.windows()[0]["above"], "the keep-above window in front")
        self.wait_for_pixels({**self.dim_of(before, [(400, 350), (210, 210), (40, 500)]),
                              (1100, 350): RED}, "the other window dimmed")
        # Raising a window beneath restacks in Mutter, which leaves foreign actors on top of
        # every window: the overlays go back beneath the keep-above window.
        shell.eval("quillmereTest.each({}, 'raise')".format(third.pid))
        wait_for(lambda: shell.windows()[1]["pid"] == third.pid, "the third window raised")
        self.wait_for_pixels({**self.dim_of(before, [(400, 350)]), (1100, 350): RED},
                             "the keep-above window exact after a restack beneath")
        # Pixellated too, in squares of 0.7 * 60 px on the grid through each monitor's centre:
        # one colour in the square across the other window's left edge (x = 200, between the
        # lines at 170 and 212), another in those across the edges of the second monitor's
        # wallpaper (its squares 80 px: x = 1680 between the lines at 1652 and 1694, y = 160
        # between those at 150 and 192).
        self.assertFalse(close_to(before(1654, 130), before(1692, 130)))
        self.assertFalse(close_to(before(1654, 152), before(1654, 190)))
        self.choose("Pixelate")
        self.settle(lambda p: (p(172, 260), p(208, 260), p(1654, 130), p(1692, 130),
                               p(1100, 350), p(1654, 152), p(1654, 190)),
                    lambda m: close_to(m[0], m[1]) and close_to(m[2], m[3]) and
                    close_to(m[5], m[6]) and not close_to(m[0], m[2]) and m[4] == RED,
                    "one colour across each edge, another on each monitor, the keep-above "
                    "window exact")
        # Blurred too: the other window's sharp left edge on the wallpaper becomes a ramp.
        edge = range(185, 216)
        self.assertGreater(steepest(before, edge, 260), 150)
        self.choose("Blur")
        self.settle(lambda p: (steepest(p, edge, 260), moved(p, before, 203, 260),
                               p(1100, 350)),
                    lambda m: m[0] <= 100 and m[1] >= 10 and m[2] == RED,
                    "a ramp across the other window's edge (steepest, moved inside), the "
                    "keep-above window exact")
        # Back to a normal window: the overlays go down beneath every normal window again.
        shell.eval("quillmereTest.each({}, 'unmake_above')".format(front.pid))
        self.choose("Dim")
        self.wait_for_pixels({(400, 350): GREEN, (1100, 350): RED}, "the overlays down again")


if __name__ == "__main__":
    main()
