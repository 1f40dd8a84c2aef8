#include "platform/qt/session_channel.h"

#include <sys/un.h>

namespace platform::qt {

namespace {

bool isPlainNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

}  // namespace

std::optional<SessionPaths> sessionPaths(std::string_view runtimeDir,
                                         std::string_view waylandDisplay) {
  if (runtimeDir.empty() || runtimeDir.front() != '/' || waylandDisplay.empty())
    return std::nullopt;
  std::string name;
  for (const char c : waylandDisplay) name += isPlainNameCharacter(c) ? c : '_';
  std::string base(runtimeDir);
  if (base.back() != '/') base += '/';
  base += "quillmere-" + name;
  SessionPaths paths{base + ".lock", base + ".socket"};
  // The address holds the path and its terminating zero.
  if (paths.socket.size() >= sizeof(sockaddr_un::sun_path)) return std::nullopt;
  return paths;
}

MessageState matchMessage(std::string_view received, std::string_view expected) {
  if (received.size() > expected.size() || expected.substr(0, received.size()) != received) {
    return MessageState::refused;
  }
  return received.size() == expected.size() ? MessageState::complete : MessageState::incomplete;
}

}  // namespace platform::qt
