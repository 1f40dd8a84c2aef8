// What the programs that the scenario scripts drive share: commands on standard input, one a
// line, read as Qt's event loop runs, and answers on standard output.
#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <cstdio>
#include <functional>
#include <string>

namespace scenario {

// A line of the driver's own, told apart from what the code under test prints by its prefix.
inline void say(const std::string& line) {
  std::printf("driver: %s\n", line.c_str());
  std::fflush(stdout);
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
