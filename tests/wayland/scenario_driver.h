// What the programs that the scenario scripts drive share: commands on standard input, one a
// line, read as Qt's event loop runs, and answers on standard output, window lists among them.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
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
// `onEnd` once standard input has ended. Unbuffered: a line is read only once it is there, and
// nothing is left behind for the next read(2).
inline void readLines(
    std::function<void(const std::string&)> onLine, std::function<void()> onEnd = [] {}) {
  auto* input = new QFile(QCoreApplication::instance());
  input->open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
  auto* ready = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, input);
  QObject::connect(ready, &QSocketNotifier::activated, [=] {
    const QByteArray line = input->readLine();
    if (line.isEmpty()) {
      ready->setEnabled(false);
      return onEnd();
    }
    onLine(line.chopped(line.endsWith('\n') ? 1 : 0).toStdString());
  });
}

}  // namespace scenario
