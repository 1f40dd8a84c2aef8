// The reply to GET_TREE as JSON alone, through to the window records the core reads from it.
#include "platform/wayland/sway_tree.h"
#include "overlay/window_record.h"
#include "tests/fuzz/fuzz_input.h"

FUZZ_ENTRY {
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  auto snapshot = platform::wayland::parseSwayTree(json, 42);
  if (!snapshot) return 0;
  const auto list = platform::wayland::windowInfoListOf(*snapshot);
  for (const platform::WindowInfo& info : *list) {
    quillmere::readWindowRecord(info);
  }
  return 0;
}
