"""The status item's menu on a private desktop at device pixel ratio 2, read row by row through
the harness: what the installed program's test cannot see from pixels (each row's text, check
mark and enabled state, the slider's range and geometry) and the doubled sizes."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (SCREEN_SIZE, Desktop, Harness, ancestors, pixels,  # noqa: E402
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


def open_menu(desktop, harness, window):
    x, y, w, h = window_geometry(desktop, window)
    desktop.click(x + w // 2, y + h // 2)
    return wait_until(lambda: read_menu(harness), what="the menu")


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
        minimum, maximum, value, tracking, sx, sy, sw, sh = slider.slider
        self.assertEqual((minimum, maximum, value, tracking), (10, 100, 70, 1))
        self.assertEqual((sw, sh), (160, 30))
        self.assertEqual((slider.width, slider.height), (200, 30))
        self.assertEqual((sx - slider.x, sy - slider.y), (20, 0))
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
