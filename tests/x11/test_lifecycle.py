#!/usr/bin/python3
"""Launch, single instance, and every way Quillmere ends, on a private desktop. Without a
display, see test_command_line.py."""

import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, QUILLMERE, Quillmere  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402


def wait_for_overlay(desk, count=1):
    client = XClient(desk.display)
    try:
        client.wait_until(lambda: len(client.overlays()) >= count, "the overlays exist")
        return client.overlays()
    finally:
        client.close()


class LaunchAndEnd(unittest.TestCase):
    def setUp(self):
        self.desk = XSession().__enter__()

    def tearDown(self):
        self.desk.close()

    def test_launch_lines_in_order_and_sigterm_and_sigint_end_with_status_0(self):
        for number in (signal.SIGTERM, signal.SIGINT):
            app = Quillmere(self.desk)
            self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
            wait_for_overlay(self.desk)
            start = time.monotonic()
            app.signal(number)
            self.assertEqual(app.wait(), 0)
            self.assertLess(time.monotonic() - start, 1.0)
            app.stop()

    def test_a_second_instance_says_so_and_changes_nothing(self):
        first = Quillmere(self.desk)
        before = wait_for_overlay(self.desk)
        second = self.desk.run([QUILLMERE])
        self.assertEqual(second.returncode, 0)
        self.assertEqual(len(second.stderr.strip().splitlines()), 1, second.stderr)
        self.assertIn("already running", second.stderr)
        self.assertEqual(second.stdout, "")
        self.assertIsNone(first.process.poll())
        self.assertEqual(wait_for_overlay(self.desk), before)
        first.stop()

    def test_a_closed_output_does_not_end_it(self):
        app = self.desk.spawn([QUILLMERE], stdout=subprocess.PIPE)
        self.assertEqual(app.stdout.readline(), b"QuillmereApp started\n")
        app.stdout.close()  # before the second line, if there is one
        wait_for_overlay(self.desk)
        time.sleep(0.3)
        self.assertIsNone(app.poll())
        app.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(5), 0)

    def test_losing_the_x_server_ends_it_with_status_1(self):
        app = Quillmere(self.desk)
        wait_for_overlay(self.desk)
        self.desk.xvfb.kill()
        start = time.monotonic()
        self.assertEqual(app.wait(5), 1)
        self.assertLess(time.monotonic() - start, 2.0)
        app.stop()


class NoWindowManager(unittest.TestCase):
    def test_runs_with_the_overlay_below_normal_windows_and_ends_cleanly(self):
        with XSession(wm=False) as desk:
            client = XClient(desk.display)
            try:
                # With no window manager the root's children are the windows; the overlay,
                # made after this one, must go below it.
                normal = client.window(pid=1111, name="normal")
                app = Quillmere(desk)
                self.assertEqual(app.read_lines(len(LAUNCH_LINES)), LAUNCH_LINES)
                overlays = wait_for_overlay(desk)
                self.assertEqual(len(overlays), 1)
                client.wait_until(lambda: client.index(overlays[0]) < client.index(normal.id),
                                  "the overlay is below the normal window")
            finally:
                client.close()
            app.signal(signal.SIGTERM)
            self.assertEqual(app.wait(), 0)
            app.stop()

if __name__ == "__main__":
    unittest.main(verbosity=2)
