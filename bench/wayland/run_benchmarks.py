"""Figures of the Wayland backend on a private headless sway: how long an activation takes from
the focus command to the end of Quillmere's restack, how many IPC requests a quiet desktop
costs, the CPU of the quillmere executable left idle with 20 windows open, and how long one
capture of a full-HD output takes from the request to the image.

usage: run_benchmarks.py BUILD_DIR [--quillmere PATH] [--idle-seconds N] [--capture-only]
BUILD_DIR has quillmere_wayland_driver, wayland_test_window and wayland_capture_probe; PATH is
the quillmere to measure idle (a release build's, where there is one), BUILD_DIR's by default."""

import argparse
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "wayland"))
import test_capture  # noqa: E402
import test_overlays  # noqa: E402
from sway_session import SwaySession, wait_for  # noqa: E402

ROUNDS = 40
IDLE_WINDOWS = 20


def stat_seconds(pid):
    """utime + stime of the whole process from /proc/<pid>/stat, in clock ticks' resolution."""
    with open("/proc/{}/stat".format(pid)) as source:
        fields = source.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def sched_seconds(pid):
    """CPU time of every thread from the scheduler, in nanoseconds' resolution."""
    total = 0
    for task in os.listdir("/proc/{}/task".format(pid)):
        try:
            with open("/proc/{}/task/{}/schedstat".format(pid, task)) as source:
                total += int(source.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that ended in between
    return total / 1e9


def wakeups(pid):
    """Context switches of every thread: each is a wake-up of a thread that slept."""
    total = 0
    for task in os.listdir("/proc/{}/task".format(pid)):
        try:
            with open("/proc/{}/task/{}/status".format(pid, task)) as source:
                for line in source:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
        except FileNotFoundError:
            pass
    return total


def idle_cpu(build, quillmere, seconds):
    """quillmere idle for `seconds` on a full-HD output with 20 tiled windows, no bus."""
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with SwaySession(["output HEADLESS-1 mode 1920x1080"]) as session:
        windows = [session.spawn([window, "window {}".format(i), "#20c040"])
                   for i in range(IDLE_WINDOWS)]
        wait_for(lambda: {w.pid for w in windows} <= set(test_overlays.pids_in(session)),
                 "the windows", timeout=60)
        session.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(
            session.env["XDG_RUNTIME_DIR"], "no-bus")
        app = session.spawn([quillmere], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if app.stdout.readline().strip() != b"QuillmereApp started":
            sys.exit("quillmere did not start on the Wayland backend")
        time.sleep(3)  # the launch and the fade-in
        pid = app.pid  # setpriv runs quillmere in its own place
        ticks, sched, switches = stat_seconds(pid), sched_seconds(pid), wakeups(pid)
        started = time.monotonic()
        time.sleep(seconds)
        elapsed = time.monotonic() - started
        ticks = stat_seconds(pid) - ticks
        sched = sched_seconds(pid) - sched
        switches = wakeups(pid) - switches
        if app.poll() is not None:
            sys.exit("quillmere ended during the idle time")
    print("idle quillmere, {} windows, {:.0f} s: {:.3f} % of one core from utime+stime"
          " ({:.2f} s CPU)".format(IDLE_WINDOWS, elapsed, 100 * ticks / elapsed, ticks))
    print("  from the scheduler's clock: {:.3f} % ({:.3f} s CPU); {:.1f} wake-ups a second".format(
        100 * sched / elapsed, sched, switches / elapsed))


def activation_and_quiet_ipc(build):
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


def capture_time(build):
    """Captures of a 1920x1080 output one after the other, each timed in the probe."""
    test_capture.PROBE = os.path.join(build, "tests/wayland/wayland_capture_probe")
    with SwaySession(["output HEADLESS-1 mode 1920x1080"]) as session:
        probe = test_capture.Probe(session)
        probe.ask("time HEADLESS-1 1", "time")  # the buffer is made once, before the rounds
        cpu = sched_seconds(probe.process.pid)  # setpriv runs the probe in its own place
        _, count, median, worst = probe.ask("time HEADLESS-1 {}".format(ROUNDS), "time").split()
        cpu = sched_seconds(probe.process.pid) - cpu
    print("capture of a 1920x1080 output, request to image, {} rounds: median {:.1f} ms,"
          " max {:.1f} ms".format(count, float(median), float(worst)))
    print("  the probe's CPU per capture: {:.2f} ms (the rest waits for sway's next frame)".format(
        1000 * cpu / int(count)))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("build")
    parser.add_argument("--quillmere")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--capture-only", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    capture_time(build)
    if args.capture_only:
        return
    activation_and_quiet_ipc(build)
    idle_cpu(build, os.path.abspath(args.quillmere or os.path.join(build, "platform/x11/quillmere")),
             args.idle_seconds)


if __name__ == "__main__":
    main()
