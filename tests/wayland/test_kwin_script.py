"""The KWin script client on a private KWin: the window list front to back with owners and
levels, activation and desktop changes, a keep-above window, the shortcut, refused reports from
strangers, a quiet desktop that costs no call, and the script taken out of KWin at the end and
a crashed instance's copy replaced at the start. One KWin serves every check: it costs a
fraction of a second to start, but the checks build on each other's windows anyway."""

import os
import re
import signal
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kwin_session import OUTPUTS, KWinSession, KWinUnavailable, wait_for  # noqa: E402

DRIVER = os.environ.get("QUILLMERE_KWIN_SCRIPT_DRIVER", "")
TEST_WINDOW = os.environ.get("QUILLMERE_WAYLAND_TEST_WINDOW", "")
ACTIVATED = "WorkspaceDidActivateApplication"
SPACE = "WorkspaceActiveSpaceDidChange"
STATE = re.compile(r"driver: state loaded (\d) \| frontmost (\S+) \| windows(.*) \| "
                   r"requests (\d+)$")


class Driver:
    """kwin_script_driver under the session, its standard output collected line by line."""

    def __init__(self, session):
        self.process = session.spawn([DRIVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.lines = []
        self.lock = threading.Lock()
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        for raw in self.process.stdout:
            with self.lock:
                self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def mark(self):
        with self.lock:
            return len(self.lines)

    def since(self, mark, prefix):
        with self.lock:
            return [line for line in self.lines[mark:] if line.startswith(prefix)]

    def wait_line(self, mark, prefix, what, timeout=10):
        return wait_for(lambda: self.since(mark, prefix), what, timeout)[0]

    def send(self, command):
        self.process.stdin.write(command.encode() + b"\n")
        self.process.stdin.flush()

    def state(self):
        """(loaded, frontmost, [(number, pid, level, alpha)], requests)"""
        mark = self.mark()
        self.send("state")
        match = STATE.match(self.wait_line(mark, "driver: state", "the driver's state"))
        windows = []
        for entry in match.group(3).split():
            if entry == "none":
                return bool(int(match.group(1))), match.group(2), None, int(match.group(4))
            number, pid, level, alpha = entry.split(":")
            windows.append((int(number), int(pid), int(level), float(alpha)))
        return bool(int(match.group(1))), match.group(2), windows, int(match.group(4))

    def wait_state(self, predicate, what, timeout=10):
        return wait_for(lambda: (lambda s: s if predicate(s) else None)(self.state()), what,
                        timeout)


def for_caption(caption, action):
    """A KWin script body that does `action` (JavaScript, on `window`) to the window titled
    `caption`."""
    return ("var all = workspace.clientList();\n"
            "for (var i = 0; i < all.length; ++i) {\n"
            "  var window = all[i];\n"
            "  if (window.caption === '%s') { %s }\n"
            "}\n" % (caption, action))


class KWinScriptClientTest(unittest.TestCase):
    def setUp(self):
        if not DRIVER or not TEST_WINDOW:
            self.skipTest("the driver or the test window is not built")
        try:
            self.session = KWinSession().__enter__()
        except KWinUnavailable as reason:
            self.skipTest(str(reason))
        self.addCleanup(self.session.close)
        print("KWin started in {:.2f} s".format(self.session.startup_seconds))
        self.scripts = 0

    def script(self, source):
        self.scripts += 1
        name = "quillmere-test-{}".format(self.scripts)
        self.session.kwin_script(name, source)
        return name

    def window(self, title, colour):
        return self.session.spawn([TEST_WINDOW, title, colour], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).pid

    def test_the_script_feeds_the_window_list_and_leaves_with_quillmere(self):
        session = self.session
        # An instance that crashed leaves its script in KWin, reporting to nobody.
        crashed = Driver(session)
        crashed.wait_state(lambda s: s[0], "the first instance's script")
        os.killpg(crashed.process.pid, signal.SIGKILL)
        crashed.process.wait()
        self.assertTrue(session.script_loaded("quillmere"))

        red = self.window("red", "#ff0000")
        driver = Driver(session)
        state = driver.wait_state(lambda s: s[0] and s[2] and len(s[2]) == 1,
                                  "the red window in a fresh instance's list")
        green = self.window("green", "#00ff00")
        loaded, frontmost, windows, _ = driver.wait_state(
            lambda s: s[2] and len(s[2]) == 2 and s[1] == str(green), "the green window in front")
        self.assertEqual([w[1] for w in windows], [green, red])
        self.assertEqual([w[2] for w in windows], [0, 0])
        self.assertEqual([w[3] for w in windows], [1.0, 1.0])
        self.assertNotIn(-1, [w[0] for w in windows])
        numbers = {w[1]: w[0] for w in windows}
        self.assertEqual(numbers[red], state[2][0][0], "the red window kept its number")
        width, height, pixel = session.screenshot(OUTPUTS[0])
        self.assertEqual(pixel(width // 2, height // 2), (0, 255, 0))

        # Activation: the notification comes once the cache holds the new frontmost window.
        mark = driver.mark()
        self.script(for_caption("red", "print('activating ' + Date.now()); "
                                       "workspace.activeClient = window;"))
        posted = driver.wait_line(mark, "driver: posted " + ACTIVATED, "the activation")
        _, frontmost, windows, _ = driver.state()
        self.assertEqual(frontmost, str(red))
        self.assertEqual([w[1] for w in windows], [red, green])
        started = re.findall(r"activating (\d+)", session.log())
        if started:
            print("activation to cache: {} ms".format(int(posted.split()[-1]) - int(started[-1])))

        # A keep-above window stands at level 3, in front of the active one.
        self.script(for_caption("green", "window.keepAbove = true;"))
        _, _, windows, _ = driver.wait_state(lambda s: s[2] and s[2][0][2] == 3,
                                             "the keep-above level")
        self.assertEqual([(w[1], w[2]) for w in windows], [(green, 3), (red, 0)])
        self.assertEqual({w[1]: w[0] for w in windows}, numbers)

        # Another desktop shows neither window.
        mark = driver.mark()
        self.script("workspace.createDesktop(1, 'Second');\nworkspace.currentDesktop = 2;\n")
        driver.wait_line(mark, "driver: posted " + SPACE, "the desktop change")
        driver.wait_state(lambda s: s[2] == [], "an empty list on the second desktop")

        # The shortcut calls back.
        mark = driver.mark()
        session.invoke_shortcut("Toggle Quillmere")
        driver.wait_line(mark, "driver: shortcut", "the shortcut")

        # A quiet desktop costs no call; a stranger's report is refused and changes nothing.
        before = driver.state()
        mark = driver.mark()
        driver.send("service")
        service = driver.wait_line(mark, "driver: service", "the service name").split()[-1]
        forged = ('{"windows":[{"id":"x","pid":4242,"layer":2}],"active":4242,'
                  '"desktop":2}')
        result = session.run(["dbus-send", "--session", "--print-reply", "--dest=" + service,
                              "/org/quillmere/KWinScript", "org.quillmere.KWinScript.report",
                              "string:" + forged])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(b"AccessDenied", result.stderr)
        time.sleep(0.3)
        after = driver.state()
        self.assertEqual(after, before)
        self.assertEqual(driver.since(mark, "driver: posted"), [])

        # SIGTERM ends through the normal path, which takes the script out of KWin.
        driver.process.send_signal(signal.SIGTERM)
        self.assertEqual(driver.process.wait(10), 0)
        self.assertFalse(session.script_loaded("quillmere"))


if __name__ == "__main__":
    unittest.main()
