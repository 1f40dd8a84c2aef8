"""The desktop tests' harness: private sessions that the tests start and stop themselves.

session.py          the base of every session: its directories, environment, bus, processes
lines.py            a program of a session whose output is read line by line
x11.py              Xvfb with a window manager, picom and trayer; windows and menus on it
xclient.py          another X client: windows of chosen kinds, activation, the stacking
sway.py             headless sway, with XWayland and waybar where asked
kwin.py             KWin on virtual outputs; kwin_screenshot.py reads its screenshots
gnome.py            headless GNOME Shell with Quillmere's extension and the tests' own
                    (tests/gnome/test-extension), screenshots and Eval through the shell
clients.py          Quillmere and the test programs the scenarios drive
run.py              runs one command in a headless sway: the launcher of the Wayland contract

Another desktop is one more Session class: its tools, start(), and where its tests need them
screenshot(output, env), a pointer_tool and pointer_box().
"""
