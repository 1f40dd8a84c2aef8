"""The launch notification without a session bus: nothing sent, nothing printed, no wait. Its
exact call and a server that never answers are tested on the installed program."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from desktop.lines import LineClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

HARNESS = os.environ["SHELL_HARNESS"]
ICON = "/usr/share/quillmere/app-icon.png"
# Well below the bus's own reply timeout, which is 25 s.
PROMPT = 10


class NotificationTest(unittest.TestCase):
    def test_without_a_bus_nothing_is_sent_and_nothing_printed(self):
        with XSession(wm=False, bus=False) as desktop:
            harness = LineClient(desktop, [HARNESS, "notify", ICON])
            harness.expect("^sent$", timeout=PROMPT)
            self.assertEqual(harness.wait(timeout=PROMPT), 0)
            harness.drain()
            self.assertEqual(harness.errors, [])


if __name__ == "__main__":
    unittest.main()
