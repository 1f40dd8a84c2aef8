#include "platform/qt/session_channel.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::qt {
namespace {

// The socket of an ordinary display, the requests and the answer that are taken, and some that
// are not, are pinned by tests/wayland/test_entry_point.py.
TEST(SessionChannel, PathsAreNamedAfterTheDisplayInTheRuntimeDirectory) {
  EXPECT_EQ(sessionPaths("/tmp/r/", "w")->lock, "/tmp/r/quillmere-w.lock");
  // A display given as a path, or with anything else odd in it, stays one file name.
  EXPECT_EQ(sessionPaths("/r", "/run/user/1000/wayland-0")->socket,
            "/r/quillmere-_run_user_1000_wayland-0.socket");
  EXPECT_EQ(sessionPaths("/r", "../x y\n")->lock, "/r/quillmere-.._x_y_.lock");
}

TEST(SessionChannel, NoPathsWithoutAnAbsoluteDirectoryADisplayOrRoomInTheAddress) {
  EXPECT_FALSE(sessionPaths("", "wayland-0"));
  EXPECT_FALSE(sessionPaths("run/user/1000", "wayland-0"));
  EXPECT_FALSE(sessionPaths("/run/user/1000", ""));
  // The socket's path and its zero must fit the 108 bytes of a Unix socket address.
  const std::string prefix = "/quillmere-";
  const std::string suffix = ".socket";
  const std::string fits(107 - prefix.size() - suffix.size(), 'd');
  EXPECT_TRUE(sessionPaths("/", fits));
  EXPECT_FALSE(sessionPaths("/", fits + "d"));
}

TEST(SessionChannel, OnlyTheExactMessageIsTaken) {
  const struct {
    std::string received;
    MessageState state;
  } cases[] = {
      {"", MessageState::incomplete},
      {"tog", MessageState::incomplete},
      {"toggle", MessageState::incomplete},
      {"toggle\n\n", MessageState::refused},
      {"Toggle\n", MessageState::refused},
      {"x", MessageState::refused},
      {std::string("toggle\0", 7), MessageState::refused},
      {std::string(kMaxMessageBytes, 't'), MessageState::refused},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchMessage(c.received, kToggleRequest), c.state) << c.received;
  }
  EXPECT_EQ(matchMessage("toggle\n", kToggleAnswer), MessageState::refused);
}

}  // namespace
}  // namespace platform::qt
