#pragma once

#include <cstdint>

#include "platform/workspace.h"

namespace quillmere {

// The four values read from one window-list entry, defaults applied.
struct WindowRecord {
  std::int32_t ownerPid = 0;
  std::int32_t layer = 0;
  std::int64_t number = -1;
  double alpha = 1.0;
};

// A value that is absent, or not exactly representable in the field's type, takes the
// field's default.
WindowRecord readWindowRecord(const platform::WindowInfo& info);

}  // namespace quillmere
