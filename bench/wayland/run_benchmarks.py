"""Figures of the Wayland backend on a private headless sway: how long an activation takes from
the focus command to the end of Quillmere's restack, how many IPC requests a quiet desktop
costs, the CPU of the quillmere executable left idle with 20 windows open, and for the blur
drawn from captures of the output: how long one capture of a full-HD output takes, how soon a
window's change shows in the blur, how often a screenshot finds the overlay hidden for a
capture, and the CPU while a window is dragged about.

usage: run_benchmarks.py BUILD_DIR [--quillmere PATH] [--idle-seconds N] [--only PART,...]
BUILD_DIR has quillmere_wayland_driver, wayland_test_window and wayland_capture_probe; PATH is the quillmere to
measure idle and under a moving window (a release build's, where there is one), BUILD_DIR's
by default. PART is one of activation, idle, capture, effect, flicker, move."""

import argparse
import contextlib
import os
import signal
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "wayland"))
sys.path.insert(0, os.path.join(ROOT, "tests"))
import test_capture  # noqa: E402
from desktop.clients import Driver  # noqa: E402
from desktop.session import parse_ppm, wait_for  # noqa: E402
from desktop.sway import WALLPAPER, SwaySession  # noqa: E402

ROUNDS = 40
IDLE_WINDOWS = 20
EFFECT_ROUNDS = 10
REFRESH_HZ = 60  # a headless output's default mode
# A floating window of its own colour that sway puts at a known spot of the 640x480 output.
# sway places it in the workspace, which starts past the session's outer gap of 40 points.
MOVER = (0xC0, 0x20, 0x80)
MOVER_SIZE = (200, 150)
PLACES = ((100, 100), (360, 260))  # in the workspace; their boxes on the output do not meet
MOVER_RULE = 'for_window [title="mover"] floating enable, move position {} {}'.format(*PLACES[0])
WORKSPACE_AT = 40


def on_output(place):
    return place[0] + WORKSPACE_AT, place[1] + WORKSPACE_AT


def centre_of(place):
    x, y = on_output(place)
    return x + MOVER_SIZE[0] // 2, y + MOVER_SIZE[1] // 2


GAP = (5, 5)  # bare wallpaper in the outer gap, which no window here ever covers


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
        wait_for(lambda: {w.pid for w in windows} <= set(session.pids()),
                 "the windows", timeout=60)
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
    driver_program = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with SwaySession() as session:
        first = session.spawn([window, "first", "#20c040"])
        second = session.spawn([window, "second", "#c02080"])
        wait_for(lambda: {first.pid, second.pid} <= set(session.pids()),
                 "the windows")
        driver = Driver(session, program=driver_program)
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

        # The blur's layout watch asks once a second; in dim only the ticks run.
        blur_before = int(driver.state()["ipc-requests"])
        time.sleep(3.0)
        blur_after = int(driver.state()["ipc-requests"])
        driver.send("mode Dim")
        time.sleep(0.2)
        before = int(driver.state()["ipc-requests"])
        time.sleep(3.0)
        after = int(driver.state()["ipc-requests"])

    ms = [1000 * value for value in latencies]
    print("activation to restack done, {} rounds: median {:.1f} ms, max {:.1f} ms".format(
        ROUNDS, statistics.median(ms), max(ms)))
    print("  counted from the start of swaymsg, which alone takes a median {:.1f} ms to start,"
          " send and exit".format(1000 * statistics.median(commands)))
    print("IPC requests during 3 s of quiet (30 ticks): {} in dim; {} with the blur's layout"
          " watch".format(after - before, blur_after - blur_before))


def close_to(actual, expected, tolerance=2):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


class Grim:
    """Screenshots of a box of the output by grim, each timed: grim starts, connects, has the
    compositor copy its next frame and writes a PPM, so each shot costs a few milliseconds."""

    def __init__(self, session):
        self.session = session
        self.durations = []

    def shot(self, x, y, width=1, height=1):
        """The box's pixel function (box coordinates) and the monotonic time the shot ended."""
        started = time.monotonic()
        result = self.session.run(["grim", "-t", "ppm", "-g",
                                   "{},{} {}x{}".format(x, y, width, height), "-"], text=False)
        ended = time.monotonic()
        if result.returncode != 0:
            raise AssertionError("grim failed: " + result.stderr.decode(errors="replace"))
        self.durations.append(ended - started)
        return parse_ppm(result.stdout)[2], ended

    def until(self, box, predicate, timeout=3.0):
        """Shots of `box` until `predicate(pixel)` holds: when that shot ended, or None."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            pixel, ended = self.shot(*box)
            if predicate(pixel):
                return ended
        return None


@contextlib.contextmanager
def blur_session(build):
    """A session with Quillmere's driver in blur (its default), once the first capture shows:
    gives the session, the driver and the gap's colour under the blur."""
    driver_program = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    with SwaySession([MOVER_RULE]) as session:
        driver = Driver(session, program=driver_program)
        wait_for(lambda: int(driver.state()["captures"]) > 0, "the first capture")
        time.sleep(1.0)  # the fade-in
        blurred = Grim(session).shot(*GAP)[0](0, 0)
        if close_to(blurred, WALLPAPER):
            sys.exit("the blur does not show over the wallpaper")
        yield session, driver, blurred


def open_mover(session, build):
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    process = session.spawn([window, "mover", "#{:02x}{:02x}{:02x}".format(*MOVER)])
    wait_for(lambda: process.pid in session.pids(), "the mover", timeout=20)
    return process


def close_mover(session, process):
    session.swaymsg('[title="mover"]', "kill")
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


def describe(label, seconds):
    found = [1000 * value for value in seconds if value is not None]
    missed = len(seconds) - len(found)
    text = "  {}: ".format(label)
    if found:
        text += "median {:.0f} ms, max {:.0f} ms over {}".format(
            statistics.median(found), max(found), len(found))
    if missed:
        text += "{}{} of {} never within 3 s".format("; " if found else "", missed, len(seconds))
    print(text)


def effect_latency(build, rounds):
    """From a window's change to the blur showing it: opened (the blur around it takes its
    colour), closed and moved away (where it was, the blur loses its colour). Where the blur
    misses an opened window, a switch to another workspace and back brings it in."""
    with blur_session(build) as (session, driver, blurred):
        grim = Grim(session)

        def strip(place):
            """A row across the window's left edge, from 8 points outside to its middle."""
            x, _ = on_output(place)
            return (x - 8, centre_of(place)[1], MOVER_SIZE[0] // 2 + 9, 1)

        def bled(pixel):
            colour = pixel(0, 0)
            return not close_to(colour, blurred, 6) and not close_to(colour, WALLPAPER, 6)

        def refresh(place):
            """Back from another workspace: when the blur shows the window at `place`."""
            session.swaymsg("workspace", "2")
            time.sleep(0.4)
            started = time.monotonic()
            session.swaymsg("workspace", "1")
            done = grim.until(strip(place), bled)
            return done and done - started

        def cleared(place):
            return grim.until(centre_of(place) + (1, 1),
                              lambda pixel: close_to(pixel(0, 0), blurred))

        shown, opened, switched, closed, moved, ghosts = [], [], [], [], [], 0
        for _ in range(rounds):
            started = time.monotonic()
            process = open_mover(session, build)
            inside = MOVER_SIZE[0] // 2 + 8
            seen = grim.until(strip(PLACES[0]),
                              lambda pixel: close_to(pixel(inside, 0), MOVER, 0), 20)
            done = grim.until(strip(PLACES[0]), bled)
            shown.append(seen and seen - started)
            opened.append(done and seen and done - seen)
            if not done:
                switched.append(refresh(PLACES[0]))
            time.sleep(0.5)
            started = time.monotonic()
            close_mover(session, process)
            gone = []
            grim.until(centre_of(PLACES[0]) + (1, 1),
                       lambda pixel: gone.append(pixel(0, 0)) or gone[-1] != MOVER, 5)
            ghosts += bool(gone) and not close_to(gone[-1], blurred) and not close_to(
                gone[-1], WALLPAPER)
            done = cleared(PLACES[0])
            closed.append(done and done - started)
            time.sleep(0.5)

        process = open_mover(session, build)
        for round_number in range(rounds):
            left, there = PLACES[round_number % 2], PLACES[1 - round_number % 2]
            refresh(left)
            time.sleep(0.3)
            started = time.monotonic()
            session.swaymsg('[title="mover"]', "move", "position", *map(str, there))
            done = cleared(left)
            moved.append(done and done - started)
        captures = driver.state()["captures"]

    print("window change to the blur showing it, {} rounds each (each time is when the first"
          " grim shot showing it ended; one 1-row grim shot takes a median {:.1f} ms, which the"
          " times include):".format(rounds, 1000 * statistics.median(grim.durations)))
    describe("opened: window start to its pixels on screen (the Qt client's start)", shown)
    describe("opened: its pixels on screen to its colour in the blur 8 points outside", opened)
    if switched:
        describe("missed opened window: swaymsg workspace back to its colour in the blur",
                 switched)
    describe("closed: swaymsg kill to the blur without it where it was", closed)
    describe("moved: swaymsg move position to the blur without it where it was", moved)
    print("  the closed window's ghost (its colour in the blur) in the first shot without it:"
          " {} of {}; captures taken in all: {}".format(ghosts, rounds, captures))


def flicker(build, seconds):
    """grim as fast as it goes at a gap while a window opens or closes every 300 ms: the shots
    that find the raw wallpaper there caught the overlay hidden for a capture."""
    with blur_session(build) as (session, driver, blurred):
        grim = Grim(session)
        stop = threading.Event()

        def churn():
            while not stop.is_set():
                process = open_mover(session, build)
                if stop.wait(0.3):
                    break
                close_mover(session, process)
                stop.wait(0.3)

        churner = threading.Thread(target=churn)
        before = int(driver.state()["captures"])
        churner.start()
        shots, others = [], {}
        started = time.monotonic()
        while time.monotonic() - started < seconds:
            shot_started = time.monotonic()
            pixel, ended = grim.shot(*GAP)
            colour = pixel(0, 0)
            kind = "blur" if close_to(colour, blurred) else (
                "raw" if close_to(colour, WALLPAPER, 1) else "other")
            if kind == "other":
                others[colour] = others.get(colour, 0) + 1
            shots.append((shot_started, ended, kind))
        elapsed = time.monotonic() - started
        stop.set()
        churner.join()
        captures = int(driver.state()["captures"]) - before

    raw = [shot for shot in shots if shot[2] == "raw"]
    runs, run = [], []
    for shot in shots:
        if shot[2] == "raw":
            run.append(shot)
        elif run:
            runs.append(run)
            run = []
    if run:
        runs.append(run)
    rate = len(shots) / elapsed
    hidden = len(raw) / len(shots) * elapsed  # the time the raw wallpaper showed, estimated
    print("overlay hidden for captures, {:.0f} s of grim at a gap while a window opens or closes"
          " every 300 ms:".format(elapsed))
    print("  {} of {} shots show the raw wallpaper ({:.1f} %); {} other colours {}".format(
        len(raw), len(shots), 100 * len(raw) / len(shots), sum(others.values()),
        sorted(others.items(), key=lambda item: -item[1])[:4] if others else ""))
    print("  grim: {:.1f} shots a second against the output's {} Hz ({:.1f} ms a shot; each"
          " waits for the next frame, so near {} a second it sees nearly every frame)".format(
              rate, REFRESH_HZ, 1000 * elapsed / len(shots), REFRESH_HZ))
    if captures:
        print("  {} captures: about {:.1f} ms = {:.2f} refreshes without the overlay per"
              " capture".format(captures, 1000 * hidden / captures,
                                hidden / captures * REFRESH_HZ))
    if runs:
        longest = max(runs, key=len)
        print("  {} runs of raw shots, the longest {} shots back to back ({:.0f} ms from the"
              " first one's start to the last one's end)".format(
                  len(runs), len(longest), 1000 * (longest[-1][1] - longest[0][0])))


def moving_window_cpu(build, program, seconds, driver_run, refocus):
    """CPU of `program` while a floating window is moved about without a pause, with `refocus`
    the focus going to a tiled window and back between moves (each a window event); the driver
    also tells how many captures that took. Returns the figures as text."""
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with SwaySession([MOVER_RULE]) as session:
        process = session.spawn([window, "mover", "#{:02x}{:02x}{:02x}".format(*MOVER)])
        other = session.spawn([window, "other", "#20c040"])
        wait_for(lambda: {process.pid, other.pid} <= set(session.pids()),
                 "the windows", timeout=20)
        if driver_run:
            driver = Driver(session, program=program)
            pid = driver.process.pid
        else:
            session.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(
                session.env["XDG_RUNTIME_DIR"], "no-bus")
            app = session.spawn([program], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            if app.stdout.readline().strip() != b"QuillmereApp started":
                sys.exit("quillmere did not start on the Wayland backend")
            pid = app.pid
        time.sleep(3)  # the launch, the fade-in and the first capture
        captures = int(driver.state()["captures"]) if driver_run else 0
        ticks, sched = stat_seconds(pid), sched_seconds(pid)
        moves = 0
        started = time.monotonic()
        while time.monotonic() - started < seconds:
            # Round and round the output, 10 points a move.
            step = moves % 80
            x = 10 * (step if step < 40 else 80 - step)
            y = 6 * (step if step < 40 else 80 - step)
            session.swaymsg('[title="mover"]', "move", "position", str(x), str(y))
            if refocus:
                session.swaymsg('[title="{}"]'.format("other" if moves % 2 else "mover"),
                                "focus")
            moves += 1
        elapsed = time.monotonic() - started
        ticks = stat_seconds(pid) - ticks
        sched = sched_seconds(pid) - sched
        if driver_run:
            captures = int(driver.state()["captures"]) - captures
    text = "  {}{}: {:.1f} % of one core from utime+stime ({:.2f} s), {:.1f} % from the" \
           " scheduler; {} moves ({:.0f} a second)".format(
               "driver" if driver_run else "quillmere", ", focus flipped" if refocus else "",
               100 * ticks / elapsed, ticks,
               100 * sched / elapsed, moves, moves / elapsed)
    if driver_run:
        text += "; {} captures ({:.1f} a second)".format(captures, captures / elapsed)
    return text


def moving_window(build, quillmere, seconds):
    driver = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    print("CPU while a floating window is moved for {:.0f} s with swaymsg move position in a"
          " loop, over a tiled window (blur, the default launch; moves alone send no window"
          " event, so the focus flips between moves too in the second pair):".format(seconds))
    for refocus in (False, True):
        print(moving_window_cpu(build, quillmere, seconds, False, refocus))
        print(moving_window_cpu(build, driver, seconds, True, refocus))


def capture_time(build):
    """Captures of a 1920x1080 output one after the other, each timed from the command to the
    probe's answer (the pipes add well under a millisecond)."""
    test_capture.PROBE = os.path.join(build, "tests/wayland/wayland_capture_probe")
    with SwaySession(["output HEADLESS-1 mode 1920x1080"]) as session:
        probe = test_capture.Probe(session)
        probe.capture("HEADLESS-1")  # the buffer is made once, before the rounds
        cpu = sched_seconds(probe.process.pid)  # setpriv runs the probe in its own place
        times = []
        for _ in range(ROUNDS):
            started = time.monotonic()
            probe.capture("HEADLESS-1")
            times.append(1000 * (time.monotonic() - started))
        cpu = sched_seconds(probe.process.pid) - cpu
    print("capture of a 1920x1080 output, request to image, {} rounds: median {:.1f} ms,"
          " max {:.1f} ms".format(ROUNDS, statistics.median(times), max(times)))
    print("  the probe's CPU per capture: {:.2f} ms (the rest waits for sway's next frame)".format(
        1000 * cpu / ROUNDS))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("build")
    parser.add_argument("--quillmere")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--only", default="activation,idle,capture,effect,flicker,move")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    quillmere = os.path.abspath(args.quillmere or os.path.join(build, "bin/quillmere"))
    parts = args.only.split(",")
    if "activation" in parts:
        activation_and_quiet_ipc(build)
    if "idle" in parts:
        idle_cpu(build, quillmere, args.idle_seconds)
    if "capture" in parts:
        capture_time(build)
    if "effect" in parts:
        effect_latency(build, EFFECT_ROUNDS)
    if "flicker" in parts:
        flicker(build, 5.0)
    if "move" in parts:
        moving_window(build, quillmere, 10.0)


if __name__ == "__main__":
    main()
