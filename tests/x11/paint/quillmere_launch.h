#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "private_environment.h"

namespace quillmere::test {

// The quillmere executable of this build, started on a private display with the private
// environment, a session bus address where no bus answers, the display, and whatever the test
// adds (Qt's scale settings).
class QuillmereLaunch final {
 public:
  QuillmereLaunch(const std::string& displayName,
                  const std::vector<std::pair<std::string, std::string>>& extraEnvironment);
  ~QuillmereLaunch();
  QuillmereLaunch(const QuillmereLaunch&) = delete;
  QuillmereLaunch& operator=(const QuillmereLaunch&) = delete;

  bool running() const;
  // Sends SIGTERM and returns the exit status, or -1 when it did not end normally in time.
  int stop();

 private:
  PrivateEnvironment environment_;
  pid_t pid_ = -1;
};

}  // namespace quillmere::test
