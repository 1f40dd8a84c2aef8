// OutputCapture on a connection of its own, for the capture scenarios. Commands on standard
// input, one a line; every answer is a line on standard output:
//   capture NAME            captures the output; answers "captured NAME W H", or "failed NAME";
//                           "refused NAME" when capture() refuses
//   twice NAME              two capture() calls at once: "twice A B", each 1 or 0
//   hold NAME               captures, sends the request, answers "holding" and reads no event
//                           until the next line arrives
// A removed output is reported "removed NAME"; an answer naming an output already removed
// would read "dead".
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "platform/wayland/output_capture.h"
#include "platform/wayland/wayland_connection.h"
#include "scenario_driver.h"

namespace {

using platform::wayland::OutputCapture;
using platform::wayland::WaylandConnection;
using platform::wayland::WaylandOutput;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  WaylandConnection connection;
  OutputCapture capture(connection);
  if (!capture.isAvailable()) {
    say("unavailable");
    return 1;
  }
  std::set<const WaylandOutput*> live;
  for (const auto& output : connection.outputs()) live.insert(output.get());
  QObject::connect(&connection, &WaylandConnection::connectionLost, [] { std::_Exit(1); });
  QObject::connect(&connection, &WaylandConnection::outputRemoved,
                   [&](const WaylandOutput* output) {
                     live.erase(output);
                     say("removed " + output->name);
                   });
  QObject::connect(&capture, &OutputCapture::failed, [&](const WaylandOutput* output) {
    say(live.count(output) != 0 ? "failed " + output->name : "dead");
  });
  QObject::connect(&capture, &OutputCapture::captured,
                   [&](const WaylandOutput* output, const QImage& image) {
                     if (live.count(output) == 0) return say("dead");
                     say("captured " + output->name + ' ' + std::to_string(image.width()) + ' ' +
                         std::to_string(image.height()));
                   });

  scenario::readLines(
      [&](const std::string& line) {
        std::istringstream words(line);
        std::string command, name;
        words >> command >> name;
        const WaylandOutput* output = nullptr;
        for (const auto& candidate : connection.outputs()) {
          if (candidate->name == name) output = candidate.get();
        }
        if (output == nullptr) {
          say("no output " + name);
        } else if (command == "capture") {
          if (!capture.capture(*output)) say("refused " + name);
        } else if (command == "twice") {
          const bool first = capture.capture(*output);
          const bool second = capture.capture(*output);
          say("twice " + std::to_string(first) + ' ' + std::to_string(second));
        } else if (command == "hold") {
          capture.capture(*output);
          connection.flush();
          say("holding");
          for (char c = 0; c != '\n' && read(STDIN_FILENO, &c, 1) == 1;) {
          }
        }
      },
      [] { QCoreApplication::quit(); });
  say("ready");
  return QCoreApplication::exec();
}
