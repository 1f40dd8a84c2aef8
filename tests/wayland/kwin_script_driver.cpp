// KWinScriptClient alone, for the KWin scenarios: constructs it for this process and answers
// commands on standard input. Every line starts with "driver: ".
//   state    "state loaded 0|1 | frontmost PID|none | windows NUMBER:PID:LEVEL:ALPHA ... |
//            requests N"
//   service  the bus name the script reports to
//   quit     ends the way SIGTERM does: the client is destroyed, which unloads the script
// It also reports, as they happen, "posted NAME MS" (MS: milliseconds since the epoch, the
// clock KWin scripts have), "shortcut" and "exposure".
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <memory>
#include <sstream>
#include <string>

#include "platform/qt/termination_signals.h"
#include "platform/wayland/kwin_script_client.h"
#include "scenario_driver.h"

namespace {

using scenario::say;

std::string describe(const platform::wayland::KWinScriptClient& client) {
  std::ostringstream out;
  out << "state loaded " << (client.isLoaded() ? 1 : 0);
  const auto frontmost = client.frontmostPid();
  out << " | frontmost " << (frontmost ? std::to_string(*frontmost) : "none") << " | windows"
      << scenario::describeWindows(client.windowList().get());
  out << " | requests " << client.requestsSent();
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  auto client = std::make_unique<platform::wayland::KWinScriptClient>(
      platform::ProcessId(getpid()),
      [](platform::WorkspaceNotification name) {
        say("posted " + std::string(platform::notificationName(name)) + ' ' +
            std::to_string(QDateTime::currentMSecsSinceEpoch()));
      },
      [] { say("shortcut"); });
  client->setExposureObserver([] { say("exposure"); });
  platform::qt::TerminationSignals termination([] { QCoreApplication::quit(); });

  scenario::readLines([&](const std::string& command) {
    if (command == "state") say(describe(*client));
    if (command == "service") say("service " + client->serviceName().toStdString());
    if (command == "quit") QCoreApplication::quit();
  });
  const int status = QCoreApplication::exec();
  client.reset();
  say("ended");
  return status;
}
