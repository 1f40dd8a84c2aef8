#pragma once

#include <cstdlib>
#include <memory>

namespace platform::x11 {

struct XcbFree {
  void operator()(void* p) const { std::free(p); }
};

// An xcb reply or error, freed with free() as xcb asks.
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

}  // namespace platform::x11
