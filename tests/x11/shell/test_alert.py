"""The permission alert on a private desktop: its texts as shown, and the answer that each way
of closing it gives. The launch notification without a session bus: nothing sent, nothing
printed, no wait; its exact call and a server that never answers are tested on the installed
program."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
from desktop.lines import LineClient  # noqa: E402
from desktop.session import wait_for  # noqa: E402
from desktop.xclient import XClient  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

HARNESS = os.environ["SHELL_HARNESS"]
PLAIN_TEXT = 0  # Qt::PlainText

MESSAGE = "Quillmere needs permission"
INFORMATIVE = ("To blur windows, Quillmere needs Accessibility permission. Please enable it in "
               "System Settings.")
FIRST = "Open System Settings"
SECOND = "I'll do it later"


class AlertTest(unittest.TestCase):
    def show_alert(self, desktop):
        """The harness showing the alert, and the centres of its buttons by their texts."""
        harness = LineClient(desktop, [HARNESS, "alert"])
        harness.expect("^alert shown$")
        labels = {}
        buttons = {}
        for line in harness.output():
            label = re.match(r"^alert label format=(\d+) text=(.*)$", line)
            if label:
                labels[label.group(2)] = int(label.group(1))
            button = re.match(r"^alert button (\d+) (\d+) (\d+) (\d+) text=(.*)$", line)
            if button:
                x, y, w, h = (int(v) for v in button.groups()[:4])
                buttons[button.group(5)] = (x + w // 2, y + h // 2)
        self.assertEqual(labels, {MESSAGE: PLAIN_TEXT, INFORMATIVE: PLAIN_TEXT})
        self.assertEqual(sorted(buttons), sorted([FIRST, SECOND]))
        return harness, buttons

    def test_texts_are_plain_and_each_way_of_answering_gives_its_response(self):
        # A button's text clicks it, "close" asks the box to close as a window manager's close
        # binding does, anything else is a key.
        ways = (("Return", 1000), (FIRST, 1000), (SECOND, 1001), ("Escape", 1001),
                ("close", 1001))
        for way, expected in ways:
            with self.subTest(way), XSession() as desktop:
                harness, buttons = self.show_alert(desktop)
                # Keys go to the focused window: on a loaded machine the box can be shown a
                # moment before it is given the focus.
                box = wait_for(desktop.active_window, "the alert to get the focus")
                if way in buttons:
                    desktop.click(*buttons[way])
                elif way == "close":
                    client = XClient(desktop.display)
                    client.request_close(box)
                    client.close()
                else:
                    desktop.key(way)
                response = int(harness.expect(r"^response (\d+)$").group(1))
                self.assertEqual(response, expected)
                self.assertEqual(harness.process.wait(timeout=5), 0)

    def test_a_notification_without_a_bus_sends_and_prints_nothing(self):
        with XSession(wm=False, bus=False) as desktop:
            harness = LineClient(desktop, [HARNESS, "notify", "/usr/share/quillmere/app-icon.png"])
            # Well below the bus's own reply timeout, which is 25 s.
            harness.expect("^sent$", timeout=10)
            self.assertEqual(harness.wait(timeout=10), 0)
            time.sleep(0.3)  # the last of its output read
            self.assertEqual((harness.output(), harness.errors), (["sent"], []))


if __name__ == "__main__":
    unittest.main()
