// Quillmere on the Wayland backend, for the test scripts: the real launch and run, plus a few
// commands on standard input that reach what the menu will reach once there is one. Every line
// it adds itself starts with "driver: ".
//   mode M   switches every overlay to the effect named M (Blur, Pixelate or Dim) and reports
//            "mode M"
//   expect R G B  reports "expect R G B": what the first overlay shows now over a plain area of
//            that colour, from the renderer itself
//   toggle   toggles the effect as the shortcut does
//   state    reports the frontmost pid, the window list (as describeWindows gives it), the
//            screens, the overlays' levels and the IPC requests and output captures made so far
//   model    reports the effect, its intensity and the overlays' alpha
//   menu     reports the menu's size and each row's rectangle in the menu, in points
//   watch    from now on reports "activated SECONDS" on the monotonic clock each time an
//            activation has been handled, after Quillmere's own observer (for the benchmark)
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/platform.h"
#include "platform/render/effect_renderer.h"
#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_platform.h"
#include "scenario_driver.h"

namespace {

using scenario::say;

std::string describeState(platform::wayland::WaylandPlatform& backend) {
  std::ostringstream out;
  const auto frontmost = backend.frontmostApplication();
  out << "frontmost " << (frontmost ? std::to_string(frontmost->processIdentifier) : "none");
  // " NUMBER:PID" for each window, front to back; a number the window lacks reads -99.
  out << " | windows";
  const auto windows = backend.copyWindowInfo(17, 0);
  for (const auto& info : windows ? *windows : platform::WindowInfoList{}) {
    const auto integer = [&info](std::string_view key) {
      const auto value = info.find(key);
      return value == info.end() ? std::int64_t{-99} : std::get<std::int64_t>(value->second);
    };
    out << ' ' << integer(platform::kWindowNumberKey) << ':'
        << integer(platform::kWindowOwnerPidKey);
  }
  out << " | screens";
  for (const auto& frame : backend.screenFrames()) {
    out << ' ' << frame.origin.x << ',' << frame.origin.y << ',' << frame.size.width << ','
        << frame.size.height;
  }
  out << " | levels";
  if (quillmere::delegate) {
    for (const auto& window : quillmere::delegate->overlayWindows) out << ' ' << window->level();
  }
  out << " | ipc-requests " << backend.ipcRequestsSent();
  out << " | captures " << backend.capturesRequested();
  return out.str();
}

std::string describeModel() {
  const auto& delegate = quillmere::delegate;
  if (!delegate) return "model none";
  std::ostringstream out;
  out << "model " << quillmere::QuillmereApp::rawValue(delegate->currentMode) << ' '
      << delegate->intensity << " alpha";
  for (const auto& window : delegate->overlayWindows) out << ' ' << window->alphaValue();
  return out.str();
}

std::string describeRect(const QRect& rect) {
  return QString::asprintf("%d,%d,%d,%d", rect.x(), rect.y(), rect.width(), rect.height())
      .toStdString();
}

// The menu's widget is never shown on Wayland; its rows are where it draws them.
std::string describeMenu() {
  for (QWidget* widget : QApplication::allWidgets()) {
    auto* menu = qobject_cast<QMenu*>(widget);
    if (menu == nullptr) continue;
    std::ostringstream out;
    out << "menu " << menu->width() << ',' << menu->height();
    for (QAction* action : menu->actions()) {
      if (action->isSeparator()) continue;
      const QString title = action->text().section(QLatin1Char('\t'), 0, 0).trimmed();
      out << " | " << (title.isEmpty() ? "view" : title.toStdString()) << ' '
          << describeRect(menu->actionGeometry(action));
    }
    if (auto* slider = menu->findChild<QSlider*>()) {
      out << " | slider " << describeRect(QRect(slider->mapTo(menu, QPoint()), slider->size()));
    }
    return out.str();
  }
  return "menu none";
}

// The renderer's own answer for a plain area, at the first overlay's alpha.
std::string expectedOver(int red, int green, int blue) {
  const auto& delegate = quillmere::delegate;
  if (!delegate || delegate->overlayWindows.empty()) return "expect none";
  const auto& window = *delegate->overlayWindows.front();
  constexpr int kSide = 16;
  std::vector<std::uint8_t> plain, out(kSide * kSide * 4);
  for (int i = 0; i < kSide * kSide; ++i) {
    plain.insert(plain.end(), {std::uint8_t(blue), std::uint8_t(green), std::uint8_t(red), 255});
  }
  platform::render::EffectRenderer renderer;
  renderer.renderFinal(platform::render::snapshotContent(window.contentView()),
                       {plain.data(), kSide, kSide, kSide * 4}, 1.0, window.alphaValue(),
                       {out.data(), kSide, kSide, kSide * 4});
  const std::size_t middle = (kSide / 2 * kSide + kSide / 2) * 4;
  std::ostringstream answer;
  answer << "expect " << int(out[middle + 2]) << ' ' << int(out[middle + 1]) << ' '
         << int(out[middle]);
  return answer.str();
}

void runCommand(const std::string& command, platform::wayland::WaylandPlatform& backend) {
  auto& delegate = quillmere::delegate;
  std::istringstream words(command);
  std::string verb;
  words >> verb;
  if (verb == "mode" && delegate) {
    std::string name;
    words >> name;
    for (auto mode : quillmere::QuillmereApp::allCases) {
      if (quillmere::QuillmereApp::rawValue(mode) != name) continue;
      delegate->currentMode = mode;
      for (const auto& window : delegate->overlayWindows) delegate->updateOverlayEffect(*window);
    }
    say("mode " + name);
  } else if (verb == "expect") {
    int red = 0, green = 0, blue = 0;
    words >> red >> green >> blue;
    say(expectedOver(red, green, blue));
  } else if (command == "toggle" && delegate) {
    delegate->toggleEffect();
  } else if (command == "state") {
    say(describeState(backend));
  } else if (command == "model") {
    say(describeModel());
  } else if (command == "menu") {
    say(describeMenu());
  } else if (command == "watch") {
    // Observers run in the order they were added: Quillmere's restack has run by now.
    backend.addWorkspaceObserver(platform::WorkspaceNotification::didActivateApplication,
                                 [&backend] { say("activated " + std::to_string(backend.now())); });
  }
}

}  // namespace

int main(int, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  qputenv("QT_QPA_PLATFORM", "wayland");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);

  auto backend = platform::wayland::makeWaylandPlatform();
  if (!backend) {
    std::fputs("quillmere: no Wayland compositor with layer-shell\n", stderr);
    return 1;
  }
  auto& wayland = static_cast<platform::wayland::WaylandPlatform&>(*backend);
  platform::installPlatform(std::move(backend));

  scenario::readLines([&wayland](const std::string& command) { runCommand(command, wayland); });

  quillmere::runQuillmere();
  const int status = wayland.exitCode();
  std::fflush(nullptr);
  std::_Exit(status);
}
