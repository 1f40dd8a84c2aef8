"""The launch notification on a private session bus: its exact call as a bus monitor sees it,
and no wait when the server never answers or there is no bus at all."""

import os
import re
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import Desktop, Harness, wait_until  # noqa: E402

HARNESS = os.environ["SHELL_HARNESS"]
ICON = "/usr/share/quillmere/app-icon.png"
# No test here may wait for the bus's own reply timeout, which is 25 s.
PROMPT = 10


def notify_calls(monitor_output):
    """The argument lines of each Notify call in dbus-monitor's output."""
    calls = []
    current = None
    for line in monitor_output.splitlines():
        if line.startswith("method call ") and "member=Notify" in line:
            current = []
            calls.append(current)
        elif re.match(r"^(method|signal|error|method return) ", line):
            current = None
        elif current is not None:
            current.append(line.strip())
    return calls


class NotificationTest(unittest.TestCase):
    def test_the_call_carries_exactly_our_texts(self):
        with Desktop(window_manager=False) as desktop:
            log = os.path.join(desktop.dir, "monitor.log")
            with open(log, "w") as out:
                monitor = desktop.spawn(
                    ["dbus-monitor", "--session",
                     "type='method_call',interface='org.freedesktop.Notifications'"],
                    stdout=out)
            wait_until(lambda: "NameAcquired" in open(log).read() or
                       "NameLost" in open(log).read(), what="the bus monitor")
            harness = Harness(desktop, HARNESS, "notify", ICON)
            harness.expect("^sent$")
            self.assertEqual(harness.process.wait(timeout=PROMPT), 0)
            calls = wait_until(lambda: notify_calls(open(log).read()), what="the Notify call")
            monitor.terminate()
        self.assertEqual(len(calls), 1)
        self.assertEqual(calls[0], [
            'string "Quillmere"',
            "uint32 0",
            'string "%s"' % ICON,
            'string "Quillmere is Active"',
            'string "Check your Menu Bar (look for the dotted circle) to control the effects."',
            "array [", "]",
            "array [", "]",
            "int32 -1",
        ])

    def test_a_server_that_never_answers_does_not_hold_up_the_caller(self):
        with Desktop(window_manager=False) as desktop:
            server = Harness(desktop, HARNESS, "silent-server")
            server.expect("^owned$")
            server.process.send_signal(signal.SIGSTOP)
            try:
                harness = Harness(desktop, HARNESS, "notify", "")
                harness.expect("^sent$", timeout=PROMPT)
                self.assertEqual(harness.process.wait(timeout=PROMPT), 0)
            finally:
                server.process.send_signal(signal.SIGCONT)

    def test_without_a_bus_nothing_is_sent_and_nothing_printed(self):
        with Desktop(window_manager=False, bus=False) as desktop:
            harness = Harness(desktop, HARNESS, "notify", ICON)
            harness.expect("^sent$", timeout=PROMPT)
            self.assertEqual(harness.process.wait(timeout=PROMPT), 0)
            harness.drain()
            self.assertEqual(harness.error_lines(), [])


if __name__ == "__main__":
    unittest.main()
