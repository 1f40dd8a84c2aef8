"""Figures of the Wayland backend on a private headless KWin 5.27 (two virtual 1280x720
outputs, software GL): how long an activation takes from a KWin script's activation to the end
of Quillmere's restack, how many D-Bus calls a quiet desktop costs, how long the overlays take
to move up below a keep-above window and back down, and the CPU of the quillmere executable
left idle with 20 windows open under KWin's own blur.

usage: run_kwin_benchmarks.py BUILD_DIR [--quillmere PATH] [--idle-seconds N] [--rounds N]
                              [--only PART,...]
BUILD_DIR has quillmere_wayland_driver and wayland_test_window; PATH is the quillmere to measure
idle (a release build's, where there is one), BUILD_DIR's by default. PART is one of
activation, layers, idle."""

import argparse
import os
import re
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tests"))
from desktop.clients import Driver  # noqa: E402
from desktop.kwin import KWinSession  # noqa: E402
from desktop.session import SessionUnavailable, wait_for  # noqa: E402
from run_benchmarks import sched_seconds, stat_seconds, wakeups  # noqa: E402

ROUNDS = 20
IDLE_WINDOWS = 20
QUIET_SECONDS = 3.0


class Scripts:
    """KWin scripts of the benchmark's own, each run once under a fresh plugin name and taken
    out again, so that KWin does not pile them up."""

    def __init__(self, session):
        self.session = session
        self.count = 0

    def load(self, source):
        self.count += 1
        name = "quillmere-bench-{}".format(self.count)
        path = os.path.join(self.session.base, name + ".js")
        with open(path, "w") as out:
            out.write(source)
        os.chmod(path, 0o644)
        self.session.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.loadScript",
                          "string:" + path, "string:" + name)
        return name

    def start(self):
        """Runs the scripts loaded and not yet running."""
        self.session.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.start")

    def unload(self, name):
        self.session.dbus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.unloadScript",
                          "string:" + name)

    def printed(self, tag):
        """The last number a script printed after `tag` in KWin's log, or None."""
        found = re.findall(re.escape(tag) + r" (-?\d+)", self.session.log())
        return int(found[-1]) if found else None

    def window_count(self):
        tag = "bench-windows-{}".format(self.count + 1)
        name = self.load("print('{} ' + workspace.clientList().length);\n".format(tag))
        self.start()
        count = wait_for(lambda: self.printed(tag) is not None and [self.printed(tag)],
                         "the window count")[0]
        self.unload(name)
        return count


class BusMonitor:
    """dbus-monitor on the session's bus, counting the messages one unique name sends: method
    calls, replies, errors and signals alike, whatever Quillmere's own counter sees."""

    HEADER = re.compile(r"^(method call|method return|error|signal) .*sender=(\S+)")

    def __init__(self, session, sender):
        self.sender = sender
        self.count = 0
        self.lock = threading.Lock()
        self.process = session.spawn(["dbus-monitor", "--session", "sender='{}'".format(sender)],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        threading.Thread(target=self._collect, daemon=True).start()
        time.sleep(0.3)  # the monitor's own hello and match rule

    def _collect(self):
        for raw in self.process.stdout:
            match = self.HEADER.match(raw.decode(errors="replace"))
            if match and match.group(2) == self.sender:
                with self.lock:
                    self.count += 1

    def sent(self):
        with self.lock:
            return self.count


def unique_name(session, pid):
    """The bus connection of the Quillmere process `pid`, from the name its KWin client owns."""
    reply = session.dbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus.GetNameOwner",
                         "string:org.quillmere.Quillmere.KWin.Pid{}".format(pid))
    return re.search(r'string "([^"]+)"', reply).group(1)


def load_blur(session):
    """KWin's blur effect, which Quillmere's launch asks for behind its overlays. KWin serves
    its effects a little after it takes its name on the bus."""
    def loaded():
        try:
            return "boolean true" in session.dbus(
                "org.kde.KWin", "/Effects", "org.kde.kwin.Effects.loadEffect", "string:blur")
        except AssertionError:
            return False
    try:
        wait_for(loaded, "KWin's blur effect", timeout=10)
    except AssertionError:
        sys.exit("KWin's blur effect would not load")


def open_windows(session, build, count):
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    return [session.spawn([window, "window {}".format(i), "#20c040"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL) for i in range(count)]


def for_caption(caption, action):
    return ("var all = workspace.clientList();\n"
            "for (var i = 0; i < all.length; ++i) {\n"
            "  var window = all[i];\n"
            "  if (window.caption === '%s') { %s }\n"
            "}\n" % (caption, action))


def spread(ms):
    """Median, the 90th percentile and the max: on a shared CPU the max is one bad moment."""
    return "median {:.1f} ms, 90th percentile {:.1f} ms, max {:.1f} ms".format(
        statistics.median(ms), statistics.quantiles(ms, n=10)[-1], max(ms))


def activation_and_quiet_calls(build, rounds):
    driver_program = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with KWinSession() as session:
        load_blur(session)
        scripts = Scripts(session)
        driver = Driver(session, program=driver_program)
        pids = {title: session.spawn([window, title, colour], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL).pid
                for title, colour in (("first", "#20c040"), ("second", "#c02080"))}

        def listed():
            windows = driver.state()["windows"].split()
            return {int(entry.split(":")[1]) for entry in windows if ":" in entry}
        wait_for(lambda: set(pids.values()) <= listed(), "the windows in the list", timeout=30)
        driver.send("watch")
        monitor = BusMonitor(session, unique_name(session, driver.process.pid))

        # Each round activates the window that is not active.
        titles = ["first", "second"]
        if driver.state()["frontmost"] == str(pids["first"]):
            titles.reverse()
        from_script, from_call, wrong = [], [], 0
        replies = monitor.sent()
        for round_number in range(rounds):
            title = titles[round_number % 2]
            tag = "bench-activating-{}".format(round_number)
            name = scripts.load(for_caption(title, "print('{} ' + Date.now()); "
                                                   "workspace.activeClient = window;".format(tag)))
            with driver.lock:
                seen = len(driver.lines)
            # The wall clock against the monotonic one, to read the script's Date.now().
            before = time.monotonic()
            offset = time.time() - (before + time.monotonic()) / 2
            started = time.monotonic()
            scripts.start()

            def activation():
                with driver.lock:
                    fresh = [line for line in driver.lines[seen:]
                             if line.startswith("driver: activated ")]
                return fresh[0] if fresh else None

            done = float(wait_for(activation, "the activation").split()[-1])
            from_call.append(done - started)
            activated = wait_for(lambda: scripts.printed(tag), "the script's time")
            from_script.append(done - (activated / 1000.0 - offset))
            scripts.unload(name)
            wrong += driver.state()["frontmost"] != str(pids[title])
            time.sleep(0.1)
        replies = monitor.sent() - replies

        # A quiet desktop, in the launch's blur and in dim: Quillmere's own count of the calls
        # it made, and every message its connection sent as the bus saw them.
        quiet = []
        for mode in ("blur", "dim"):
            if mode == "dim":
                driver.send("mode Dim")
                time.sleep(0.3)
            calls, messages = int(driver.state()["ipc-requests"]), monitor.sent()
            time.sleep(QUIET_SECONDS)
            quiet.append((mode, int(driver.state()["ipc-requests"]) - calls,
                          monitor.sent() - messages))

    script_ms = [1000 * value for value in from_script]
    call_ms = [1000 * value for value in from_call]
    print("activation to restack done on KWin, {} rounds ({} ended with the wrong frontmost"
          " window):".format(rounds, wrong))
    print("  from the activating script's Date.now() (ms resolution, read against the monotonic"
          " clock): {}".format(spread(script_ms)))
    print("  from just before the D-Bus call that starts the script (dbus-send, KWin running"
          " it): {}".format(spread(call_ms)))
    print("  includes KWin's activation and restack, the report script's pass (its timer, the"
          " window list as JSON), the D-Bus call through the bus to Quillmere, the cache,"
          " Quillmere's restack and the driver's line")
    print("  Quillmere's connection sent {} messages in those rounds (its answers to the"
          " script's reports)".format(replies))
    for mode, calls, messages in quiet:
        print("D-Bus calls during {:.0f} s of quiet ({:.0f} ticks), {}: {} by Quillmere's count;"
              " {} messages from its connection on the bus".format(
                  QUIET_SECONDS, QUIET_SECONDS * 10, mode, calls, messages))


# Prints, on KWin's clock, each time one of Quillmere's windows changes its keep-above (the
# stacking script's nudge, after which the window stands in its new layer), and each time one
# of them is made, taken away or activated.
LAYER_WATCHER = """
var own = %d;
function watch(w) {
  if (w.pid !== own) return;
  w.keepAboveChanged.connect(function() { print('bench-moved ' + w.layer + ' ' + Date.now()); });
}
workspace.clientList().forEach(watch);
workspace.clientAdded.connect(function(w) {
  if (w.pid === own) print('bench-own-added ' + Date.now());
  watch(w);
});
workspace.clientRemoved.connect(function(w) {
  if (w.pid === own) print('bench-own-removed ' + Date.now());
});
workspace.clientActivated.connect(function(w) {
  if (w && w.pid === own) print('bench-own-activated ' + Date.now());
});
"""
ABOVE_LAYER, BELOW_LAYER = 4, 1


def layer_moves(build, rounds):
    """Rounds that activate a keep-above window (the overlays move up) and a normal window of
    another application (they move down), each timed on KWin's own clock from the activating
    script's Date.now() to the stacking script's nudge of the first overlay."""
    driver_program = os.path.join(build, "tests/wayland/quillmere_wayland_driver")
    window = os.path.join(build, "tests/wayland/wayland_test_window")
    with KWinSession() as session:
        load_blur(session)
        scripts = Scripts(session)
        for title, colour in (("normal", "#c02080"), ("above", "#20c040")):
            session.spawn([window, title, colour], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
        wait_for(lambda: scripts.window_count() >= 2, "the windows", timeout=30)
        # The overlays start down: the normal window has the focus.
        scripts.load(for_caption("above", "window.keepAbove = true;") +
                     for_caption("normal", "workspace.activeClient = window;"))
        scripts.start()
        driver = Driver(session, program=driver_program)
        time.sleep(1)  # the launch and the fade-in
        scripts.load(LAYER_WATCHER % driver.process.pid)
        scripts.start()
        moves = {"up": [], "down": []}
        missed = 0
        for round_number in range(rounds * 2):
            title, move, layer = (("above", "up", ABOVE_LAYER) if round_number % 2 == 0 else
                                  ("normal", "down", BELOW_LAYER))
            tag = "bench-activating-{}".format(round_number)
            name = scripts.load(for_caption(title, "print('{} ' + Date.now()); "
                                                   "workspace.activeClient = window;".format(tag)))
            scripts.start()
            activated = wait_for(lambda: scripts.printed(tag), "the script's time")

            def moved():
                log = session.log()
                after = log[log.rfind(tag):]
                found = re.findall(r"bench-moved {} (\d+)".format(layer), after)
                return int(found[0]) if found else None
            try:
                moves[move].append(wait_for(moved, "the overlays' move " + move, 5) - activated)
            except AssertionError:
                missed += 1
            scripts.unload(name)
            time.sleep(0.3)
        log = session.log()

    print("overlays' move between the layers on KWin, {} rounds each way ({} moves not seen"
          " within 5 s):".format(rounds, missed))
    for move in ("up", "down"):
        if moves[move]:
            print("  activation to the move {} (KWin's Date.now(), ms resolution): {}".format(
                move, spread(moves[move])))
    print("  includes the report, the cache, the level, set_layer and its commit, a"
          " wl_display.sync, the one-off script's load and run in KWin (which reads its file on a"
          " thread) and the nudge; on the way up the raise follows in the same pass")
    print("  Quillmere's windows made {}, taken away {} and activated {} times during the"
          " rounds (a window taken away and made again would show a frame without the"
          " overlay)".format(log.count("bench-own-added"), log.count("bench-own-removed"),
                             log.count("bench-own-activated")))


def idle_cpu(build, quillmere, seconds):
    """quillmere idle for `seconds` with 20 windows, in the launch's blur, which on KWin is
    KWin's own blur behind the overlays. Its Wayland traffic goes to a protocol log: it costs
    nothing while nothing is sent, and tells what is sent otherwise."""
    with KWinSession() as session:
        load_blur(session)
        scripts = Scripts(session)
        windows = open_windows(session, build, IDLE_WINDOWS)
        wait_for(lambda: scripts.window_count() >= IDLE_WINDOWS, "the windows", timeout=60)
        protocol_log = os.path.join(session.base, "quillmere-wayland.log")
        with open(protocol_log, "wb") as log:
            app = session.spawn([quillmere], env=dict(session.env, WAYLAND_DEBUG="client"),
                                stdout=subprocess.PIPE, stderr=log)
        if app.stdout.readline().strip() != b"QuillmereApp started":
            sys.exit("quillmere did not start on the Wayland backend")
        time.sleep(3)  # the launch and the fade-in
        pid = app.pid  # setpriv runs quillmere in its own place
        monitor = BusMonitor(session, unique_name(session, pid))
        kwin = session.kwin.pid
        messages, logged = monitor.sent(), os.path.getsize(protocol_log)
        ticks, sched, switches = stat_seconds(pid), sched_seconds(pid), wakeups(pid)
        kwin_ticks = stat_seconds(kwin)  # its threads come and go; the process's sum stays
        started = time.monotonic()
        time.sleep(seconds)
        elapsed = time.monotonic() - started
        ticks = stat_seconds(pid) - ticks
        sched = sched_seconds(pid) - sched
        switches = wakeups(pid) - switches
        kwin_ticks = stat_seconds(kwin) - kwin_ticks
        messages = monitor.sent() - messages
        with open(protocol_log, "rb") as log:
            text = log.read().decode(errors="replace")
        idle_lines = text[logged:].splitlines()
        if app.poll() is not None:
            sys.exit("quillmere ended during the idle time")
        open_now = sum(window.poll() is None for window in windows)

    blurs = len(re.findall(r"-> org_kde_kwin_blur_manager@\d+\.create\(", text))
    print("idle quillmere on KWin, {} windows ({} still open), {:.0f} s: {:.3f} % of one core"
          " from utime+stime ({:.2f} s CPU)".format(IDLE_WINDOWS, open_now, elapsed,
                                                    100 * ticks / elapsed, ticks))
    print("  from the scheduler's clock: {:.3f} % ({:.3f} s CPU); {:.1f} wake-ups a second".format(
        100 * sched / elapsed, sched, switches / elapsed))
    print("  KWin's blur asked for behind {} overlays; during the idle time quillmere sent {}"
           " D-Bus messages and its Wayland log grew by {} lines; KWin itself used {:.3f} %"
          " (utime+stime)".format(blurs, messages, len(idle_lines), 100 * kwin_ticks / elapsed))
    for line in idle_lines[:5]:
        print("    " + line.strip())


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("build")
    parser.add_argument("--quillmere")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--rounds", type=int, default=ROUNDS)
    parser.add_argument("--only", default="activation,layers,idle")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    quillmere = os.path.abspath(args.quillmere or os.path.join(build, "bin/quillmere"))
    parts = args.only.split(",")
    print("load average at the start: {:.2f} {:.2f} {:.2f} on {} cores (shared)".format(
        *os.getloadavg(), os.cpu_count()))
    try:
        if "activation" in parts:
            activation_and_quiet_calls(build, args.rounds)
        if "layers" in parts:
            layer_moves(build, args.rounds)
        if "idle" in parts:
            idle_cpu(build, quillmere, args.idle_seconds)
    except SessionUnavailable as reason:
        sys.exit("no private KWin could start: {}".format(reason))


if __name__ == "__main__":
    main()
