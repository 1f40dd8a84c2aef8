#!/usr/bin/python3
"""Runs one command as a program of a private session that it starts and stops, and ends with
the command's status; 77 where the session cannot start here.
usage: run.py x11 [--no-wm] -- COMMAND [ARGUMENTS...]
       run.py sway -- COMMAND [ARGUMENTS...]
       run.py gnome -- COMMAND [ARGUMENTS...]"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.gnome import GnomeSession  # noqa: E402
from desktop.session import SessionUnavailable  # noqa: E402
from desktop.sway import SwaySession  # noqa: E402
from desktop.x11 import XSession  # noqa: E402

SKIPPED = 77


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("session", choices=("x11", "sway", "gnome"))
    parser.add_argument("--no-wm", action="store_true")
    if "--" not in sys.argv[:-1]:
        parser.error("no command given")
    split = sys.argv.index("--")
    args, command = parser.parse_args(sys.argv[1:split]), sys.argv[split + 1:]
    sessions = {"x11": lambda: XSession(wm=not args.no_wm), "sway": SwaySession,
                "gnome": GnomeSession}
    session = sessions[args.session]()
    try:
        with session:
            process = session.spawn(command, stdout=None, stderr=None)
            try:
                return process.wait(timeout=600)
            except subprocess.TimeoutExpired:
                return 1
    except SessionUnavailable as reason:
        print("skipped: no private session could start: {}".format(reason))
        return SKIPPED


if __name__ == "__main__":
    sys.exit(main())
