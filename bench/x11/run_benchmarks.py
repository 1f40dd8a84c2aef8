#!/usr/bin/python3
"""Prints the X11 backend's figures, each on a private desktop with openbox:
the updateFocus tick with 50 windows and its X requests, activation to restack latency
(x11_focus_bench), capture and render per frame in each mode (x11_paint_bench), the CPU of an idle quillmere over 60 s with 20 windows, and the CPU and memory of quillmere over a desktop window that animates a 256x256 square at 30 frames a second (blur, with and without picom, at 1920x1080 and 3840x2160).

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


def rss_mib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def animation_cpu(build, width, height, compositor, seconds):
    """quillmere's CPU while idle and while a desktop window beneath it animates a square."""
    from Xlib import X
    with XSession(compositor=compositor, size="%dx%dx24" % (width, height)) as desk:
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
        print("%dx%d %-12s idle %.2f %%, 256x256 at 30 fps %.2f %% of one core, RSS %.0f MiB"
              % (width, height, "picom" if compositor else "no compositor", idle, animated,
                 rss_mib(app.pid)))
        client.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--animation-seconds", type=float, default=10.0)
    parser.add_argument("--only-animation", action="store_true")
    args = parser.parse_args()
    if args.only_animation:
        for width, height in ((1920, 1080), (3840, 2160)):
            for compositor in (True, False):
                animation_cpu(os.path.abspath(args.build), width, height, compositor,
                              args.animation_seconds)
        return
    focus_bench(os.path.abspath(args.build))
    paint_bench(os.path.abspath(args.build))
    idle_cpu(os.path.abspath(args.build), args.idle_seconds)
    for width, height in ((1920, 1080), (3840, 2160)):
        for compositor in (True, False):
            animation_cpu(os.path.abspath(args.build), width, height, compositor,
                          args.animation_seconds)


if __name__ == "__main__":
    main()
