#!/usr/bin/python3
"""The command line through the real executable, with no display and on a private one: --help,
--version, usage errors that start nothing, a launch or --toggle without a display, and --toggle
with and without a running Quillmere."""

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


class CommandLineChecks:
    """What every option does whether or not a display answers; run_quillmere runs the
    executable with one environment or the other."""

    def run_quillmere(self, args):
        raise NotImplementedError

    def test_help_and_version_print_and_end_with_status_0(self):
        for option in ("-h", "--help"):
            result = self.run_quillmere([option])
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(result.stderr, "")
            self.assertTrue(result.stdout.startswith("Usage: quillmere [OPTION]\n"), result.stdout)
            for expected in ("--toggle", "--version", "Super+B", "shake", "README.md"):
                self.assertIn(expected, result.stdout)
        result = self.run_quillmere(["--version"])
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (0, "quillmere %s\n" % VERSION, ""))

    def test_a_usage_error_names_the_argument_gives_the_hint_and_status_2(self):
        for args, named in USAGE_ERRORS:
            result = self.run_quillmere(args)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(result.stdout, "")
            lines = result.stderr.splitlines()
            self.assertEqual(len(lines), 2, result.stderr)
            self.assertTrue(lines[0].startswith("quillmere: "), lines)
            self.assertIn(named, lines[0])
            self.assertTrue(lines[1].startswith("Usage: quillmere ["), lines)


class WithoutDisplay(CommandLineChecks, unittest.TestCase):
    def run_quillmere(self, args, display=None):
        with Session(bus=False) as session:
            env = dict(session.env, **({} if display is None else {"DISPLAY": display}))
            return session.run([QUILLMERE] + args, env=env, timeout=10)

    def test_launch_or_toggle_without_a_display_gives_one_line_and_status_1(self):
        for args in ([], ["--toggle"]):
            for display in (None, "", ":4711"):
                result = self.run_quillmere(args, display)
                self.assertEqual(result.returncode, 1, (args, display))
                self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
                self.assertEqual(result.stdout, "")


class WithDisplay(CommandLineChecks, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.desk = XSession().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.desk.close()

    def run_quillmere(self, args):
        return self.desk.run([QUILLMERE] + args)

    def assert_nothing_runs(self):
        client = XClient(self.desk.display)
        try:
            self.assertEqual(client.overlays(), [])
            self.assertEqual(client.d.get_selection_owner(client.atom("_QUILLMERE_S0")), 0)
        finally:
            client.close()

    def test_help_version_and_usage_errors_start_nothing(self):
        for args in [["--help"], ["--version"]] + [args for args, _ in USAGE_ERRORS]:
            self.assertIn(self.run_quillmere(args).returncode, (0, 2), args)
        time.sleep(0.3)
        self.assert_nothing_runs()

    def test_toggle_with_no_instance_gives_one_line_status_1_and_starts_nothing(self):
        start = time.monotonic()
        result = self.run_quillmere(["--toggle"])
        self.assertLess(time.monotonic() - start, 1.0)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("not running", result.stderr)
        time.sleep(0.3)
        self.assert_nothing_runs()

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
