#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::wayland {

// sway's IPC messages: the magic "i3-ipc", the payload's length and the message type as
// 32-bit little-endian integers, then the payload (JSON). Events carry the top bit in their
// type.
namespace sway_ipc {

inline constexpr std::string_view kMagic = "i3-ipc";
inline constexpr std::size_t kHeaderSize = 14;
// The longest payload we accept; a tree of a few hundred windows is well under a megabyte.
inline constexpr std::uint32_t kMaxPayload = 16u << 20;

inline constexpr std::uint32_t kSubscribe = 2;
inline constexpr std::uint32_t kGetTree = 4;
inline constexpr std::uint32_t kEventBit = 0x80000000u;
inline constexpr std::uint32_t kWorkspaceEvent = kEventBit | 0;
inline constexpr std::uint32_t kWindowEvent = kEventBit | 3;

struct Message {
  std::uint32_t type = 0;
  std::string payload;
  bool isEvent() const { return (type & kEventBit) != 0; }
};

// One request, framed.
std::string encode(std::uint32_t type, std::string_view payload);

// Cuts a byte stream into messages. Bytes may arrive in pieces of any size. A bad magic or a
// payload over the limit leaves the stream unreadable for good: there is no way to find the
// next message.
class MessageReader final {
 public:
  void append(std::string_view bytes);
  // The next whole message, or none until more bytes arrive (or for good after a fault).
  std::optional<Message> next();
  bool failed() const { return failed_; }

 private:
  std::string buffer_;
  std::size_t consumed_ = 0;
  bool failed_ = false;
};

}  // namespace sway_ipc

}  // namespace platform::wayland
