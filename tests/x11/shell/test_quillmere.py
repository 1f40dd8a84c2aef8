"""Quillmere itself, installed into a scratch prefix and run on a private desktop: the tray icon
or the panel, the menu driving the effect, the keys while the menu is open, Quit, and the
launch notification. With QUILLMERE_INSTALLED_PREFIX set (/usr for the installed package), the
program already installed there is tested instead."""

import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from desktop.lines import LineClient  # noqa: E402
from desktop.menu_locator import MenuLayout, popup_menu  # noqa: E402
from desktop.session import tool_environment, wait_for  # noqa: E402
from desktop.x11 import SCREEN_SIZE, XSession, pixels  # noqa: E402

INSTALLED_PREFIX = os.environ.get("QUILLMERE_INSTALLED_PREFIX")
BUILD_DIR = os.environ.get("QUILLMERE_BUILD_DIR")
ARTIFACTS = os.environ.get("SHELL_TEST_ARTIFACTS", "/tmp/quillmere-shell-artifacts")
HARNESS = os.environ["SHELL_HARNESS"]
BLUR, PIXELATE, DIM = 0, 1, 2
# A patch of wallpaper far from the menu, the tray and the other window.
PATCH = (900, 500, 64, 64)


def install_prefix():
    prefix = tempfile.mkdtemp(prefix="quillmere-install-")
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL, env=tool_environment())
    return prefix


def striped_wallpaper(desktop):
    """Vertical stripes 8 pixels wide, which every effect changes."""
    path = os.path.join(desktop.base, "stripes.png")
    subprocess.run(["convert", "-size", "16x16", "xc:#f0f0f0", "-fill", "#202020", "-draw",
                    "rectangle 0,0 7,15", "-write", "mpr:tile", "+delete", "-size",
                    "%dx%d" % SCREEN_SIZE, "tile:mpr:tile", path], check=True,
                   env=tool_environment())
    desktop.run(["hsetroot", "-tile", path], check=True)


def mean(colours):
    return sum(sum(c) for c in colours) / (3.0 * len(colours))


class Quillmere:
    """One run of the installed program on the desktop."""

    def __init__(self, desktop, prefix):
        self.desktop = desktop
        self.run = LineClient(desktop, [os.path.join(prefix, "bin", "quillmere")])
        self.run.expect("^QuillmereApp started$")
        self.pid = self.run.process.pid

    def windows(self):
        out = self.desktop.output_of("xdotool", "search", "--onlyvisible", "--pid", str(self.pid))
        return [int(w) for w in out.split()]

    def tray_icon(self):
        trays = [int(w) for w in self.desktop.output_of("xdotool", "search", "--class",
                                                        "trayer").split()]
        for window in self.windows():
            if set(self.desktop.ancestors(window)) & set(trays):
                return window
        return None

    def panel(self):
        for window in self.windows():
            kind = self.desktop.output_of("xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE")
            if "_NET_WM_WINDOW_TYPE_DOCK" in kind:
                return window
        return None

    def open_menu(self, window, button=1):
        x, y, w, h = self.desktop.window_geometry(window)
        self.desktop.click(x + w // 2, y + h // 2, button)
        geometry = wait_for(lambda: popup_menu(self.desktop, self.pid), "the menu")
        time.sleep(0.2)  # let it finish drawing
        shot = self.desktop.screenshot(os.path.join(self.desktop.base, "menu.png"))
        return MenuLayout(shot, geometry)

    def close_menu(self):
        self.desktop.key("Escape")
        wait_for(lambda: popup_menu(self.desktop, self.pid) is None, "the menu to close")

    def choose_mode(self, window, mode):
        self.desktop.click(*self.open_menu(window).mode_row(mode))
        wait_for(lambda: popup_menu(self.desktop, self.pid) is None, "the menu to close")

    def patch(self, name):
        time.sleep(0.6)  # the fades take 0.3 s and 0.5 s
        shot = self.desktop.screenshot(os.path.join(ARTIFACTS, name + ".png"))
        return pixels(shot, *PATCH)


class InstalledQuillmereTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = INSTALLED_PREFIX or install_prefix()

    @classmethod
    def tearDownClass(cls):
        if not INSTALLED_PREFIX:
            subprocess.run(["rm", "-rf", cls.prefix])

    def desktop(self, **kwargs):
        desktop = XSession(**kwargs).__enter__()
        self.addCleanup(desktop.close)
        striped_wallpaper(desktop)
        return desktop

    def assert_icon_drawn(self, desktop, icon, name):
        """The dotted circle: light dots inside a dark edge."""
        shot = desktop.screenshot(os.path.join(ARTIFACTS, name + ".png"))
        colours = set(pixels(shot, *desktop.window_geometry(icon)))
        self.assertTrue(any(min(c) > 220 for c in colours), "no light dots in the icon")
        self.assertTrue(any(max(c) < 60 for c in colours), "no dark edge in the icon")

    def test_tray_menu_chooses_each_effect_the_slider_sets_the_dim_toggle_and_quit(self):
        desktop = self.desktop()
        desktop.start_tray()
        app = Quillmere(desktop, self.prefix)
        icon = wait_for(app.tray_icon, "the tray icon")
        self.assertIsNone(app.panel())
        self.assert_icon_drawn(desktop, icon, "tray-icon")

        # Either button opens it. The slider is seen drawn at ratio 2, and working in the drag.
        for button in (3, 1):
            self.assertEqual(app.open_menu(icon, button).checked_modes(), [BLUR])
            app.close_menu()

        # The rows a click hits; what each effect shows is pinned in monitor_launch_test.cpp.
        for mode in (PIXELATE, DIM):
            app.choose_mode(icon, mode)
            self.assertEqual(app.open_menu(icon).checked_modes(), [mode])
            app.close_menu()

        # While the knob is held and moved, the dim follows: darker to the right.
        menu = app.open_menu(icon)
        left, right, y = menu.slider_groove()
        knob = left + 5 + round((70 - 10) / 90 * (right - left - 11))
        desktop.run(["xdotool", "mousemove", "--sync", str(knob), str(y)], check=True)
        desktop.run(["xdotool", "mousedown", "1"], check=True)
        levels = []
        for target in (knob - 60, knob - 30, knob, knob + 20, right + 10):
            desktop.run(["xdotool", "mousemove", "--sync", str(target), str(y)], check=True)
            levels.append(mean(app.patch("drag")))
        desktop.run(["xdotool", "mouseup", "1"], check=True)
        self.assertEqual(levels, sorted(levels, reverse=True))
        self.assertGreater(levels[0] - levels[-1], 20, levels)
        app.close_menu()

        # The Toggle item, Super+B while the menu is open, and Quit.
        desktop.click(*app.open_menu(icon).command_row(0))
        app.run.expect("^Toggled effect: false$")
        app.open_menu(icon)
        desktop.key("super+b")
        app.run.expect("^Toggled effect: true$")
        self.assertEqual(app.run.read_lines(1, timeout=0.5), [])
        app.close_menu()
        desktop.key("super+b")  # the global keys are back once the menu has closed
        app.run.expect("^Toggled effect: false$")

        desktop.click(*app.open_menu(icon).command_row(1))
        self.assertEqual(app.run.process.wait(timeout=5), 0)

        again = Quillmere(desktop, self.prefix)
        icon = wait_for(again.tray_icon, "the tray icon")
        again.open_menu(icon)
        desktop.key("super+q")
        self.assertEqual(again.run.process.wait(timeout=5), 0)

    def test_panel_at_ratio_2_without_a_tray_host_until_one_starts(self):
        """Sizes double at ratio 2 and the menu's rows are hit in pixels."""
        desktop = self.desktop()
        desktop.env["QT_SCALE_FACTOR"] = "2"
        other = desktop.spawn(["xmessage", "-geometry", "+300+300", "frontmost"])
        frontmost = wait_for(desktop.active_window, "an active window")
        app = Quillmere(desktop, self.prefix)
        panel = wait_for(app.panel, "the panel", timeout=30.0)
        x, y, w, h = desktop.window_geometry(panel)
        self.assertEqual((x + w, y, w, h), (SCREEN_SIZE[0], 0, 48, 48))
        self.assertIn("Client accepts input or input focus: False",
                      desktop.output_of("xprop", "-id", str(panel), "WM_HINTS"))
        menu = app.open_menu(panel)
        # The groove lies 20 points in from the row's sides, 16 above the last separator.
        groove = pixels(menu.shot, menu.x + 40, round(menu.separators[2]) - 35, 320, 7)
        self.assertGreater(len(set(groove)), 3, "the slider is not drawn at twice its size")
        desktop.click(*menu.mode_row(DIM))
        wait_for(lambda: popup_menu(desktop, app.pid) is None, "the menu to close")
        self.assertEqual(desktop.active_window(), frontmost)

        desktop.start_tray()
        icon = wait_for(app.tray_icon, "the tray icon")
        wait_for(lambda: app.panel() is None, "the panel to go")
        self.assert_icon_drawn(desktop, icon, "ratio-2-tray-icon")
        menu = app.open_menu(icon)
        self.assertEqual(menu.checked_modes(), [DIM])
        desktop.click(*menu.command_row(0))
        app.run.expect("^Toggled effect: false$")

        desktop.stop_tray()
        panel = wait_for(app.panel, "the panel to return")
        self.assertEqual(app.open_menu(panel).checked_modes(), [DIM])
        other.terminate()

    def test_launch_notification_panel_without_a_window_manager_and_a_silent_server(self):
        desktop = self.desktop(wm=False)
        log = os.path.join(desktop.base, "monitor.log")
        with open(log, "w") as out:
            desktop.spawn(["dbus-monitor", "--session",
                           "type='method_call',interface='org.freedesktop.Notifications'"],
                          stdout=out)
        wait_for(lambda: "NameAcquired" in open(log).read(), "the bus monitor")
        app = Quillmere(desktop, self.prefix)
        wait_for(lambda: "member=Notify" in open(log).read(), "the Notify call")
        # Without a window manager the panel still sits at the top-right and opens the menu.
        panel = wait_for(app.panel, "the panel")
        x, y, w, h = desktop.window_geometry(panel)
        self.assertEqual((x + w, y), (SCREEN_SIZE[0], 0))
        self.assertEqual(app.open_menu(panel).checked_modes(), [BLUR])
        icon = os.path.join(self.prefix, "share/icons/hicolor/256x256/apps/quillmere.png")
        self.assertRegex(open(log).read(), re.escape(
            '   string "Quillmere"\n   uint32 0\n   string "%s"\n'
            '   string "Quillmere is Active"\n'
            '   string "Check your Menu Bar (look for the dotted circle) to control the '
            'effects."\n   array [\n   ]\n   array [\n   ]\n   int32 -1\n' % icon))
        self.assertEqual(open(log).read().count("member=Notify"), 1)
        app.run.process.terminate()
        app.run.process.wait(timeout=5)

        # A server that holds the name but never answers: the launch goes on all the same.
        server = LineClient(desktop, [HARNESS, "silent-server"])
        server.expect("^owned$")
        server.process.send_signal(signal.SIGSTOP)
        try:
            again = Quillmere(desktop, self.prefix)
            wait_for(again.panel, "the panel while the server is silent", timeout=10)
        finally:
            server.process.send_signal(signal.SIGCONT)


if __name__ == "__main__":
    os.makedirs(ARTIFACTS, exist_ok=True)
    unittest.main()
