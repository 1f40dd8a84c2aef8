"""Quillmere's status item and menu on private headless sways: the stand-in panel while no tray
host runs, the menu drawn in a layer surface of ours and driven with a virtual pointer and
wtype, the tray item that waybar shows, and no picture of the panel or the menu left in the
blur once they are gone."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import Driver, close_to, open_window  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import SwaySession  # noqa: E402
from test_blur import captures  # noqa: E402

PANEL_SIZE = 24
PANEL_BACKGROUND = (0x2A, 0x2A, 0x2E)
# wtype makes its virtual keyboard, then waits this long, so that Quillmere has asked the seat
# for the keyboard that now exists before the first key comes.
KEYBOARD_SETTLE_MS = "800"


def menu_is_shown(session, origin, size, output="HEADLESS-1"):
    """Whether the menu's light background shows at its left edge, between the rows."""
    pixel = session.screenshot(output)[2](origin[0] + 3, origin[1] + size[1] // 2)
    return min(pixel) > 150


def picture(session, box, step, output="HEADLESS-1"):
    """The output's pixels on a grid of the step over the box (left, top, right, bottom)."""
    at = session.screenshot(output)[2]
    return [at(x, y) for y in range(box[1], box[3], step) for x in range(box[0], box[2], step)]


def differing(taken, reference):
    return sum(not close_to(a, b, 3) for a, b in zip(taken, reference))


def centre(rect, origin):
    return origin[0] + rect[0] + rect[2] // 2, origin[1] + rect[1] + rect[3] // 2


def open_menu(session, driver, click, origin_of_size, attempts=1, output="HEADLESS-1",
              timeout=4):
    """Clicks until the menu shows; gives its origin on the output, its size and its rows."""
    for attempt in range(attempts):
        session.pointer_click(*click)
        # The menu's size, and its rows by title and the slider as (x, y, width, height) in it.
        parts = driver.ask("menu", "driver: menu ")[len("driver: menu "):].split(" | ")
        size = tuple(int(value) for value in parts[0].split(","))
        rects = dict(part.rsplit(" ", 1) for part in parts[1:])
        rows = {title: tuple(int(v) for v in rect.split(",")) for title, rect in rects.items()}
        origin = origin_of_size(size)
        try:
            wait_for(lambda: menu_is_shown(session, origin, size, output), "the menu", timeout)
            return origin, size, rows
        except AssertionError:
            if attempt + 1 == attempts:
                raise


def open_from_panel(session, driver, width, output="HEADLESS-1", timeout=4):
    # Below the panel, pushed left so that it stays on the output.
    return open_menu(session, driver, (width - PANEL_SIZE // 2, PANEL_SIZE // 2),
                     lambda size: (width - size[0], PANEL_SIZE), output=output, timeout=timeout)


def drive_the_panels_menu(test, session, driver, keys, output="HEADLESS-1", timeout=4):
    """Clicks and keys in the menu of the stand-in panel, shown in Blur: ends in Pixelate.
    keys(*names) presses and releases the keys named (Escape, Down, Return) in turn."""
    width, height, _ = session.screenshot(output)
    # A click on a heading does nothing; a click on Dim chooses it and closes the menu.
    origin, size, rows = open_from_panel(session, driver, width, output, timeout)
    session.pointer_click(*centre(rows["Effect Intensity"], origin))
    session.pointer_click(*centre(rows["Dim"], origin))
    wait_for(lambda: driver.model()[0] == "Dim", "Dim chosen")
    wait_for(lambda: not menu_is_shown(session, origin, size, output), "the menu gone")

    # A click outside closes the menu and chooses nothing.
    open_from_panel(session, driver, width, output, timeout)
    session.pointer_click(5, height - 5)
    wait_for(lambda: not menu_is_shown(session, origin, size, output), "the menu gone")
    session.pointer_click(*centre(rows["Blur"], origin))
    time.sleep(0.3)
    test.assertEqual(driver.model()[0], "Dim", "a click after the menu closed chose Blur")

    # Escape closes; the arrow keys and Return choose.
    open_from_panel(session, driver, width, output, timeout)
    keys("Escape")
    wait_for(lambda: not menu_is_shown(session, origin, size, output), "the menu gone")
    open_from_panel(session, driver, width, output, timeout)
    keys("Down", "Down", "Return")
    wait_for(lambda: driver.model()[0] == "Pixelate", "Pixelate chosen with the keys")


class MenuTest(unittest.TestCase):
    def keys(self, session, *argv):
        result = session.run(["wtype", "-s", KEYBOARD_SETTLE_MS] + list(argv))
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_panel_menu_leaves_no_capture_clicks_keys_slider_ends_super_b_super_q(self):
        session = start_for(self, SwaySession(pointer=True))
        width, height, _ = session.screenshot("HEADLESS-1")
        # The cursor is in every capture: it stays where the clicks outside the menu will be.
        session.pointer("move", 5, height - 5)
        driver = Driver(session)
        wait_for(lambda: session.screenshot("HEADLESS-1")[2](width - 1, 0) == PANEL_BACKGROUND,
                 "the stand-in panel at the top-right")
        wait_for(lambda: driver.model()[2] == [1.0], "the fade-in")

        # A capture while the menu is open leaves no picture of it once closed.
        time.sleep(0.5)  # the captures of the launch and of the panel
        whole = (0, 0, width, height)
        before = picture(session, whole, 4)
        open_from_panel(session, driver, width)
        count = captures(driver)
        session.swaymsg("workspace", "2")
        session.swaymsg("workspace", "1")
        wait_for(lambda: captures(driver) > count + 1, "the captures of the workspace switch")
        session.pointer_click(5, height - 5)
        try:
            wait_for(lambda: differing(picture(session, whole, 4), before) == 0,
                     "the blur without the menu", timeout=1)
        except AssertionError:
            self.fail("{} of {} pixels differ".format(
                differing(picture(session, whole, 4), before), len(before)))

        origin, size, rows = open_from_panel(session, driver, width)
        # The slider's knob dragged past either end stops at exactly 1.0 and 0.1.
        slider = rows["slider"]
        knob = (origin[0] + slider[0] + round(slider[2] * (0.7 - 0.1) / 0.9),
                centre(slider, origin)[1])
        session.pointer("drag", *knob, width - 1, knob[1], 8)
        wait_for(lambda: driver.model()[1] == 1.0, "the intensity at 1.0")
        session.pointer("drag", origin[0] + slider[0] + slider[2] - 4, knob[1], origin[0], knob[1],
                        8)
        wait_for(lambda: driver.model()[1] == 0.1, "the intensity at 0.1")
        self.assertEqual(driver.model()[0], "Blur")
        session.pointer_click(5, height - 5)
        wait_for(lambda: not menu_is_shown(session, origin, size), "the menu gone")

        drive_the_panels_menu(self, session, driver, lambda *names: self.keys(
            session, *[word for name in names for word in ("-k", name)]))
        # Super+B in the open menu toggles once; Super+Q quits.
        open_from_panel(session, driver, width)
        self.keys(session, "-M", "logo", "b", "-m", "logo")
        wait_for(lambda: driver.model()[2] == [0.0], "the fade-out after one toggle")
        self.keys(session, "-M", "logo", "q", "-m", "logo")
        self.assertEqual(driver.process.wait(timeout=10), 0)

    def test_the_panel_gone_to_a_tray_leaves_no_picture_and_each_tray_opens_the_menu(self):
        session = start_for(self, SwaySession(pointer=True, bus=True))
        session.add_output()
        driver = Driver(session)
        width = session.screenshot("HEADLESS-1")[0]
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in")
        wait_for(lambda: session.screenshot("HEADLESS-1")[2](width - 1, 0) == PANEL_BACKGROUND,
                 "the stand-in panel")
        # A window on the second output is captured with both outputs, the panel in the first's.
        before = captures(driver)
        session.swaymsg("focus", "output", "HEADLESS-2")
        open_window(session, "other", (0x20, 0xC0, 0x40))
        wait_for(lambda: captures(driver) > before + 3, "the window's captures")
        # The tray, on the second output alone and taking no room from windows, takes the icon.
        session.start_bar(output="HEADLESS-2", exclusive=False)
        wait_for(lambda: session.screenshot("HEADLESS-1")[2](width - 1, 0) != PANEL_BACKGROUND,
                 "the panel gone")
        time.sleep(1)
        corner = (width - 96, 0, width, 96)
        left = picture(session, corner, 2)

        # Launched again on the same desktop, with the tray there from the start.
        driver.process.terminate()
        self.assertEqual(driver.process.wait(timeout=10), 0)
        driver = Driver(session)
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in again")
        time.sleep(0.5)
        self.assertEqual(differing(left, picture(session, corner, 2)), 0,
                         "pixels of the corner that differ from a launch with the tray there")

        # waybar's tray is at the right end of its 24-point bar; the menu opens below the bar at
        # the right edge of the output whose tray was clicked.
        session.start_bar(output="HEADLESS-1")
        session.pointer("move", 640 + width // 2, 240)  # sway's focus follows the pointer
        open_menu(session, driver, (640 + width - 12, 12),
                  lambda size: (width - size[0], 24), attempts=3, output="HEADLESS-2")
        self.keys(session, "-k", "Escape")
        session.pointer("move", width // 2, 240)
        origin, _, rows = open_menu(session, driver, (width - 12, 12),
                                    lambda size: (width - size[0], 24), attempts=3)
        session.pointer_click(*centre(rows["Dim"], origin))
        wait_for(lambda: driver.model()[0] == "Dim", "Dim chosen from waybar's tray")


if __name__ == "__main__":
    unittest.main(verbosity=2)
