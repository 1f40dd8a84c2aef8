"""Blur and pixelate on private headless sways, made from a capture of each output: the pixels
over a wallpaper with a hard edge and over a ramp at scales 1 and 2, what is left when a window
goes, and when captures are taken (an output unplugged while it is captured: test_capture.py)."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Driver, close_to, open_window  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402
from test_overlays import wait_for_pixel  # noqa: E402

LEFT, RIGHT = (0x30, 0x60, 0xC0), (0xE0, 0xA0, 0x20)
GREEN = (0x20, 0xC0, 0x40)


def expected_over(driver, colour):
    return tuple(int(level) for level in driver.answer("expect {} {} {}".format(*colour)))


def faded_in(driver):
    wait_for(lambda: set(driver.model()[2]) == {1.0}, "the fade-in")


def captures(driver):
    return int(driver.state()["captures"])


class BlurTest(unittest.TestCase):
    def wait_for_pixel(self, session, output, x, y, expected, what, tolerance=3):
        wait_for_pixel(self, session, output, x, y, expected, what, tolerance=tolerance)

    def test_blur_over_a_hard_edge_then_squares_over_a_ramp_at_scales_1_and_2(self):
        # A ramp above row 240 and a hard edge below it, on HEADLESS-1 at scale 1 and HEADLESS-2
        # at scale 2, both 640x480 pixels, showing the picture pixel for pixel. The squares of
        # row 200 (42 points a side, a grid through the centre) stay above the edge.
        pictures = tempfile.mkdtemp(prefix="quillmere-wallpaper-")
        self.addCleanup(shutil.rmtree, pictures, True)
        wallpaper = os.path.join(pictures, "wallpaper.png")
        subprocess.run(
            ["convert", "(", "-size", "240x640", "gradient:#000000-#ffffff", "-rotate", "90", ")",
             "(", "-size", "320x240", "xc:#{:02x}{:02x}{:02x}".format(*LEFT), "-size", "320x240",
             "xc:#{:02x}{:02x}{:02x}".format(*RIGHT), "+append", ")", "-append", wallpaper],
            check=True)
        # sway's clients may run as another user.
        os.chmod(pictures, 0o755)
        os.chmod(wallpaper, 0o644)
        session = start_for(self, SwaySession(["output * bg {} fill".format(wallpaper)]))
        session.add_output(scale=2)
        driver = Driver(session)
        faded_in(driver)
        left, right = expected_over(driver, LEFT), expected_over(driver, RIGHT)
        self.assertFalse(close_to(left, LEFT, 3), "the blur's tint must show")
        for output in ("HEADLESS-1", "HEADLESS-2"):
            self.wait_for_pixel(session, output, 40, 400, left, "the blur left of the edge")
            self.wait_for_pixel(session, output, -40, 400, right, "the blur right of the edge")
            # Across the edge the blur mixes both sides, a little more of the right at each
            # step; a picture of the tint alone, or of the edge unblurred, is a hard step.
            at = session.screenshot(output)[2]
            row = [at(x, 400)[0] for x in range(300, 341, 4)]
            self.assertEqual(row, sorted(row), "{}: {}".format(output, row))
            between = [red for red in row if left[0] + 3 < red < right[0] - 3]
            self.assertGreaterEqual(len(between), 6, "{}: {}".format(output, row))

        driver.answer("mode Pixelate")
        for output in ("HEADLESS-1", "HEADLESS-2"):
            def edges():
                at = session.screenshot(output)[2]
                row = [at(x, 200) for x in range(640)]
                return [x for x in range(1, 640) if row[x] != row[x - 1]]

            def widths():
                found = edges()
                return {b - a for a, b in zip(found, found[1:])}
            # The ramp itself changes every 2 or 3 pixels; the squares are wider, all alike.
            try:
                wait_for(lambda: len(widths()) == 1 and min(widths()) > 4, "squares", timeout=5)
            except AssertionError:
                self.fail("{}: runs of widths {}".format(output, sorted(widths())))
            found = edges()
            side = found[1] - found[0]
            self.assertEqual((320 - found[0]) % side, 0,
                             "{}: the grid misses the centre: edges {}".format(output, found))
        self.assertIsNone(driver.process.poll())

    def test_no_ghost_of_the_overlay_or_of_a_window_moved_closed_or_on_another_workspace(self):
        session = start_for(self, SwaySession(['for_window [title="mover"] floating enable, '
                                               'resize set 200 150, move position 20 20']))
        driver = Driver(session)
        faded_in(driver)
        wallpaper = expected_over(driver, WALLPAPER)
        # A workspace switch asks for a capture at once and one more 300 ms later; toggled off
        # and on in between, the overlay fades in again while that one is taken. Shown again by
        # the fade's steps before it is copied, it would be in it: the blur of its own tint.
        for _ in range(3):
            session.swaymsg("workspace", "2")
            session.swaymsg("workspace", "1")
            time.sleep(0.2)
            driver.send("toggle")
            time.sleep(0.1)
            driver.send("toggle")
            self.wait_for_pixel(session, "HEADLESS-1", 320, 240, wallpaper,
                                "the blur of the wallpaper alone", tolerance=2)

        def stir():
            window = open_window(session, "stir", (0x12, 0x34, 0x56))
            session.swaymsg("workspace", "2")
            session.swaymsg("workspace", "1")
            window.terminate()
            wait_for(lambda: window.pid not in session.pids(), "the window gone")
            time.sleep(0.6)  # past the settling time and the interval between captures

        time.sleep(0.6)  # the capture still due after the last switch
        driver.answer("mode Dim")
        before = captures(driver)
        stir()
        self.assertEqual(captures(driver), before, "captured in dim")

        driver.answer("mode Blur")
        wait_for(lambda: captures(driver) > before, "a capture for the blur")
        stir()
        driver.send("toggle")
        time.sleep(1.0)  # the fade-out
        before = captures(driver)
        stir()
        self.assertEqual(captures(driver), before, "captured while the effect was off")

        driver.send("toggle")
        wait_for(lambda: captures(driver) > before, "a capture for the fade-in")

        # A window moved without an event, closed or on another workspace leaves no ghost.
        faded_in(driver)
        window = open_window(session, "mover", GREEN)
        # A new window is drawn a little after sway announces it; a later capture takes it in.
        wait_for(lambda: session.pixel("HEADLESS-1", 60 + 200 + 6, 130)[1] > wallpaper[1] + 2,
                 "the new window's colour in the blur beside it")
        # Moved by a command that sway announces by no event, as a drag by the pointer is.
        session.swaymsg('[title="mover"]', "move", "position", "360", "280")
        self.wait_for_pixel(session, "HEADLESS-1", 60 + 200 + 6, 130, wallpaper,
                            "the blur where the window was", tolerance=2)
        # The same 340, 260 points further: beside it and in it once it is closed.
        wait_for(lambda: session.pixel("HEADLESS-1", 606, 390)[1] > wallpaper[1] + 2,
                 "the moved window's colour in the blur beside it")
        window.terminate()
        self.wait_for_pixel(session, "HEADLESS-1", 500, 390, wallpaper,
                            "the blur where the closed window was", tolerance=2)
        self.wait_for_pixel(session, "HEADLESS-1", 606, 390, wallpaper, "the halo gone", 2)

        open_window(session, "green", GREEN)
        wait_for(lambda: session.pixel("HEADLESS-1", 30, 240)[1] > wallpaper[1] + 2,
                 "the tiled window's colour in the blur beside it")
        session.swaymsg("workspace", "2")
        self.wait_for_pixel(session, "HEADLESS-1", 320, 240, wallpaper,
                            "the blur on an empty workspace", tolerance=2)


if __name__ == "__main__":
    unittest.main()
