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
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "platform/shared/termination_signals.h"
#include "platform/wayland/kwin_script_client.h"

namespace {

void say(const std::string& line) {
  std::printf("driver: %s\n", line.c_str());
  std::fflush(stdout);
}

std::string describe(const platform::wayland::KWinScriptClient& client) {
  std::ostringstream out;
  out << "state loaded " << (client.isLoaded() ? 1 : 0);
  const auto frontmost = client.frontmostPid();
  out << " | frontmost " << (frontmost ? std::to_string(*frontmost) : "none") << " | windows";
  if (const auto list = client.windowList()) {
    for (const auto& info : *list) {
      const auto integer = [&info](std::string_view key) {
        const auto value = info.find(key);
        return value == info.end() ? std::int64_t{-99} : std::get<std::int64_t>(value->second);
      };
      const auto alpha = info.find(platform::kWindowAlphaKey);
      out << ' ' << integer(platform::kWindowNumberKey) << ':'
          << integer(platform::kWindowOwnerPidKey) << ':' << integer(platform::kWindowLayerKey)
          << ':' << (alpha == info.end() ? -1.0 : std::get<double>(alpha->second));
    }
  } else {
    out << " none";
  }
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
  platform::TerminationSignals termination([] { QCoreApplication::quit(); });

  std::string pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
      input.setEnabled(false);
      return;
    }
    pending.append(buffer, std::size_t(count));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (command == "state") say(describe(*client));
      if (command == "service") say("service " + client->serviceName().toStdString());
      if (command == "quit") QCoreApplication::quit();
    }
  });
  const int status = QCoreApplication::exec();
  client.reset();
  say("ended");
  return status;
}
