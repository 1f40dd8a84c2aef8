"""The status item on a private desktop: the icon in a tray host or the stand-in panel, the menu
it opens, and what choosing in that menu sends."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (SCREEN_SIZE, Desktop, Harness, TimedOut, ancestors, pixels,  # noqa: E402
                     wait_until, window_geometry)
from menu_rows import read_menu, row_titled  # noqa: E402

HARNESS = os.environ["SHELL_HARNESS"]
ARTIFACTS = os.environ.get("SHELL_TEST_ARTIFACTS", "/tmp/quillmere-shell-artifacts")

# Each row as Qt holds it: a single '&' would be a mnemonic, so the heading's is doubled, and the
# key equivalent sits after a tab in the shortcut column.
EXPECTED_ROWS = [
    ("item", "Shortcuts && Gestures", False, False),
    ("item", "  Shake mouse to toggle", False, False),
    ("item", "  \u2318 + B : Quick Toggle", False, False),
    ("item", "  \u2318 + Q : Quit App", False, False),
    ("separator",),
    ("item", "Blur", True, True),
    ("item", "Pixelate", False, True),
    ("item", "Dim", False, True),
    ("separator",),
    ("item", "Effect Intensity", False, False),
    ("slider",),
    ("separator",),
    ("item", "Toggle Quillmere\tSuper+B", False, True),
    ("item", "Quit\tSuper+Q", False, True),
]


def harness_windows(desktop):
    out = desktop.x("xdotool", "search", "--onlyvisible", "--pid", str(desktop.harness_pid))
    return [int(w) for w in out.split()]


def is_dock(desktop, window):
    return "_NET_WM_WINDOW_TYPE_DOCK" in desktop.x("xprop", "-id", str(window),
                                                    "_NET_WM_WINDOW_TYPE")


def panel_window(desktop):
    docks = [w for w in harness_windows(desktop) if is_dock(desktop, w)]
    return docks[0] if docks else None


def tray_icon_window(desktop):
    trays = [int(w) for w in desktop.x("xdotool", "search", "--class", "trayer").split()]
    for window in harness_windows(desktop):
        if set(ancestors(desktop, window)) & set(trays):
            return window
    return None


def open_menu(desktop, harness, window, button=1):
    x, y, w, h = window_geometry(desktop, window)
    desktop.click(x + w // 2, y + h // 2, button)
    return wait_until(lambda: read_menu(harness), what="the menu")


def choose(desktop, harness, window, title):
    rows = open_menu(desktop, harness, window)
    desktop.click(*row_titled(rows, title).centre())


def checked_titles(rows):
    return [r.text for r in rows if r.kind == "item" and r.checked]


class TrayHostTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop().__enter__()
        self.addCleanup(self.desktop.close)
        self.desktop.start_tray()
        self.harness = Harness(self.desktop, HARNESS, "tray", "--local-super-b")
        self.desktop.harness_pid = self.harness.process.pid
        self.harness.expect("^ready$")
        self.icon = wait_until(lambda: tray_icon_window(self.desktop), what="the tray icon")

    def test_icon_sits_in_the_tray_and_either_click_opens_the_full_menu(self):
        shot = self.desktop.screenshot(os.path.join(ARTIFACTS, "tray-icon.png"))
        x, y, w, h = window_geometry(self.desktop, self.icon)
        colours = set(pixels(shot, x, y, w, h))
        self.assertTrue(any(min(c) > 220 for c in colours), "no light dots in the icon")
        self.assertTrue(any(max(c) < 60 for c in colours), "no dark edge in the icon")
        self.assertIsNone(panel_window(self.desktop))

        for button in (1, 3):
            rows = open_menu(self.desktop, self.harness, self.icon, button)
            self.assertEqual([(r.kind,) if r.kind != "item" else
                              (r.kind, r.text, r.checked, r.enabled) for r in rows],
                             EXPECTED_ROWS)
            slider = next(r for r in rows if r.kind == "slider")
            minimum, maximum, value, tracking, sx, sy, sw, sh = slider.slider
            self.assertEqual((minimum, maximum, value, tracking), (10, 100, 70, 1))
            self.assertEqual((sw, sh), (160, 30))
            self.assertEqual((slider.width, slider.height), (200, 30))
            self.assertEqual((sx - slider.x, sy - slider.y), (20, 0))
            shot = self.desktop.screenshot(os.path.join(ARTIFACTS, "tray-menu-%d.png" % button))
            groove = set(pixels(shot, sx, sy, sw, sh))
            self.assertGreater(len(groove), 3, "the slider is not drawn")
            self.desktop.key("Escape")
            wait_until(lambda: read_menu(self.harness) is None, what="the menu to close")

    def test_each_mode_moves_the_check_mark_and_the_current_one_keeps_it(self):
        for mode in ("Pixelate", "Dim", "Dim", "Blur"):
            choose(self.desktop, self.harness, self.icon, mode)
            self.harness.expect("^action changeMode: " + mode + "$")
            rows = open_menu(self.desktop, self.harness, self.icon)
            self.assertEqual(checked_titles(rows), [mode])
            self.desktop.key("Escape")
            wait_until(lambda: read_menu(self.harness) is None, what="the menu to close")

    def test_dragging_the_slider_sends_values_all_the_way(self):
        rows = open_menu(self.desktop, self.harness, self.icon)
        slider = next(r for r in rows if r.kind == "slider")
        _, _, value, _, sx, sy, sw, sh = slider.slider
        # The knob of a Fusion slider is about a groove's height wide; press its middle.
        knob = 11
        at = sx + knob // 2 + round((value - 10) / 90 * (sw - knob))
        middle = sy + sh // 2
        self.desktop.x("xdotool", "mousemove", "--sync", str(at), str(middle), check=True)
        self.desktop.x("xdotool", "mousedown", "1", check=True)
        for step in range(1, 12):
            self.desktop.x("xdotool", "mousemove", "--sync", str(at + step * 6), str(middle))
            time.sleep(0.05)
        values = [float(line.rsplit(" ", 1)[1]) for line in self.harness.drain()
                  if line.startswith("action intensityChanged: ")]
        self.assertGreaterEqual(len(values), 5, "the value does not follow the drag")
        self.assertEqual(values, sorted(set(values)))
        self.assertGreater(values[0], 0.7)
        # Past either end of the groove, within the menu, the value stops exactly at the ends.
        for target, end in ((slider.x + slider.width - 1, 1.0), (slider.x, 0.1)):
            self.desktop.x("xdotool", "mousemove", "--sync", str(target), str(middle))
            time.sleep(0.2)
            self.harness.drain()
            sent = [line for line in self.harness.seen
                    if line.startswith("action intensityChanged: ")]
            self.assertEqual(float(sent[-1].rsplit(" ", 1)[1]), end)
        self.desktop.x("xdotool", "mouseup", "1", check=True)

    def test_toggle_item_super_b_and_super_q_while_the_menu_is_open(self):
        choose(self.desktop, self.harness, self.icon, "Toggle Quillmere")
        self.harness.expect("^action toggleEffectFromMenu$")
        self.assertEqual(self.harness.drain(), [])

        # The local key monitor consumes Super+B; the menu must not toggle as well.
        open_menu(self.desktop, self.harness, self.icon)
        self.desktop.key("super+b")
        self.assertEqual(self.harness.drain(0.5), ["local toggle"])

        self.desktop.key("super+q")
        self.harness.expect("^action terminate:$")
        self.assertEqual(self.harness.process.wait(timeout=5), 0)


class NoTrayHostTest(unittest.TestCase):
    def start(self, window_manager=True):
        self.desktop = Desktop(window_manager=window_manager).__enter__()
        self.addCleanup(self.desktop.close)
        self.harness = Harness(self.desktop, HARNESS, "tray")
        self.desktop.harness_pid = self.harness.process.pid
        self.harness.expect("^ready$")
        # Generous: a loaded machine starts Qt slowly, and the time is not what is tested.
        return wait_until(lambda: panel_window(self.desktop), timeout=30.0, what="the panel")

    def test_panel_is_a_focusless_dock_at_the_top_right_and_its_menu_works(self):
        panel = self.start()
        hints = self.desktop.x("xprop", "-id", str(panel), "WM_HINTS")
        self.assertIn("Client accepts input or input focus: False", hints)
        x, y, w, h = window_geometry(self.desktop, panel)
        self.assertEqual((x + w, y), (SCREEN_SIZE[0], 0))

        # Something else is frontmost; using the panel and its menu leaves it so.
        other = self.desktop.spawn(["xmessage", "-geometry", "+300+300", "frontmost"])
        wait_until(lambda: self.desktop.active_window(), what="an active window")
        frontmost = self.desktop.active_window()
        self.assertNotEqual(frontmost, panel)

        choose(self.desktop, self.harness, panel, "Dim")
        self.harness.expect("^action changeMode: Dim$")
        self.assertEqual(self.desktop.active_window(), frontmost)
        other.terminate()

    def test_icon_moves_into_a_tray_host_that_starts_later_and_back_when_it_goes(self):
        self.start()
        self.desktop.start_tray()
        icon = wait_until(lambda: tray_icon_window(self.desktop), what="the tray icon")
        wait_until(lambda: panel_window(self.desktop) is None, what="the panel to go")
        open_menu(self.desktop, self.harness, icon)
        self.desktop.key("Escape")

        self.desktop.stop_tray()
        panel = wait_until(lambda: panel_window(self.desktop), what="the panel to return")
        open_menu(self.desktop, self.harness, panel)

    def test_panel_appears_without_a_window_manager(self):
        panel = self.start(window_manager=False)
        x, y, w, h = window_geometry(self.desktop, panel)
        self.assertEqual((x + w, y), (SCREEN_SIZE[0], 0))
        open_menu(self.desktop, self.harness, panel)


class RatioTwoTest(unittest.TestCase):
    """At device pixel ratio 2 the panel and the menu take twice the pixels of their sizes in
    points, the icon is drawn, and a click on a row, in pixels, chooses it. The harness reports
    the menu in points."""

    RATIO = 2

    def start(self, tray):
        self.desktop = Desktop().__enter__()
        self.addCleanup(self.desktop.close)
        self.desktop.env["QT_SCALE_FACTOR"] = str(self.RATIO)
        if tray:
            self.desktop.start_tray()
        self.harness = Harness(self.desktop, HARNESS, "tray")
        self.desktop.harness_pid = self.harness.process.pid
        self.harness.expect("^ready$")

    def check_menu_and_choose_dim(self, window):
        rows = open_menu(self.desktop, self.harness, window)
        self.assertEqual([(r.kind,) if r.kind != "item" else
                          (r.kind, r.text, r.checked, r.enabled) for r in rows], EXPECTED_ROWS)
        slider = next(r for r in rows if r.kind == "slider")
        _, _, value, _, sx, sy, sw, sh = slider.slider
        self.assertEqual((value, sw, sh), (70, 160, 30))
        shot = self.desktop.screenshot(os.path.join(ARTIFACTS, "ratio-2-menu.png"))
        groove = set(pixels(shot, sx * self.RATIO, sy * self.RATIO, sw * self.RATIO,
                            sh * self.RATIO))
        self.assertGreater(len(groove), 3, "the slider is not drawn where it is said to be")
        x, y = row_titled(rows, "Dim").centre()
        self.desktop.click(x * self.RATIO, y * self.RATIO)
        self.harness.expect("^action changeMode: Dim$")

    def test_panel_is_48_pixels_at_the_top_right_and_its_menu_works(self):
        self.start(tray=False)
        panel = wait_until(lambda: panel_window(self.desktop), timeout=30.0, what="the panel")
        x, y, w, h = window_geometry(self.desktop, panel)
        self.assertEqual((x + w, y, w, h), (SCREEN_SIZE[0], 0, 48, 48))
        self.check_menu_and_choose_dim(panel)

    def test_tray_icon_is_drawn_and_its_menu_works(self):
        self.start(tray=True)
        icon = wait_until(lambda: tray_icon_window(self.desktop), what="the tray icon")
        shot = self.desktop.screenshot(os.path.join(ARTIFACTS, "ratio-2-tray-icon.png"))
        colours = set(pixels(shot, *window_geometry(self.desktop, icon)))
        self.assertTrue(any(min(c) > 220 for c in colours), "no light dots in the icon")
        self.assertTrue(any(max(c) < 60 for c in colours), "no dark edge in the icon")
        self.check_menu_and_choose_dim(icon)


if __name__ == "__main__":
    os.makedirs(ARTIFACTS, exist_ok=True)
    unittest.main()
