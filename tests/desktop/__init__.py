"""The desktop tests' harness: private sessions that the tests start and stop themselves.

session.py  the base of every session: its directories, environment, bus and processes
lines.py    a program of a session whose output is read line by line
x11.py      Xvfb with a window manager, picom and trayer
sway.py     headless sway, with XWayland, waybar and mako where asked
kwin.py     KWin on virtual outputs
clients.py  Quillmere and the test programs the scenarios drive
run.py      runs one command in a session: the launcher of the C++ desktop tests
"""
