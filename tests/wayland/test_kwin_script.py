"""The KWin script client on a private KWin: the window list front to back with owners and
levels, activation and desktop changes, a keep-above window, the shortcut, refused reports from
strangers, a quiet desktop that costs no call, and the script taken out of KWin at the end and
a crashed instance's copy replaced at the start. One KWin serves every check: it costs a
fraction of a second to start, but the checks build on each other's windows anyway."""

import os
import re
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.kwin import OUTPUTS, KWinSession  # noqa: E402
from desktop.clients import TEST_WINDOW  # noqa: E402
from desktop.lines import LineClient  # noqa: E402
from desktop.session import start_for, wait_for  # noqa: E402

DRIVER = os.environ.get("QUILLMERE_KWIN_SCRIPT_DRIVER", "")
ACTIVATED = "WorkspaceDidActivateApplication"
SPACE = "WorkspaceActiveSpaceDidChange"
STATE = re.compile(r"driver: state loaded (\d) \| frontmost (\S+) \| windows(.*) \| "
                   r"requests (\d+)$")


class Driver(LineClient):
    """kwin_script_driver under the session."""

    def __init__(self, session):
        super().__init__(session, [DRIVER])

    def state(self):
        """(loaded, frontmost, [(number, pid, level, alpha)] or None, requests)"""
        match = STATE.match(self.ask("state", "driver: state"))
        windows = []
        for entry in match.group(3).split():
            if entry == "none":
                windows = None
                break
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
        self.session = start_for(self, KWinSession())
        print("KWin started in {:.2f} s".format(self.session.startup_seconds))
        self.scripts = 0

    def script(self, source):
        self.scripts += 1
        name = "quillmere-test-{}".format(self.scripts)
        self.session.kwin_script(name, source)
        return name

    def window(self, title, colour):
        return self.session.spawn([TEST_WINDOW, title, colour]).pid

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
        posted = driver.wait_line("driver: posted " + ACTIVATED, "the activation", mark)
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
        driver.wait_line("driver: posted " + SPACE, "the desktop change", mark)
        driver.wait_state(lambda s: s[2] == [], "an empty list on the second desktop")

        # The shortcut calls back.
        mark = driver.mark()
        session.invoke_shortcut("Toggle Quillmere")
        driver.wait_line("driver: shortcut", "the shortcut", mark)

        # A quiet desktop costs no call; a stranger's report is refused and changes nothing.
        before = driver.state()
        mark = driver.mark()
        service = driver.ask("service", "driver: service").split()[-1]
        forged = ('{"windows":[{"id":"x","pid":4242,"layer":2}],"active":4242,'
                  '"desktop":2}')
        result = session.run(["dbus-send", "--session", "--print-reply", "--dest=" + service,
                              "/org/quillmere/KWinScript", "org.quillmere.KWinScript.report",
                              "string:" + forged])
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("AccessDenied", result.stderr)
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
