#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "platform/x11/window_properties.h"

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

// The reply's value, or an absent property when the reply is missing or inconsistent.
inline RawProperty rawProperty(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr) return {};
  const int format = reply->format;
  if (format != 8 && format != 16 && format != 32) return {};
  const auto bytes = static_cast<std::uint64_t>(
      xcb_get_property_value_length(const_cast<xcb_get_property_reply_t*>(reply)));
  if (bytes != std::uint64_t{reply->value_len} * static_cast<std::uint64_t>(format / 8)) {
    return {};
  }
  return RawProperty{reply->type, reply->format, reply->value_len,
                     xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(reply)),
                     reply->bytes_after == 0};
}

}  // namespace platform::x11
