"""The shell on private desktops. The permission alert, through the harness: its texts as shown,
and the answer that each way of closing it gives. Quillmere itself, installed into a scratch
prefix and run at ratio 2: the panel while no tray host runs and the tray icon while one does,
the global keys while the menu is open, the launch notification, and a notification server that
never answers (without a bus, see tests/x11/test_lifecycle.py). With
QUILLMERE_INSTALLED_PREFIX set (/usr for the installed package), the program already installed
there is tested instead. The menu's rows follow the model (tests/qt/tray_menu_test.cpp) and are
clicked and dragged on Wayland (tests/wayland/test_menu.py); the effects show at every launch
(tests/x11/paint/monitor_launch_test.cpp and overlay_paint_engine_test.cpp)."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from desktop.clients import LAUNCH_LINES, Quillmere  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import tool_environment, wait_for  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import SCREEN_SIZE, XSession  # noqa: E402
from Xlib import X  # noqa: E402

INSTALLED_PREFIX = os.environ.get("QUILLMERE_INSTALLED_PREFIX")
BUILD_DIR = os.environ.get("QUILLMERE_BUILD_DIR")
HARNESS = os.environ["SHELL_HARNESS"]
PLAIN_TEXT = "0"  # Qt::PlainText
MESSAGE = "Quillmere <b>needs</b> permission"
INFORMATIVE = 'Please <a href="x">enable</a> it.'


class Installed(Quillmere):
    """One run of the installed program, and its windows as the desktop shows them."""

    def __init__(self, desktop, prefix):
        super().__init__(desktop, program=os.path.join(prefix, "bin", "quillmere"))
        self.desktop = desktop

    def windows(self):
        out = self.desktop.output_of("xdotool", "search", "--onlyvisible", "--pid",
                                     str(self.process.pid))
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
        wait_for(lambda: self.desktop.popup_menu(self.process.pid), "the menu")

    def close_menu(self):
        self.desktop.key("Escape")
        wait_for(lambda: self.desktop.popup_menu(self.process.pid) is None, "the menu to close")


class AlertTest(unittest.TestCase):
    def test_texts_are_plain_and_each_way_of_answering_gives_its_response(self):
        # Return presses the first button, the default; Escape and "close", which asks the box to
        # close as a window manager's close binding does, answer as the second. A click takes
        # the same way out as the key of its button.
        ways = (("Return", 1000), ("Escape", 1001), ("close", 1001))
        for way, expected in ways:
            with self.subTest(way), XSession() as desktop:
                harness = LineClient(desktop, [HARNESS, "alert"])
                harness.wait_line("alert shown", "the alert")
                labels = re.findall(r"^alert label format=(\d+) text=(.*)$",
                                    "\n".join(harness.output()), re.MULTILINE)
                self.assertEqual(sorted(labels), [(PLAIN_TEXT, INFORMATIVE), (PLAIN_TEXT, MESSAGE)])
                # Keys go to the focused window: on a loaded machine the box can be shown a
                # moment before it is given the focus.
                box = wait_for(desktop.active_window, "the alert to get the focus")
                if way == "close":
                    client = XClient(desktop.display)
                    client.request_close(box)
                    client.close()
                else:
                    desktop.key(way)
                response = harness.wait_line("response ", "the response")
                self.assertEqual(response, "response %d" % expected)
                self.assertEqual(harness.process.wait(timeout=5), 0)



class InstalledQuillmereTest(unittest.TestCase):
    def test_panel_tray_icon_keys_in_the_menu_notification_and_a_silent_server(self):
        prefix = INSTALLED_PREFIX or tempfile.mkdtemp(prefix="quillmere-install-")
        if not INSTALLED_PREFIX:
            self.addCleanup(shutil.rmtree, prefix, True)
            subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                           stdout=subprocess.DEVNULL, env=tool_environment())
        desktop = XSession().__enter__()
        self.addCleanup(desktop.close)
        desktop.env["QT_SCALE_FACTOR"] = "2"
        log = os.path.join(desktop.base, "monitor.log")
        with open(log, "w") as out:
            desktop.spawn(["dbus-monitor", "--session",
                           "type='method_call',interface='org.freedesktop.Notifications'"],
                          stdout=out)
        wait_for(lambda: "NameAcquired" in open(log).read(), "the bus monitor")
        desktop.spawn(["xmessage", "-geometry", "+300+300", "frontmost"])
        frontmost = wait_for(desktop.active_window, "an active window")
        app = Installed(desktop, prefix)
        self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)

        # No tray host: the panel, top-right and twice 24 points, which never takes the focus.
        panel = wait_for(app.panel, "the panel", timeout=30.0)
        x, y, w, h = desktop.window_geometry(panel)
        self.assertEqual((x + w, y, w, h), (SCREEN_SIZE[0], 0, 48, 48))
        self.assertIn("Client accepts input or input focus: False",
                      desktop.output_of("xprop", "-id", str(panel), "WM_HINTS"))
        app.open_menu(panel)
        app.close_menu()
        self.assertEqual(desktop.active_window(), frontmost)

        wait_for(lambda: "member=Notify" in open(log).read(), "the Notify call")
        icon = os.path.join(prefix, "share/icons/hicolor/256x256/apps/quillmere.png")
        self.assertRegex(open(log).read(), re.escape(
            '   string "Quillmere"\n   uint32 0\n   string "%s"\n'
            '   string "Quillmere is Active"\n'
            '   string "Check your Menu Bar (look for the dotted circle) to control the '
            'effects."\n   array [\n   ]\n   array [\n   ]\n   int32 -1\n' % icon))

        # A tray host takes the icon's place: the dotted circle, light dots inside a dark edge.
        desktop.start_tray()
        icon = wait_for(app.tray_icon, "the tray icon")
        wait_for(lambda: app.panel() is None, "the panel to go")
        client = XClient(desktop.display)
        raw = client.root.get_image(*desktop.window_geometry(icon), X.ZPixmap, 0xFFFFFFFF).data
        client.close()
        colours = {tuple(raw[i:i + 3]) for i in range(0, len(raw), 4)}
        self.assertTrue(any(min(c) > 220 for c in colours), "no light dots in the icon")
        self.assertTrue(any(max(c) < 60 for c in colours), "no dark edge in the icon")

        # Either button opens the menu; Super+B in it toggles once, and again once it closed.
        app.open_menu(icon, 3)
        app.close_menu()
        app.open_menu(icon)
        desktop.key("super+b")
        self.assertEqual(app.read_lines(1), ["Toggled effect: false"])
        self.assertEqual(app.read_lines(1, timeout=0.5), [])
        app.close_menu()
        desktop.key("super+b")
        self.assertEqual(app.read_lines(1), ["Toggled effect: true"])

        # The tray host gone, the panel is back; Super+Q in its menu quits.
        desktop.stop_tray()
        app.open_menu(wait_for(app.panel, "the panel to return"))
        desktop.key("super+q")
        self.assertEqual(app.wait(), 0)
        self.assertEqual(open(log).read().count("member=Notify"), 1)

        # A server that holds the name but never answers: the launch goes on all the same.
        server = LineClient(desktop, [HARNESS, "silent-server"])
        server.wait_line("owned", "the silent server")
        server.signal(signal.SIGSTOP)
        try:
            again = Installed(desktop, prefix)
            wait_for(again.panel, "the panel while the server is silent", timeout=10)
        finally:
            server.signal(signal.SIGCONT)


if __name__ == "__main__":
    unittest.main()
