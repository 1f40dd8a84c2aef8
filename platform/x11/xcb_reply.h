#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::x11 {

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};

// A reply or error that xcb allocated; freed with free().
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Takes a reply and drops the error that came instead, if any: a window of another client
// may vanish between two requests, and that is normal.
template <typename T>
XcbReply<T> takeReply(T* reply, xcb_generic_error_t* error) {
  std::free(error);
  return XcbReply<T>(reply);
}

}  // namespace platform::x11
