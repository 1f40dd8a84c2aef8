// Quillmere itself, launched again and again on private desktops with two monitors of unequal
// size: each overlay covers exactly its own monitor and shows the blur over what lies beneath
// it, every pixel and every edge, and leaves the rest of the screen alone. The other effects
// over the same beneath are pinned on the painter (overlay_paint_engine_test.cpp), the menu that
// chooses them in tests/x11/shell/test_quillmere.py.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../../render/render_helpers.h"
#include "../private_display.h"
#include "../test_desktop.h"
#include "screen_match.h"
#include "tests/qt/qt_event_loop.h"

namespace {

using platform::qt::test::waitUntil;
using quillmere::test::PrivateDisplay;
using quillmere::test::TestDesktop;
namespace helpers = platform::render::testing;

constexpr double kIntensity = 0.7;

struct Monitor {
  QRect rect;  // device pixels
  bool primary = false;
};

// Two monitors as RandR defines them, in that order; the primary holds the screen's output.
struct Layout {
  QSize screen;
  std::vector<Monitor> monitors;
};

const Layout kPrimaryRight{{2390, 768},
                           {{QRect(0, 0, 1024, 600), false}, {QRect(1024, 0, 1366, 768), true}}};
const Layout kPrimaryLeft{{2390, 768},
                          {{QRect(1366, 0, 1024, 600), false}, {QRect(0, 0, 1366, 768), true}}};

// Quillmere's ratios and the Qt scale settings that give them.
struct Scale {
  std::vector<std::pair<std::string, std::string>> environment;
  double primaryRatio = 1.0;
  double secondaryRatio = 1.0;
};

// The wallpaper: a colour ramp across the whole screen with a fine checker in blue, so that a
// pixel taken from the wrong place or a neighbouring monitor shows.
helpers::Image wallpaper(QSize size) {
  helpers::Image image(size.width(), size.height());
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      std::uint8_t* p = image.at(x, y);  // blue, green, red and alpha
      p[0] = ((x / 6 + y / 6) % 2) != 0 ? 210 : 40;
      p[1] = static_cast<std::uint8_t>(y * 255 / (size.height() - 1));
      p[2] = static_cast<std::uint8_t>(x * 255 / (size.width() - 1));
      p[3] = 0xff;
    }
  }
  return image;
}

helpers::Image crop(const helpers::Image& image, QRect rect) {
  helpers::Image part(rect.width(), rect.height());
  for (int y = 0; y < rect.height(); ++y) {
    std::memcpy(part.at(0, y), image.at(rect.x(), rect.y() + y), std::size_t(rect.width()) * 4);
  }
  return part;
}

// A desktop with two monitors, openbox, a wallpaper and perhaps a compositor.
class TwoMonitorDesktop : public ::testing::Test {
 protected:
  void startDesktop(bool compositor, const Layout& layout) {
    layout_ = layout;
    display_ = std::make_unique<PrivateDisplay>(layout_.screen.width(), layout_.screen.height());
    ASSERT_TRUE(display_->running()) << "Xvfb did not start";
    for (const Monitor& monitor : layout_.monitors) {
      const QRect& r = monitor.rect;
      // The millimetres give 96 dots per inch, as Xvfb's own.
      const auto mm = [](int pixels) { return std::to_string(std::lround(pixels * 25.4 / 96)); };
      const std::string geometry = std::to_string(r.width()) + "/" + mm(r.width()) + "x" +
                                   std::to_string(r.height()) + "/" + mm(r.height()) + "+" +
                                   std::to_string(r.x()) + "+" + std::to_string(r.y());
      ASSERT_TRUE(
          display_->run({"xrandr", "--setmonitor", monitor.primary ? "primary" : "secondary",
                         geometry, monitor.primary ? "screen" : "none"}));
    }
    ASSERT_TRUE(display_->run({"xrandr", "--output", "screen", "--primary"}));
    ASSERT_TRUE(quillmere::test::startWindowManager(*display_));
    desktop_ = std::make_unique<TestDesktop>(display_->name());
    ASSERT_TRUE(desktop_->connected());
    if (compositor) display_->start(quillmere::test::kCompositor);

    // Set as a wallpaper setter does, across all monitors.
    picture_ = wallpaper(layout_.screen);
    const QString file = wallpaperDirectory_.filePath("picture.png");
    ASSERT_TRUE(
        QImage(picture_.pixels.data(), picture_.width, picture_.height, QImage::Format_RGB32)
            .save(file));
    ASSERT_TRUE(display_->run({"hsetroot", "-root", "-tile", file.toStdString()}));
    ASSERT_TRUE(showsSoon(picture_, 1.0)) << "the wallpaper";
  }

  // What the screen shows with the blur over each monitor, in device pixels at its ratio, and
  // the picture unchanged elsewhere; when switched off the picture alone.
  helpers::Image expectedFor(bool blurred, const Scale& scale = {}) const {
    helpers::Image expected = picture_;
    for (const Monitor& monitor : blurred ? layout_.monitors : std::vector<Monitor>{}) {
      const QRect& r = monitor.rect;
      const double ratio = monitor.primary ? scale.primaryRatio : scale.secondaryRatio;
      const platform::Size points{r.width() / ratio, r.height() / ratio};
      const helpers::Image pixels = helpers::finalPixels(helpers::blurContent(points, kIntensity),
                                                         crop(picture_, r), ratio, 1.0);
      for (int y = 0; y < r.height(); ++y) {
        std::memcpy(expected.at(r.x(), r.y() + y), pixels.at(0, y), std::size_t(r.width()) * 4);
      }
    }
    return expected;
  }

  // The panel that stands in for the status item without a tray: in the primary's top-right
  // corner, 24 points square, give or take a pixel that Qt rounds at fractional ratios.
  QRect panelRect(double ratio) const {
    const int side = static_cast<int>(std::ceil(24 * ratio));
    for (const Monitor& m : layout_.monitors) {
      if (m.primary) return QRect(m.rect.right() - side, m.rect.top(), side + 1, side + 1) & m.rect;
    }
    return {};
  }

  // Every overlay window covers exactly one monitor, each monitor has one. Waited for: a
  // compositor may still show the last launch's overlays fading out, so the pixels can match
  // before this launch has mapped all of its own.
  ::testing::AssertionResult overlaysCoverTheMonitors() {
    std::multiset<std::tuple<int, int, int, int>> overlays, monitors;
    for (const Monitor& monitor : layout_.monitors) {
      const QRect& r = monitor.rect;
      monitors.insert({r.x(), r.y(), r.width(), r.height()});
    }
    waitUntil(
        [&] {
          overlays.clear();
          for (const QRect& r : desktop_->unmanaged()) {
            if (r.width() >= 1000) overlays.insert({r.x(), r.y(), r.width(), r.height()});
          }
          return overlays == monitors;
        },
        std::chrono::seconds(6));
    return overlays == monitors ? ::testing::AssertionSuccess()
                                : ::testing::AssertionFailure() << overlays.size() << " overlays";
  }

  // Waits until the screen shows the expected pixels; the panel's corner is left out.
  ::testing::AssertionResult showsSoon(const helpers::Image& expected, double ratio) {
    ::testing::AssertionResult shows = ::testing::AssertionFailure();
    const QRect all(QPoint(0, 0), layout_.screen);
    waitUntil(
        [&] {
          return bool(shows = quillmere::test::matches(desktop_->screen(all), expected, 2,
                                                       panelRect(ratio)));
        },
        std::chrono::seconds(6));
    return shows;
  }

  Layout layout_;
  std::unique_ptr<PrivateDisplay> display_;
  std::unique_ptr<TestDesktop> desktop_;
  helpers::Image picture_;
  QTemporaryDir wallpaperDirectory_;
};

// A desktop, how often Quillmere is launched on it, and at which scale: again
// and again where a race at launch would show, with and without a compositor, once per ratio.
// At 1.5 the 1366-pixel monitor is 910.67 points wide, and still covered to the last column.
const Scale kPerScreen{{{"QT_SCREEN_SCALE_FACTORS", "primary=2;secondary=1"}}, 2.0, 1.0};
struct Launches {
  const char* name;
  bool compositor;
  const Layout* layout;
  int launches;
  Scale scale;
};
const Launches kLaunches[] = {
    {"none_primaryRight", false, &kPrimaryRight, 20, {}},
    {"picom_primaryLeft", true, &kPrimaryLeft, 20, {}},
    {"qtScaleFactor1_5", false, &kPrimaryRight, 1, {{{"QT_SCALE_FACTOR", "1.5"}}, 1.5, 1.5}},
    {"mixed", false, &kPrimaryRight, 1, kPerScreen},
};

class MonitorLaunch : public TwoMonitorDesktop, public ::testing::WithParamInterface<Launches> {};

TEST_P(MonitorLaunch, EveryMonitorShowsItsEffectAtEveryLaunch) {
  const Launches& launches = GetParam();
  const Scale& scale = launches.scale;
  startDesktop(launches.compositor, *launches.layout);
  if (HasFatalFailure()) return;
  for (const auto& [name, value] : scale.environment) display_->environment()[name] = value;
  const helpers::Image expected = expectedFor(true, scale);
  for (int launch = 0; launch < launches.launches; ++launch) {
    SCOPED_TRACE("launch " + std::to_string(launch + 1));
    const pid_t quillmere = display_->start({QUILLMERE_BINARY});
    EXPECT_TRUE(showsSoon(expected, scale.primaryRatio));
    EXPECT_TRUE(overlaysCoverTheMonitors());
    EXPECT_EQ(display_->stop(quillmere), 0);
    if (HasFailure()) return;
  }
  if (launches.launches == 1) return;

  // One launch more: each monitor follows the toggle's fades on its own; monitors that come, go
  // or change while Quillmere runs keep the overlays made at launch.
  const pid_t quillmere = display_->start({QUILLMERE_BINARY});
  EXPECT_TRUE(showsSoon(expected, 1.0));
  display_->run({"xdotool", "key", "super+b"});
  EXPECT_TRUE(showsSoon(expectedFor(false), 1.0)) << "switched off";
  display_->run({"xdotool", "key", "super+b"});
  EXPECT_TRUE(showsSoon(expected, 1.0)) << "switched on again";

  EXPECT_TRUE(display_->run({"xrandr", "--setmonitor", "added", "1024/271x168/44+0+600", "none"}));
  EXPECT_TRUE(display_->run({"xrandr", "--delmonitor", "secondary"}));
  EXPECT_TRUE(
      display_->run({"xrandr", "--setmonitor", "secondary", "800/212x600/159+0+0", "none"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(overlaysCoverTheMonitors()) << "after the monitors changed";
  EXPECT_EQ(display_->stop(quillmere), 0) << "still running, and ends cleanly";
}

INSTANTIATE_TEST_SUITE_P(TwoMonitors, MonitorLaunch, ::testing::ValuesIn(kLaunches),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
