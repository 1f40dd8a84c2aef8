#!/usr/bin/python3
"""Runs one command as a program of a private headless sway that it starts and stops, and ends
with the command's status; 77 where the session cannot start here. The C++ desktop tests of the
X11 backend start their displays themselves (tests/x11/desktop_test_main.cpp).
usage: run.py sway -- COMMAND [ARGUMENTS...]"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from desktop.session import SessionUnavailable  # noqa: E402
from desktop.sway import SwaySession  # noqa: E402


def main():
    if sys.argv[1:3] != ["sway", "--"] or len(sys.argv) < 4:
        sys.exit(__doc__)
    try:
        with SwaySession() as session:
            process = session.spawn(sys.argv[3:], stdout=None, stderr=None)
            try:
                return process.wait(timeout=600)
            except subprocess.TimeoutExpired:
                return 1
    except SessionUnavailable as reason:
        print("skipped: no private session could start: {}".format(reason))
        return 77


if __name__ == "__main__":
    sys.exit(main())
