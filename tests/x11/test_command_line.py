#!/usr/bin/python3
"""The command line through the real executable, with no display and on a private one: --help,
--version and usage errors alike with and without a display, starting nothing; a launch or
--toggle without a display; and --toggle with and without a running Quillmere."""

import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, QUILLMERE, Quillmere  # noqa: E402
from desktop.session import Session  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

VERSION = os.environ.get("QUILLMERE_VERSION", "1.0.0")
# The arguments, and what the error line must name.
USAGE_ERRORS = ((["--togle"], "'--togle'"), (["--toggle", "--verbose"], "'--verbose'"),
                (["-platform", "offscreen"], "'-platform'"), (["-display", ":12345"], "'-display'"),
                (["toggle"], "'toggle'"), (["--version", "--toggle"], "--version and --toggle"))


def without_display(args, display=None):
    with Session(bus=False) as session:
        env = dict(session.env, **({} if display is None else {"DISPLAY": display}))
        return session.run([QUILLMERE] + args, env=env, timeout=10)


class CommandLine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desk = XSession().__enter__()
        cls.addClassCleanup(cls.desk.close)

    def run_quillmere(self, args):
        return self.desk.run([QUILLMERE] + args)

    def test_help_version_usage_errors_and_toggle_with_no_instance_start_nothing(self):
        for args, named in [(["-h"], None), (["--help"], None), (["--version"], None)] + list(
                USAGE_ERRORS):
            result = without_display(args)
            shown = self.run_quillmere(args)
            self.assertEqual((shown.returncode, shown.stdout, shown.stderr),
                             (result.returncode, result.stdout, result.stderr), args)
            if args == ["--version"]:
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (0, "quillmere %s\n" % VERSION, ""))
            elif named is None:
                self.assertEqual((result.returncode, result.stderr), (0, ""), args)
                self.assertTrue(result.stdout.startswith("Usage: quillmere [OPTION]\n"))
                self.assertIn("README.md", result.stdout)
            else:
                self.assertEqual((result.returncode, result.stdout), (2, ""), args)
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 2, result.stderr)
                self.assertTrue(lines[0].startswith("quillmere: "), lines)
                self.assertIn(named, lines[0])
                self.assertTrue(lines[1].startswith("Usage: quillmere ["), lines)
        # --toggle with no instance: one line, status 1, at once.
        start = time.monotonic()
        result = self.run_quillmere(["--toggle"])
        self.assertLess(time.monotonic() - start, 1.0)
        self.assertEqual((result.returncode, result.stdout), (1, ""))
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("not running", result.stderr)
        # None of them started anything on the display.
        time.sleep(0.3)
        client = XClient(self.desk.display)
        self.addCleanup(client.close)
        self.assertEqual(client.overlays(), [])
        self.assertEqual(client.d.get_selection_owner(client.atom("_QUILLMERE_S0")), 0)

    def test_launch_or_toggle_without_a_display_gives_one_line_and_status_1(self):
        for args in ([], ["--toggle"]):
            for display in (None, "", ":4711"):
                result = without_display(args, display)
                self.assertEqual(result.returncode, 1, (args, display))
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertEqual(result.stdout, "")

    def test_toggle_reaches_the_running_instance_as_super_b(self):
        app = Quillmere(self.desk)
        try:
            self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
            for state in ("false", "true"):
                result = self.run_quillmere(["--toggle"])
                self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
                self.assertEqual(app.read_lines(1), ["Toggled effect: " + state])
            self.assertEqual(app.read_lines(1, timeout=0.3), [])

            # An instance that does not answer: status 1 after a second, and the late request
            # does not toggle once it wakes up.
            app.signal(signal.SIGSTOP)
            start = time.monotonic()
            result = self.run_quillmere(["--toggle"])
            elapsed = time.monotonic() - start
            app.signal(signal.SIGCONT)
            self.assertEqual(result.returncode, 1)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertIn("did not answer", result.stderr)
            self.assertGreaterEqual(elapsed, 1.0)
            self.assertLess(elapsed, 2.0)
            self.assertEqual(app.read_lines(1, timeout=0.5), [])
            result = self.run_quillmere(["--toggle"])
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(app.read_lines(1), ["Toggled effect: false"])
            self.assertIsNone(app.process.poll())
        finally:
            app.stop()
        self.assertEqual(app.process.returncode, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
