#!/usr/bin/python3
"""The command line, launch, single instance, --toggle, every way Quillmere ends, the overlay
with no monitor, and the shake in points, through the real executable on private desktops and
without a display. Super+B, see test_stacking.py; without a window manager,
tests/x11/paint/monitor_launch_test.cpp and the window list's tests --no-wm."""

import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, QUILLMERE, Quillmere  # noqa: E402
from desktop.session import Session, wait_for  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

VERSION = os.environ.get("QUILLMERE_VERSION", "1.0.0")
# The arguments, and the error: Qt's own options among them, which Qt must never see. Each
# error's text is pinned in command_line_test.cpp. Run without a display: the command line is
# read before the display is opened.
USAGE_ERRORS = ((["--toggle", "--verbose"], "unknown option '--verbose'"),
                (["-platform", "offscreen"], "unknown option '-platform'"),
                (["-display", ":12345"], "unknown option '-display'"))
USAGE = ("Usage: quillmere [--toggle | --help | --version] [--backend=x11|wayland|gnome]; "
         "quillmere --help tells more.\n")


def without_display(args, display=None):
    with Session(bus=False) as session:
        env = dict(session.env, **({} if display is None else {"DISPLAY": display}))
        return session.run([QUILLMERE] + args, env=env, timeout=10)


def wait_for_overlay(desk, count=1):
    """The overlays as (id, depth), once there are that many."""
    client = XClient(desk.display)
    try:
        wait_for(lambda: len(client.overlays()) >= count, "the overlays exist")
        return [(overlay, client.d.create_resource_object("window", overlay).get_geometry().depth)
                for overlay in client.overlays()]
    finally:
        client.close()


class LaunchAndEnd(unittest.TestCase):
    def setUp(self):
        # No session bus: the launch notification must neither wait nor print. Wide enough for
        # the shake at ratio 2.
        self.desk = XSession(bus=False, size="2800x800x24").__enter__()
        self.addCleanup(self.desk.close)

    def run_quillmere(self, args):
        return self.desk.run([QUILLMERE] + args)

    def test_command_line_one_instance_toggle_shake_no_monitor_and_every_way_it_ends(self):
        for args, error in [(["--help"], None), (["--version"], None)] + list(USAGE_ERRORS):
            result = without_display(args)
            if args == ["--version"]:
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (0, "quillmere %s\n" % VERSION, ""))
            elif error is None:
                self.assertEqual((result.returncode, result.stderr), (0, ""), args)
                self.assertTrue(result.stdout.startswith("Usage: quillmere [OPTION]\n"))
                self.assertIn("README.md", result.stdout)
            else:
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (2, "", "quillmere: " + error + "\n" + USAGE))
        # Launch or --toggle without a display: one line and status 1.
        for args in ([], ["--toggle"]):
            for display in (None, "", ":4711"):
                result = without_display(args, display)
                self.assertEqual((result.returncode, result.stdout), (1, ""), (args, display))
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
        # --toggle with no instance: one line, status 1, at once.
        start = time.monotonic()
        result = self.run_quillmere(["--toggle"])
        self.assertLess(time.monotonic() - start, 1.0)
        self.assertEqual((result.returncode, result.stdout), (1, ""))
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("not running", result.stderr)

        first = Quillmere(self.desk, env=dict(self.desk.env, QT_SCALE_FACTOR="2"))
        self.addCleanup(first.stop)
        self.assertEqual(first.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
        before = wait_for_overlay(self.desk)
        # 32 bits deep: a compositor blends the fades with what lies beneath.
        self.assertEqual([depth for _, depth in before], [32])
        # A second instance says so and changes nothing.
        second = self.desk.run([QUILLMERE])
        self.assertEqual((second.returncode, second.stdout), (0, ""))
        self.assertEqual(len(second.stderr.strip().splitlines()), 1, second.stderr)
        self.assertIn("already running", second.stderr)
        self.assertIsNone(first.process.poll())
        self.assertEqual(wait_for_overlay(self.desk), before)

        # --toggle reaches the running instance as Super+B would.
        for state in ("false", "true"):
            result = self.run_quillmere(["--toggle"])
            self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
            self.assertEqual(first.read_lines(1), ["Toggled effect: " + state])
        self.assertEqual(first.read_lines(1, timeout=0.3), [])
        # At ratio 2 the shake's thresholds are twice as many pixels. A warp makes no device
        # motion; the first relative step gives the start.
        self.desk.run(["xdotool", "mousemove", "300", "400"])
        self.desk.run(["xdotool", "mousemove_relative", "--", "100", "0"])
        time.sleep(0.1)
        # 590 points: a long step, but short of a shake; at ratio 1 it would toggle.
        self.desk.run(["xdotool", "mousemove_relative", "--", "1180", "0"])
        self.assertEqual(first.read_lines(1, timeout=0.5), [])
        # 610 points more: a shake, which toggles once. How steps add up and decay is pinned in
        # tests/core/shake_and_toggle_test.cpp.
        self.desk.run(["xdotool", "mousemove_relative", "--", "-1220", "0"])
        self.assertEqual(first.read_lines(2, timeout=1.0), ["Toggled effect: false"])
        # An instance that does not answer: status 1 after a second, and the late request
        # does not toggle once it wakes up.
        first.signal(signal.SIGSTOP)
        start = time.monotonic()
        result = self.run_quillmere(["--toggle"])
        elapsed = time.monotonic() - start
        first.signal(signal.SIGCONT)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("did not answer", result.stderr)
        self.assertGreaterEqual(elapsed, 1.0)
        self.assertLess(elapsed, 2.0)
        self.assertEqual(first.read_lines(1, timeout=0.5), [])
        result = self.run_quillmere(["--toggle"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(first.read_lines(1), ["Toggled effect: true"])
        self.assertIsNone(first.process.poll())
        # Each signal ends it within a second, with status 0.
        first.signal(signal.SIGTERM)
        self.assertEqual(first.wait(1.0), 0)
        self.assertEqual(first.read_lines(1, timeout=0.5) + first.errors, [])

        # Its output closed before the second line, if there is one, it runs on.
        closed = self.desk.spawn([QUILLMERE], stdout=subprocess.PIPE)
        self.assertEqual(closed.stdout.readline(), b"QuillmereApp started\n")
        closed.stdout.close()
        wait_for_overlay(self.desk)
        time.sleep(0.3)
        self.assertIsNone(closed.poll())
        closed.send_signal(signal.SIGINT)
        self.assertEqual(closed.wait(1.0), 0)

        # With no monitor left (Xvfb cannot shrink its screen, but its output goes off) it makes
        # no overlay and runs on; losing the X server then ends it with status 1.
        self.desk.run(["xrandr", "--output", "screen", "--off"])  # an error, yet the output goes
        last = Quillmere(self.desk)
        self.addCleanup(last.stop)
        self.assertEqual(last.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
        time.sleep(1.0)
        self.assertEqual(wait_for_overlay(self.desk, count=0), [])
        self.assertIsNone(last.process.poll())
        self.desk.xvfb.kill()
        self.assertEqual(last.wait(2.0), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
