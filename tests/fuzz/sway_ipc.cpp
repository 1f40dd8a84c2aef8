// sway's IPC stream in pieces of any size, framed and handed to the window cache as the
// client does: events, replies and trees (the trees' seeds are GET_TREE replies of hostile
// JSON: wrong kinds, deep nesting, no object). The core's reading of the window records it
// makes: window_record.cpp.
#include "platform/wayland/sway_ipc_framing.h"
#include "platform/wayland/sway_window_cache.h"
#include "tests/fuzz/fuzz_input.h"

using namespace platform::wayland;

FUZZ_ENTRY {
  FuzzedDataProvider input(data, size);
  SwayWindowCache cache(42);
  cache.start();
  sway_ipc::MessageReader reader;
  for (const std::string& piece : fuzz::pieces(input, 4096)) {
    reader.append(piece);
    while (auto message = reader.next()) cache.handle(*message);
    if (reader.failed()) break;
    cache.checkLayout();
  }
  return 0;
}
