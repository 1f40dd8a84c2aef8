#include "platform/wayland/sway_ipc_framing.h"

namespace platform::wayland::sway_ipc {

namespace {

void putLittleEndian(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

std::uint32_t readLittleEndian(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

}  // namespace

std::string encode(std::uint32_t type, std::string_view payload) {
  std::string out(kMagic);
  putLittleEndian(out, static_cast<std::uint32_t>(payload.size()));
  putLittleEndian(out, type);
  out.append(payload);
  return out;
}

void MessageReader::append(std::string_view bytes) {
  if (failed_) return;
  // Drop what was read already before the buffer grows.
  if (consumed_ > 0) {
    buffer_.erase(0, consumed_);
    consumed_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<Message> MessageReader::next() {
  if (failed_) return std::nullopt;
  const std::string_view pending = std::string_view(buffer_).substr(consumed_);
  if (pending.size() < kHeaderSize) {
    // A wrong magic fails as soon as its bytes are there, not only once a header is whole.
    const std::size_t known = std::min(pending.size(), kMagic.size());
    if (pending.substr(0, known) != kMagic.substr(0, known)) {
      failed_ = true;
      buffer_.clear();
      consumed_ = 0;
    }
    return std::nullopt;
  }
  const std::uint32_t length = readLittleEndian(pending.data() + kMagic.size());
  if (pending.substr(0, kMagic.size()) != kMagic || length > kMaxPayload) {
    failed_ = true;
    buffer_.clear();
    consumed_ = 0;
    return std::nullopt;
  }
  if (pending.size() - kHeaderSize < length) return std::nullopt;
  Message message;
  message.type = readLittleEndian(pending.data() + kMagic.size() + 4);
  message.payload.assign(pending.substr(kHeaderSize, length));
  consumed_ += kHeaderSize + length;
  return message;
}

}  // namespace platform::wayland::sway_ipc
