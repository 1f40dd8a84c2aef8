// What the programs that the scenario scripts drive share: commands on standard input, one a
// line, read as Qt's event loop runs, and answers on standard output, window lists among them.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#include "platform/workspace.h"

namespace scenario {

// A line of the driver's own, told apart from what the code under test prints by its prefix.
inline void say(const std::string& line) {
  std::printf("driver: %s\n", line.c_str());
  std::fflush(stdout);
}

// " NUMBER:PID" for each window of the list, front to back, or " none" without a list; a
// number the window lacks reads -99.
inline std::string describeWindows(const platform::WindowInfoList* list) {
  if (list == nullptr) return " none";
  std::ostringstream out;
  for (const auto& info : *list) {
    const auto integer = [&info](std::string_view key) {
      const auto value = info.find(key);
      return value == info.end() ? std::int64_t{-99} : std::get<std::int64_t>(value->second);
    };
    out << ' ' << integer(platform::kWindowNumberKey) << ':'
        << integer(platform::kWindowOwnerPidKey);
  }
  return out.str();
}

// Hands every line of standard input, without its newline, to `onLine` as it arrives; calls
// `onEnd` once standard input has ended.
inline void readLines(
    std::function<void(const std::string&)> onLine, std::function<void()> onEnd = [] {}) {
  auto* input =
      new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(input, &QSocketNotifier::activated, [=, pending = std::string()]() mutable {
    char buffer[256];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
      input->setEnabled(false);
      return onEnd();
    }
    pending.append(buffer, std::size_t(count));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      onLine(line);
    }
  });
}

}  // namespace scenario
