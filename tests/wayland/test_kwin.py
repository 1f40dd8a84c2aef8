"""Quillmere's Wayland backend on a private KWin with two outputs: trusted once its script
runs, the overlays in the bottom layer on both outputs with the exact dim, KWin's blur asked for
behind them and dropped when the effect is unloaded, Meta+B through the script's shortcut, the
script taken out at the end, a crashed instance's script replaced, a stranger's report refused
and a quiet desktop that costs no call, the overlays risen to just below the frontmost
application's keep-above window and down again in each effect, the stand-in panel's menu driven
with KWin's fake input. (A lost compositor ends the process as on sway: test_entry_point.py.)"""

import os
import re
import signal
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.kwin import OUTPUTS, KWinSession  # noqa: E402
from desktop.clients import TEST_WINDOW, Driver, close_to  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import WALLPAPER  # noqa: E402
from test_menu import PANEL_BACKGROUND, drive_the_panels_menu  # noqa: E402
from test_overlays import dimmed  # noqa: E402

PLUGIN = "quillmere"
# Linux key codes, which KWin's fake input takes.
KEY_CODES = {"Escape": 1, "Return": 28, "Down": 108}
NORMAL, ABOVE = (200, 60, 40), (40, 160, 220)


class KWinTest(unittest.TestCase):
    def setUp(self):
        self.session = start_for(self, KWinSession(pointer=True))
        # KWin alone shows black; a layer-shell background of one colour shows the dim.
        self.session.spawn(["swaybg", "-c", "#{:02x}{:02x}{:02x}".format(*WALLPAPER)])
        wait_for(lambda: self.session.pixel(OUTPUTS[0], 5, 5) == WALLPAPER, "the background")

    def test_quillmere_on_kwin(self):
        session = self.session
        protocol_log = tempfile.NamedTemporaryFile(prefix="quillmere-kwin-", delete=False)
        self.addCleanup(os.unlink, protocol_log.name)
        driver = Driver(session, env=dict(session.env, WAYLAND_DEBUG="client"), stderr=protocol_log)
        self.assertTrue(session.script_loaded(PLUGIN), "the window list's script runs")
        # Both outputs' overlays, at level -1 (and 2 when the time comes: the test of rising).
        driver.send("mode Dim")
        for output in OUTPUTS:
            for corner in ((0, 0), (-1, -1)):
                wait_for(lambda: close_to(session.pixel(output, *corner), dimmed(WALLPAPER), 2),
                         "the dim on " + output)

        # Meta+B, as the script's global shortcut, toggles once each time.
        session.invoke_shortcut("Toggle Quillmere")
        wait_for(lambda: driver.model()[2] == [0.0, 0.0], "the fade-out")
        session.invoke_shortcut("Toggle Quillmere")
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in")

        # The blur is KWin's own, behind the whole overlay; unloading its effect drops it.
        loaded = session.dbus("org.kde.KWin", "/Effects", "org.kde.kwin.Effects.loadEffect",
                              "string:blur")
        self.assertIn("boolean true", loaded, "KWin's blur effect would not load")
        driver.send("mode Blur")

        def requests(pattern):
            with open(protocol_log.name, errors="replace") as log:
                return len(re.findall(pattern, log.read()))
        created = r"-> org_kde_kwin_blur_manager@\d+\.create\(new id org_kde_kwin_blur@"
        wait_for(lambda: requests(created) == 2, "the blur asked for behind both overlays")
        session.dbus("org.kde.KWin", "/Effects", "org.kde.kwin.Effects.unloadEffect",
                     "string:blur")
        wait_for(lambda: requests(r"-> org_kde_kwin_blur@\d+\.release\(\)") == 2,
                 "the blur dropped with the effect")
        self.assertIsNone(driver.process.poll())

        # The script leaves KWin with Quillmere.
        driver.process.send_signal(signal.SIGTERM)
        self.assertEqual(driver.process.wait(10), 0)
        self.assertFalse(session.script_loaded(PLUGIN), "the script stays in KWin")

    def script(self, source):
        self.scripts = getattr(self, "scripts", 0) + 1
        self.session.kwin_script("quillmere-test-{}".format(self.scripts), source)

    def activate(self, caption):
        self.script("workspace.clientList().forEach(function(window) {\n"
                    "  if (window.caption === '%s') workspace.activeClient = window;\n"
                    "});\n" % caption)

    def test_a_crashed_instances_script_is_replaced_and_a_strangers_report_changes_nothing(self):
        session = self.session
        # An instance that crashed leaves its script in KWin, reporting to nobody.
        crashed = Driver(session)
        wait_for(lambda: session.script_loaded(PLUGIN), "the first instance's script")
        os.killpg(crashed.process.pid, signal.SIGKILL)
        crashed.process.wait()

        red = session.spawn([TEST_WINDOW, "red", "#ff0000"])
        driver = Driver(session)

        def owners():
            return [w.split(":")[1] for w in driver.state()["windows"].split()]
        wait_for(lambda: str(red.pid) in owners(), "the red window in a fresh instance's list")
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in")

        # A quiet desktop costs no call; a stranger's report is refused and changes nothing.
        before = driver.state()
        forged = '{"windows":[{"id":"x","pid":4242,"layer":2}],"active":4242,"desktop":2}'
        result = session.run([
            "dbus-send", "--session", "--print-reply",
            "--dest=org.quillmere.Quillmere.KWin.Pid{}".format(driver.process.pid),
            "/org/quillmere/KWinScript", "org.quillmere.KWinScript.report", "string:" + forged])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("AccessDenied", result.stderr)
        time.sleep(0.3)
        self.assertEqual(driver.state(), before)

        # Another desktop shows no window of the first.
        self.script("workspace.createDesktop(1, 'Second');\nworkspace.currentDesktop = 2;\n")
        wait_for(lambda: str(red.pid) not in owners(), "the list of the second desktop")

    def test_the_overlays_rise_below_the_frontmost_keep_above_window(self):
        session = self.session
        session.kwin_script("quillmere-test-place", (
            "function place(window) {\n"
            "  var x = {normal: 100, above: 500}[window.caption];\n"
            "  if (x === undefined) return;\n"
            "  window.frameGeometry = {x: x, y: 100, width: 200, height: 150};\n"
            "  window.keepAbove = window.caption === 'above';\n"
            "}\n"
            "workspace.clientList().forEach(place);\n"
            "workspace.clientAdded.connect(place);\n"))
        windows = {caption: session.spawn([TEST_WINDOW, caption, "#%02x%02x%02x" % colour])
                   for caption, colour in (("normal", NORMAL), ("above", ABOVE))}
        # Made before the overlays, the keep-above window lies below them in KWin's history:
        # only Quillmere's activation brings it back above them.
        wait_for(lambda: self.session.pixel(OUTPUTS[0], 200, 175) == NORMAL, "the normal window")
        wait_for(lambda: self.session.pixel(OUTPUTS[0], 600, 175) == ABOVE, "the keep-above window")
        driver = Driver(session)
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in")
        session.kwin_script("quillmere-test-focus", (
            "workspace.clientActivated.connect(function(window) {\n"
            "  if (window && window.pid === %d) print('quillmere-test: own window focused');\n"
            "});\n") % driver.process.pid)
        session.dbus("org.kde.KWin", "/Effects", "org.kde.kwin.Effects.loadEffect", "string:blur")

        for mode in ("Dim", "Blur", "Pixelate"):
            with self.subTest(mode=mode):
                driver.send("mode " + mode)
                self.activate("above")
                wait_for(lambda: driver.state()["levels"] == "2 2", "the overlays' level 2")
                # The dim is exact; KWin's blur beneath the tint is its own.
                expected = tuple(int(c) for c in driver.answer("expect %d %d %d" % NORMAL))
                covered = ((lambda p: close_to(p, expected, 2)) if mode == "Dim" else
                           (lambda p: not close_to(p, NORMAL, 20)))
                wait_for(lambda: covered(self.session.pixel(OUTPUTS[0], 200, 175)),
                         "the effect over the normal window")
                wait_for(lambda: self.session.pixel(OUTPUTS[0], 600, 175) == ABOVE,
                         "the keep-above window exact above the overlay")
                self.assertEqual(driver.state()["frontmost"], str(windows["above"].pid))

                self.activate("normal")
                wait_for(lambda: driver.state()["levels"] == "-1 -1", "the overlays' level -1")
                wait_for(lambda: self.session.pixel(OUTPUTS[0], 200, 175) == NORMAL,
                         "the normal window exact again")
                self.assertEqual(self.session.pixel(OUTPUTS[0], 600, 175), ABOVE)
                self.assertEqual(driver.state()["frontmost"], str(windows["normal"].pid))
        self.assertNotIn("own window focused", session.log())

    def test_the_stand_in_panels_menu_takes_clicks_and_keys(self):
        session = self.session
        driver = Driver(session)
        width = session.screenshot(OUTPUTS[0])[0]
        # No tray host runs in the private KWin.
        wait_for(lambda: self.session.pixel(OUTPUTS[0], width - 1, 0) == PANEL_BACKGROUND,
                 "the stand-in panel at the top-right of the first output")
        wait_for(lambda: driver.model()[2] == [1.0, 1.0], "the fade-in")
        drive_the_panels_menu(self, session, driver, lambda *names: session.pointer(
            *[step for name in names for step in ("key", KEY_CODES[name])]), OUTPUTS[0], 10)


if __name__ == "__main__":
    unittest.main()
