#!/usr/bin/python3
"""Prints the X11 backend's figures, each on a private desktop with openbox:
the updateFocus tick with 50 windows and its X requests, activation to restack latency
(x11_focus_bench), capture and render per frame in each mode (x11_paint_bench), the CPU of an idle quillmere over 60 s with 20 windows, and the CPU and memory of quillmere over a desktop window that animates a 256x256 square at 30 frames a second (blur, with and without picom, at 1920x1080, 3840x2160 and on two 3840x2160
monitors).

usage: run_benchmarks.py BUILD_DIR [--idle-seconds N] [--animation-seconds N]
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests"))
from desktop.x11 import XSession  # noqa: E402
from desktop.xclient import XClient  # noqa: E402


def cpu_seconds(pid):
    """CPU time of every thread, in nanoseconds from the scheduler: the tick counts of
    /proc/<pid>/stat are far too coarse for a process this idle."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as stat:
                total += int(stat.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that ended in between
    return total / 1e9


def focus_bench(build):
    with XSession() as desk:
        out = subprocess.run([os.path.join(build, "bench/x11/x11_focus_bench")], env=desk.env,
                             capture_output=True, text=True, timeout=300)
        print(out.stdout, end="")


def paint_bench(build):
    # It starts its own private desktops, with and without a compositor.
    out = subprocess.run([os.path.join(build, "bench/x11_paint/x11_paint_bench")],
                         capture_output=True, text=True, timeout=300)
    print(out.stdout, end="")


def idle_cpu(build, seconds):
    with XSession() as desk:
        client = XClient(desk.display)
        for i in range(20):
            client.window(pid=7000 + i, x=30 * i, y=20 * i, name="window %d" % i)
        app = desk.spawn([os.path.join(build, "bin/quillmere")])
        time.sleep(3)  # launch and fade-in
        start_cpu, start = cpu_seconds(app.pid), time.monotonic()
        time.sleep(seconds)
        used, elapsed = cpu_seconds(app.pid) - start_cpu, time.monotonic() - start
        print("idle quillmere, 20 windows, %.0f s: %.3f %% of one core (%.2f s CPU)"
              % (elapsed, 100.0 * used / elapsed, used))
        client.close()


def rss(pid):
    """The resident set, and its parts: heap and stacks, mapped files (libraries, fonts) and
    shared memory (the images the server reads and writes), in MiB."""
    fields = {}
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon", "RssFile", "RssShmem"):
                fields[key] = int(value.split()[0]) / 1024.0
    return "RSS %.0f MiB (heap %.0f, files %.0f, shared images %.0f)" % tuple(
        fields.get(k, 0.0) for k in ("VmRSS", "RssAnon", "RssFile", "RssShmem"))


def animation_cpu(build, width, height, compositor, seconds, monitors=1):
    """quillmere's CPU while idle and while a desktop window beneath it animates a square;
    with two monitors side by side, each width x height, the square is on the first."""
    from Xlib import X
    size = "%dx%dx24" % (width * monitors, height)
    with XSession(compositor=compositor, size=size) as desk:
        for i in range(monitors if monitors > 1 else 0):
            geometry = "%d/%dx%d/%d+%d+0" % (width, width * 254 // 960, height,
                                             height * 254 // 960, i * width)
            subprocess.run(["xrandr", "--setmonitor", "m%d" % i, geometry,
                            "screen" if i == 0 else "none"], env=desk.env, check=True,
                           stdout=subprocess.DEVNULL)
        client = XClient(desk.display)
        desktop = client.window(types=("DESKTOP",), x=0, y=0, w=width, h=height, color=0x3060a0,
                                name="desktop")
        gc = desktop.create_gc(foreground=0)
        app = desk.spawn([os.path.join(build, "bin/quillmere")])
        time.sleep(3)  # launch and fade-in

        def measure(animate):
            start_cpu, start = cpu_seconds(app.pid), time.monotonic()
            frame = 0
            while time.monotonic() - start < seconds:
                if animate:
                    gc.change(foreground=0xff8000 if frame % 2 else 0x00a0ff)
                    desktop.fill_rectangle(gc, width // 2 - 128, height // 2 - 128, 256, 256)
                    client.d.sync()
                frame += 1
                time.sleep(max(0.0, start + frame / 30.0 - time.monotonic()))
            used = cpu_seconds(app.pid) - start_cpu
            return 100.0 * used / (time.monotonic() - start)

        idle = measure(False)
        animated = measure(True)
        print("%s%dx%d %-12s idle %.2f %%, 256x256 at 30 fps %.2f %% of one core, %s"
              % ("2 x " if monitors > 1 else "", width, height, "picom" if compositor else "no compositor", idle, animated,
                 rss(app.pid)))
        client.close()


def animations(build, seconds):
    for width, height, monitors in ((1920, 1080, 1), (3840, 2160, 1), (3840, 2160, 2)):
        for compositor in (True, False):
            animation_cpu(build, width, height, compositor, seconds, monitors)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--animation-seconds", type=float, default=10.0)
    parser.add_argument("--only-animation", action="store_true")
    args = parser.parse_args()
    if args.only_animation:
        animations(os.path.abspath(args.build), args.animation_seconds)
        return
    focus_bench(os.path.abspath(args.build))
    paint_bench(os.path.abspath(args.build))
    idle_cpu(os.path.abspath(args.build), args.idle_seconds)
    animations(os.path.abspath(args.build), args.animation_seconds)


if __name__ == "__main__":
    main()
