#!/usr/bin/python3
"""Runs one command on a private X desktop and stops the desktop afterwards. The command gets
the desktop's private environment.

usage: run_on_xdesktop.py [--no-wm] [--compositor] [--size WxHxD] -- command args...
The command's exit status is this script's.
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xdesktop import XDesktop  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--no-wm", action="store_true")
    parser.add_argument("--compositor", action="store_true")
    parser.add_argument("--size", default="1280x800x24")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")
    with XDesktop(wm=not args.no_wm, compositor=args.compositor, size=args.size) as desk:
        return subprocess.run(command, env=desk.env, timeout=600).returncode


if __name__ == "__main__":
    sys.exit(main())
