"""The quillmere executable's choice of backend, one instance per Wayland session, --toggle
through the session's socket, and its exits, on private headless sways (and one private Xvfb
for --backend=x11). No session bus is reached: the address names a socket where none listens."""

import os
import signal
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.clients import LAUNCH_LINES, QUILLMERE, Quillmere  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402
from desktop.sway import SwaySession  # noqa: E402
from desktop.x11 import start_xvfb  # noqa: E402


class EntryPointTest(unittest.TestCase):
    def run_quillmere(self, session, args, env=None):
        result = session.run([QUILLMERE] + list(args), env=env)
        return result.returncode, result.stdout, result.stderr

    def assert_one_line(self, stderr, expected):
        self.assertEqual(len(stderr.splitlines()), 1, stderr)
        self.assertIn(expected, stderr)

    def test_one_instance_per_session_toggled_through_its_socket_and_ended_by_sigterm(self):
        session = start_for(self, SwaySession())
        # Options that cannot run start nothing.
        without_wayland = {k: v for k, v in session.env.items() if k != "WAYLAND_DISPLAY"}
        status, out, err = self.run_quillmere(session, ["--backend=wayland"], without_wayland)
        self.assertEqual((status, out), (1, ""))
        self.assert_one_line(err, "WAYLAND_DISPLAY is not set")
        # None runs yet: --toggle says so at once, on this session's display (with --backend=wayland
        # and an X display there too: the test below).
        started = time.monotonic()
        status, out, err = self.run_quillmere(session, ["--toggle"])
        self.assertEqual((status, out), (1, ""))
        self.assert_one_line(err, 'not running on Wayland display "{}"'.format(
            session.env["WAYLAND_DISPLAY"]))
        self.assertLess(time.monotonic() - started, 1.0)

        app = Quillmere(session)
        app.wait_for_lines(LAUNCH_LINES, "the launch on the Wayland backend")

        status, out, err = self.run_quillmere(session, [])
        self.assertEqual((status, out), (0, ""))
        self.assert_one_line(err, 'already running on Wayland display "{}"'.format(
            session.env["WAYLAND_DISPLAY"]))

        # The rest of --toggle, shared with X11, is pinned there (tests/x11/test_lifecycle.py).
        status, out, err = self.run_quillmere(session, ["--toggle"])
        self.assertEqual((status, out, err), (0, "", ""))
        expected = LAUNCH_LINES + ["Toggled effect: false"]
        app.wait_for_lines(expected, "the toggle")

        # Only the exact request is taken: tests/qt/session_channel_test.cpp.
        path = os.path.join(session.env["XDG_RUNTIME_DIR"], "quillmere-{}.socket".format(
            session.env["WAYLAND_DISPLAY"]))
        # Four silent clients at once are all it keeps, each for a second; a fifth is closed.
        silent = [socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) for _ in range(5)]
        try:
            for client in silent:
                client.settimeout(3)
                client.connect(path)
            started = time.monotonic()
            self.assertEqual(silent[4].recv(64), b"")
            self.assertLess(time.monotonic() - started, 0.5)
            self.assertEqual(silent[0].recv(64), b"")
            self.assertGreaterEqual(time.monotonic() - started, 0.8)
            self.assertLess(time.monotonic() - started, 1.5)
        finally:
            for client in silent:
                client.close()
        status, _, err = self.run_quillmere(session, ["--toggle"])
        self.assertEqual(status, 0, err)
        expected.append("Toggled effect: true")
        app.wait_for_lines(expected, "the toggle after the silent clients")

        app.process.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(), 0)
        # The next one takes the session over.
        again = Quillmere(session)
        again.wait_for_lines(LAUNCH_LINES, "the launch after the first ended")
        started = time.monotonic()
        session.kill_compositor()
        self.assertEqual(again.wait(), 1)
        self.assertLess(time.monotonic() - started, 2.0)

    def test_x11_runs_when_asked_or_when_the_wayland_display_offers_no_layer_shell(self):
        if os.environ.get("QUILLMERE_X11_BUILT") != "1":
            # A Wayland-only build says so and starts nothing.
            status, _, err = self.run_quillmere(start_for(self, SwaySession()), ["--backend=x11"])
            self.assertEqual(status, 1)
            self.assert_one_line(err, "this build has no X11 backend")
            return
        session = start_for(self, SwaySession())
        xvfb, display = start_xvfb(session, "640x480x24")
        env = dict(session.env, DISPLAY=display)
        app = Quillmere(session, ["--backend=x11"], env)
        wait_for(lambda: "QuillmereApp started" in app.output(), "the launch on the X11 backend")
        # The Wayland session has no instance to toggle.
        status, _, err = self.run_quillmere(session, ["--toggle", "--backend=wayland"], env)
        self.assertEqual(status, 1)
        app.process.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(), 0)

        # A Wayland display without layer-shell (here: none at all) leaves the choice to X11.
        env["WAYLAND_DISPLAY"] = "wayland-none"
        app = Quillmere(session, [], env)
        wait_for(lambda: "QuillmereApp started" in app.output(), "the launch on X11 by choice")
        # --toggle finds no instance of that Wayland session and asks the X display's.
        status, _, err = self.run_quillmere(session, ["--toggle"], env)
        self.assertEqual(status, 0, err)
        wait_for(lambda: "Toggled effect: false" in app.output(), "the toggle on X11")
        app.process.send_signal(signal.SIGTERM)
        self.assertEqual(app.wait(), 0)
        xvfb.kill()


if __name__ == "__main__":
    unittest.main()
