// OutputCapture on a connection of its own, for the capture scenarios. Commands on standard
// input, one a line; every answer is a line on standard output:
//   capture NAME [X,Y ...]  captures the output; answers "captured NAME W H" with the pixels
//                           at the points (negative ones count from the right or bottom) as
//                           " X,Y=RRGGBB", or "failed NAME"; "refused NAME" when capture() is
//   twice NAME              two capture() calls at once: "twice A B", each 1 or 0
//   hold NAME               captures, sends the request, answers "holding" and reads no event
//                           until the next line arrives
// A removed output is reported "removed NAME"; an answer naming an output already removed
// would read "dead".
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

class Probe final {
 public:
  Probe(WaylandConnection& connection, OutputCapture& capture)
      : connection_(connection), capture_(capture) {
    for (const auto& output : connection.outputs()) live_.insert(output.get());
    QObject::connect(&connection, &WaylandConnection::outputRemoved,
                     [this](const WaylandOutput* output) {
                       live_.erase(output);
                       say("removed " + output->name);
                     });
    QObject::connect(
        &capture, &OutputCapture::captured,
        [this](const WaylandOutput* output, const QImage& image) { captured(output, image); });
    QObject::connect(&capture, &OutputCapture::failed, [this](const WaylandOutput* output) {
      say(live_.count(output) != 0 ? "failed " + output->name : "dead");
    });
  }

  void run(const std::string& line) {
    std::istringstream words(line);
    std::string command, name;
    words >> command >> name;
    const WaylandOutput* output = find(name);
    if (output == nullptr) {
      say("no output " + name);
    } else if (command == "capture") {
      std::vector<std::pair<int, int>> points;
      for (std::string point; words >> point;) {
        points.emplace_back(std::stoi(point), std::stoi(point.substr(point.find(',') + 1)));
      }
      points_[output] = points;
      if (!capture_.capture(*output)) say("refused " + name);
    } else if (command == "twice") {
      const bool first = capture_.capture(*output);
      const bool second = capture_.capture(*output);
      say("twice " + std::to_string(first) + ' ' + std::to_string(second));
    } else if (command == "hold") {
      capture_.capture(*output);
      connection_.flush();
      say("holding");
      for (char c = 0; c != '\n' && read(STDIN_FILENO, &c, 1) == 1;) {
      }
    }
  }

 private:
  const WaylandOutput* find(const std::string& name) const {
    for (const auto& output : connection_.outputs()) {
      if (output->name == name) return output.get();
    }
    return nullptr;
  }

  void captured(const WaylandOutput* output, const QImage& image) {
    if (live_.count(output) == 0) return say("dead");
    std::ostringstream out;
    out << "captured " << output->name << ' ' << image.width() << ' ' << image.height();
    for (const auto& [x, y] : points_[output]) {
      const int px = (x % image.width() + image.width()) % image.width();
      const int py = (y % image.height() + image.height()) % image.height();
      char colour[8];
      std::snprintf(colour, sizeof colour, "%06x", image.pixel(px, py) & 0xffffffu);
      out << ' ' << x << ',' << y << '=' << colour;
    }
    say(out.str());
  }

  WaylandConnection& connection_;
  OutputCapture& capture_;
  std::set<const WaylandOutput*> live_;
  std::map<const WaylandOutput*, std::vector<std::pair<int, int>>> points_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  WaylandConnection connection;
  OutputCapture capture(connection);
  if (!capture.isAvailable()) {
    say("unavailable");
    return 1;
  }
  Probe probe(connection, capture);
  QObject::connect(&connection, &WaylandConnection::connectionLost, [] { std::_Exit(1); });

  scenario::readLines([&probe](const std::string& line) { probe.run(line); },
                      [] { QCoreApplication::quit(); });
  say("ready");
  return QCoreApplication::exec();
}
