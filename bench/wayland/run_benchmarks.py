"""Figures of the Wayland backend on a private headless sway: how long an activation takes from
the focus command to the end of Quillmere's restack, and how many IPC requests a quiet desktop
costs. Usage: python3 bench/wayland/run_benchmarks.py BUILD_DIR (a build with
quillmere_wayland_driver and wayland_test_window)."""

import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "wayland"))
import test_overlays  # noqa: E402
from sway_session import SwaySession, wait_for  # noqa: E402

ROUNDS = 40


def main(build):
    test_overlays.DRIVER = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with SwaySession() as session:
        first = session.spawn([window, "first", "#20c040"])
        second = session.spawn([window, "second", "#c02080"])
        wait_for(lambda: {first.pid, second.pid} <= set(test_overlays.pids_in(session)),
                 "the windows")
        driver = test_overlays.Driver(session)
        driver.send("watch")
        time.sleep(0.3)

        # Each round focuses the window that does not have the focus.
        titles = ["first", "second"]
        if driver.state()["frontmost"] == str(first.pid):
            titles.reverse()
        latencies, commands = [], []
        for round_number in range(ROUNDS):
            title = titles[round_number % 2]
            with driver.lock:
                seen = len(driver.lines)
            started = time.monotonic()
            session.swaymsg('[title="{}"]'.format(title), "focus")
            commands.append(time.monotonic() - started)

            def activation():
                with driver.lock:
                    fresh = [line for line in driver.lines[seen:]
                             if line.startswith("driver: activated ")]
                return fresh[0] if fresh else None

            line = wait_for(activation, "the activation")
            latencies.append(float(line.split()[-1]) - started)

        before = int(driver.state()["ipc-requests"])
        time.sleep(3.0)
        after = int(driver.state()["ipc-requests"])

    ms = [1000 * value for value in latencies]
    print("activation to restack done, {} rounds: median {:.1f} ms, max {:.1f} ms".format(
        ROUNDS, statistics.median(ms), max(ms)))
    print("  counted from the start of swaymsg, which alone takes a median {:.1f} ms to start,"
          " send and exit".format(1000 * statistics.median(commands)))
    print("IPC requests during 3 s of quiet (30 ticks): {}".format(after - before))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
