#include <cstdio>

#include "platform/main/x11_entry.h"

// A build without the X11 backend: X11 is never reached, and saying so is all it can do.
namespace platform::entry {

namespace {

int x11NotBuilt() {
  std::fputs("quillmere: this build has no X11 backend\n", stderr);
  return 1;
}

}  // namespace

int runOnX11() {
  return x11NotBuilt();
}

int toggleOnX11() {
  return x11NotBuilt();
}

}  // namespace platform::entry
