"""Figures of the GNOME backend on a private headless GNOME Shell 43 (one virtual 1600x900
monitor, software GL): how long an activation takes from Mutter's focus change to the overlay
pane's new place among the windows, both timed inside the shell; what a quiet desktop costs
Quillmere (D-Bus messages, CPU); and what the effect costs the shell itself, idle and with a
window animating beneath the overlays.

usage: run_gnome_benchmarks.py QUILLMERE [--seconds N] [--rounds N] [--only PART,...]
QUILLMERE is the executable to measure (a release build's, where there is one); N seconds is
each CPU measure's length (60 by default); PART is one of activation, idle, animated."""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "bench", "wayland"))
sys.path.insert(0, os.path.join(ROOT, "tests", "gnome"))
if len(sys.argv) > 1:  # the extension's builds in the executable's build: <build>/bin/quillmere
    BUILD = os.path.dirname(os.path.dirname(os.path.abspath(sys.argv[1])))
    os.environ.setdefault("QUILLMERE_GNOME_EXTENSIONS",
                          os.path.join(BUILD, "platform", "gnome", "extension"))
    os.environ.setdefault("QUILLMERE_WAYLAND_TEST_WINDOW",
                          os.path.join(BUILD, "tests", "gnome", "gnome_test_window"))
from run_kwin_benchmarks import BusMonitor  # noqa: E402
from run_benchmarks import stat_seconds, wakeups  # noqa: E402
from scenario import KEY_B, LAUNCH_LINES, SUPER, GnomeSession, Quillmere  # noqa: E402
from desktop.session import SessionUnavailable, wait_for  # noqa: E402

ROUNDS = 30
ANIMATED_WINDOW = os.path.join(HERE, "animated_window.py")
# Two applications: one with a keep-above window, which pulls the overlays up beneath it while
# it is frontmost (over the other's window), and one with a normal window, beneath which the
# overlays go down to the wallpaper while it is frontmost.
ABOVE_FRAME, NORMAL_FRAME, ANIMATED_FRAME = (900, 200, 400, 300), (200, 200, 400, 300), \
    (450, 450, 300, 200)

# Installed in the shell through Eval: the stage's frames counted, and for each armed round
# the time from Mutter's focus change to the moment every pane stands right beneath the
# windows `want` names (their pids, sorted), checked after each call of the extension's that
# moves an actor in the window group, on each `restacked`, and every millisecond in between.
WATCHER = """(() => {
    const {Gio, GLib, Meta, Main} = quillmereTest.modules;
    const group = global.window_group;
    const wallpaper = Main.layoutManager._backgroundGroup;
    const now = () => GLib.get_monotonic_time();
    const bench = {times: [], want: null, t0: 0, frames: 0};
    const panes = all => all.filter(a => !(a instanceof Meta.WindowActor) && a !== wallpaper);
    const above = (all, pane) => all.slice(all.indexOf(pane) + 1)
        .filter(a => a instanceof Meta.WindowActor && a.visible && a.meta_window)
        .map(a => a.meta_window.get_pid()).sort((x, y) => x - y).join(' ');
    const check = how => {
        if (bench.want === null || !bench.t0)
            return;
        const all = group.get_children();
        const found = panes(all);
        if (found.length > 0 && found.every(p => above(all, p) === bench.want)) {
            const ms = t => t ? (t - bench.t0) / 1000 : -1;
            bench.times.push([ms(now()), how, ms(bench.sent), bench.painted / 1000,
                bench.gap / 1000]);
            bench.want = null;
        }
    };
    bench.arm = want => {
        bench.want = want;
        bench.t0 = bench.sent = bench.painted = bench.gap = 0;
    };
    const bus = Gio.DBus.session;
    const sends = ['send_message', 'send_message_with_reply'];
    for (const name of sends) {
        const send = bus[name];
        bus[name] = function (...args) {
            if (bench.want !== null && bench.t0 && !bench.sent)
                bench.sent = now();
            return send.apply(this, args);
        };
    }
    const moves = ['set_child_above_sibling', 'set_child_below_sibling', 'add_child',
        'insert_child_above', 'insert_child_below', 'insert_child_at_index'];
    for (const name of moves) {
        const original = group[name];
        group[name] = function (...args) {
            const result = original.apply(this, args);
            check(name);
            return result;
        };
    }
    const ids = [
        [global.display, global.display.connect('notify::focus-window', () => {
            if (bench.want === null || bench.t0)
                return;
            const t0 = bench.t0 = now();
            let last = t0;
            check('focus');
            GLib.timeout_add(GLib.PRIORITY_HIGH, 1, () => {
                bench.gap = Math.max(bench.gap, now() - last);
                last = now();
                check('poll');
                return bench.want !== null && bench.t0 === t0 && now() - t0 < 5e6;
            });
        })],
        [global.display, global.display.connect('restacked', () => check('restacked'))],
    ];
    let paintStart = 0;
    const paintIds = [
        global.stage.connect('before-update', () => (paintStart = now())),
        global.stage.connect('after-update', () => {
            bench.frames++;
            if (bench.want !== null && bench.t0 && paintStart)
                bench.painted += now() - paintStart;
        }),
    ];
    bench.unwatch = () => {
        moves.forEach(name => delete group[name]);
        sends.forEach(name => delete bus[name]);
        ids.forEach(([object, id]) => object.disconnect(id));
        bench.want = null;
    };
    bench.remove = () => {
        bench.unwatch();
        paintIds.forEach(id => global.stage.disconnect(id));
        delete globalThis.quillmereBench;
    };
    bench.panes = () => panes(group.get_children()).length;
    globalThis.quillmereBench = bench;
    return bench.panes();
})()"""


def spread(ms):
    return "median {:.1f} ms, 90th percentile {:.1f} ms, max {:.1f} ms".format(
        statistics.median(ms), statistics.quantiles(ms, n=10, method="inclusive")[-1], max(ms))


def percent(seconds, elapsed):
    return 100.0 * seconds / elapsed


class Bench:
    def __init__(self, shell, quillmere, seconds):
        self.shell = shell
        self.quillmere = quillmere
        self.seconds = seconds
        self.app = None
        self.shell_pid = shell.compositor.pid  # setpriv runs gnome-shell in its own place

    def eval(self, script):
        return self.shell.eval(script)

    def frames(self):
        return self.eval("quillmereBench.frames")

    def measure(self, pids):
        """CPU seconds of each pid, frames the stage painted and the seconds elapsed over the
        measure's length."""
        before, frames = [stat_seconds(pid) for pid in pids], self.frames()
        started = time.monotonic()
        time.sleep(self.seconds)
        elapsed = time.monotonic() - started
        used = [stat_seconds(pid) - was for pid, was in zip(pids, before)]
        return used, self.frames() - frames, elapsed

    def launch(self):
        self.app = Quillmere(self.shell, ["--backend=gnome"], program=self.quillmere)
        self.app.wait_for_lines(LAUNCH_LINES, "the launch on GNOME")
        wait_for(lambda: self.eval("quillmereTest.menuRows('quillmere')"), "the top-bar menu")
        time.sleep(2)  # the fade-in

    def activate(self, pid):
        self.eval("quillmereTest.each({}, 'activate', global.get_current_time())".format(pid))
        wait_for(lambda: self.eval("global.display.focus_window?.get_pid()") == pid,
                 "the window's focus")

    def idle_without(self):
        time.sleep(3)  # the shell's start settles
        (shell,), frames, elapsed = self.measure([self.shell_pid])
        self.baseline = percent(shell, elapsed)
        print("GNOME Shell idle, Quillmere not running, {:.0f} s: {:.3f} % of one core"
              " ({} frames painted)".format(elapsed, self.baseline, frames))

    def choose(self, title):
        rows = self.eval("quillmereTest.menuRows('quillmere')")
        index = [row.get("title", "").strip() for row in rows].index(title)
        self.eval("quillmereTest.choose('quillmere', {})".format(index))
        time.sleep(1)  # the change of effect and its fade

    def activations(self, above_pid, normal_pid, rounds):
        """Rounds in the blur (the figure), then in the dim, which draws no blur, to tell what
        the shell's drawing of the blur adds."""
        if self.eval("quillmereBench.panes()") < 1:
            sys.exit("no overlay pane in the window group")
        wants = {above_pid: str(above_pid),
                 normal_pid: " ".join(str(p) for p in sorted((above_pid, normal_pid)))}
        for effect in ("Blur", "Dim"):
            self.choose(effect)
            self.eval("quillmereBench.times = []")
            missed, cpu = 0, stat_seconds(self.shell_pid)
            for round_number in range(rounds):
                pid = (above_pid, normal_pid)[round_number % 2]
                self.eval("quillmereBench.arm('{}')".format(wants[pid]))
                self.eval("quillmereTest.each({}, 'activate', global.get_current_time())".format(
                    pid))
                try:
                    wait_for(lambda: self.eval("quillmereBench.times.length") >
                             round_number - missed, "the pane's move", timeout=5)
                except AssertionError:
                    missed += 1
                time.sleep(0.3)
            cpu = stat_seconds(self.shell_pid) - cpu
            self.print_activations(effect, rounds, missed, cpu,
                                   self.eval("quillmereBench.times"))
        self.eval("quillmereBench.unwatch()")
        self.choose("Blur")

    def print_activations(self, effect, rounds, missed, cpu, times):
        ms = [row[0] for row in times]
        hooks = {}
        for row in times:
            hooks[row[1]] = hooks.get(row[1], 0) + 1
        if effect == "Blur":
            print("activation to restack on GNOME Shell, blur, {} activations alternating"
                  " between two applications, each moving the pane ({} not seen within 5 s):"
                  " {} (aim: median under 20 ms)".format(
                      rounds, missed, spread(ms) if ms else "none seen"))
            print("  from Mutter's notify::focus-window to the pane's new place in the window"
                  " group, both on GLib's monotonic clock in the shell")
        else:
            print("  the same in the dim, which draws no blur ({} not seen): {} (report"
                  " only)".format(missed, spread(ms) if ms else "none seen"))
        sent = [row[2] for row in times if row[2] >= 0]
        if sent:
            print("    seen at {}; to the extension's report sent, median {:.1f} ms; the shell's"
                  " frame updates in between, median {:.1f} ms; the shell's CPU, all threads,"
                  " {:.0f} ms an activation".format(
                      ", ".join("{} {}".format(n, how) for how, n in sorted(hooks.items())),
                      statistics.median(sent), statistics.median(row[3] for row in times),
                      1000 * cpu / rounds))
            print("    the longest the shell's main loop was away from a 1 ms timer, median {:.1f}"
                  " ms".format(statistics.median(row[4] for row in times)))

    def idle_with(self, normal_pid):
        self.activate(normal_pid)  # the overlays down beneath every window
        time.sleep(2)
        owner = self.shell.dbus("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus.GetNameOwner",
                                "string:org.quillmere.Quillmere")
        monitor = BusMonitor(self.shell, owner.split('"')[1])
        sent, woken = monitor.sent(), wakeups(self.app.process.pid)
        (shell, app), frames, elapsed = self.measure([self.shell_pid, self.app.process.pid])
        sent, woken = monitor.sent() - sent, wakeups(self.app.process.pid) - woken
        print("D-Bus messages Quillmere sent on a quiet desktop, blur on, {:.0f} s: {}"
              " (aim: none)".format(elapsed, sent))
        print("Quillmere's CPU on a quiet desktop, blur on, {:.0f} s: {:.3f} % of one core"
              " ({:.2f} s, {:.1f} wake-ups a second; aim: under 0.2 %)".format(
                  elapsed, percent(app, elapsed), app, woken / elapsed))
        more = percent(shell, elapsed) - self.baseline
        print("GNOME Shell idle, blur on, {:.0f} s: {:.3f} % of one core, {:+.3f} % against"
              " Quillmere not running ({} frames painted; aim: less than 0.5 % more)".format(
                  elapsed, percent(shell, elapsed), more, frames))

    def animated(self, above_pid):
        self.shell.open_window("animated", (0, 0, 0), ANIMATED_FRAME, program=ANIMATED_WINDOW)
        self.activate(above_pid)  # the overlays up over the animated window
        time.sleep(2)
        figures = []
        for state in ("on", "off"):
            if state == "off":
                mark = self.app.mark()
                self.shell.keys(SUPER, KEY_B)
                self.app.wait_line("Toggled effect: false", "the toggle off", mark)
                time.sleep(2)  # the fade-out
            (shell,), frames, elapsed = self.measure([self.shell_pid])
            figures.append((state, percent(shell, elapsed), frames / elapsed))
        print("GNOME Shell with a window animating beneath the overlays (~30 changes a second),"
              " {:.0f} s each: {} (report only)".format(self.seconds, "; ".join(
                  "effect {} {:.2f} % of one core, {:.1f} frames a second".format(*f)
                  for f in figures)))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("quillmere")
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--rounds", type=int, default=ROUNDS)
    parser.add_argument("--only", default="activation,idle,animated")
    args = parser.parse_args()
    parts = args.only.split(",")
    print("load average at the start: {:.2f} {:.2f} {:.2f} on {} cores (shared)".format(
        *os.getloadavg(), os.cpu_count()))
    started = time.monotonic()
    try:
        with GnomeSession(monitors=1) as shell:
            above = shell.open_window("above", (230, 20, 20), ABOVE_FRAME).pid
            normal = shell.open_window("normal", (20, 200, 60), NORMAL_FRAME).pid
            shell.eval("quillmereTest.each({}, 'make_above')".format(above))
            bench = Bench(shell, os.path.abspath(args.quillmere), args.seconds)
            bench.activate(normal)
            if shell.eval(WATCHER.replace("\n", " ")) != 0:
                sys.exit("a foreign actor in the window group before the launch")
            if "idle" in parts:
                bench.idle_without()
            bench.launch()
            if "activation" in parts:
                bench.activations(above, normal, args.rounds)
            if "idle" in parts:
                bench.idle_with(normal)
            if "animated" in parts:
                bench.animated(above)
            shell.eval("quillmereBench.remove()")
    except SessionUnavailable as reason:
        sys.exit("no private GNOME Shell could start: {}".format(reason))
    print("the run took {:.0f} s; load average at the end: {:.2f} {:.2f} {:.2f}".format(
        time.monotonic() - started, *os.getloadavg()))


if __name__ == "__main__":
    main()
