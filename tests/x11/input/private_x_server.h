#pragma once

#include <sys/types.h>

#include <string>

namespace quillmere::test {

// An Xvfb of the test's own, on a display number it picks itself; stopped when destroyed,
// and also when the test process dies.
class PrivateXServer final {
 public:
  PrivateXServer();
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool running() const { return pid_ > 0 && !displayName_.empty(); }
  // ":N", for xcb_connect and for $DISPLAY of the tools the test runs.
  const std::string& displayName() const { return displayName_; }

  // Kills the server at once, as a crash would.
  void kill();

 private:
  pid_t pid_ = -1;
  std::string displayName_;
};

}  // namespace quillmere::test
