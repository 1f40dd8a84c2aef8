#pragma once

namespace platform::entry {

// Runs Quillmere on the X11 display in $DISPLAY, one instance per display; the exit status.
int runOnX11();

// Asks the Quillmere on the X11 display in $DISPLAY to toggle its effect; the exit status,
// with one line on standard error when it is not 0.
int toggleOnX11();

}  // namespace platform::entry
