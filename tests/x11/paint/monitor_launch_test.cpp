// Quillmere itself, launched again and again on private desktops with two monitors of unequal
// size: each overlay covers exactly its own monitor and shows the effect over what lies
// beneath it, every pixel and every edge, and leaves the rest of the screen alone.
#include <gtest/gtest.h>

#include <QRect>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../../render/render_helpers.h"
#include "private_display.h"
#include "quillmere_launch.h"
#include "test_desktop.h"
#include "top_level_windows.h"

namespace {

using quillmere::test::PrivateDisplay;
using quillmere::test::QuillmereLaunch;
using quillmere::test::TestDesktop;
using quillmere::test::TopLevelWindows;
namespace helpers = platform::render::testing;

constexpr int kLaunchesPerEffect = 10;
constexpr double kIntensity = 0.7;
const std::vector<std::string> kCompositor{"picom", "--backend", "xrender", "--config",
                                           "/dev/null"};

struct Monitor {
  QRect rect;  // device pixels
  bool primary = false;
};

// Two monitors as RandR defines them, in that order; the primary holds the screen's output.
struct Layout {
  const char* name;
  QSize screen;
  std::vector<Monitor> monitors;
};

const Layout kPrimaryRight{"primaryRight",
                           {2390, 768},
                           {{QRect(0, 0, 1024, 600), false}, {QRect(1024, 0, 1366, 768), true}}};
const Layout kPrimaryLeft{"primaryLeft",
                          {2390, 768},
                          {{QRect(1366, 0, 1024, 600), false}, {QRect(0, 0, 1366, 768), true}}};

void PrintTo(const Layout& layout, std::ostream* out) {
  *out << layout.name;
}

enum class Effect { blur, pixelate, dim };
constexpr Effect kEffects[] = {Effect::blur, Effect::pixelate, Effect::dim};

const char* nameOf(Effect effect) {
  switch (effect) {
    case Effect::blur:
      return "blur";
    case Effect::pixelate:
      return "pixelate";
    case Effect::dim:
      return "dim";
  }
  return "";
}

platform::render::ContentSnapshot contentFor(Effect effect, platform::Size points) {
  switch (effect) {
    case Effect::blur:
      return helpers::blurContent(points, kIntensity);
    case Effect::pixelate:
      return helpers::pixelateContent(points, kIntensity);
    case Effect::dim:
      return helpers::dimContent(points, kIntensity);
  }
  return {};
}

// What the desktop window shows: a colour ramp across the whole screen with a fine checker in
// blue, so that a pixel taken from the wrong place or a neighbouring monitor shows; turned
// round, another picture.
std::vector<std::uint32_t> desktopPicture(QSize size, bool turned = false) {
  std::vector<std::uint32_t> rgb(static_cast<std::size_t>(size.width()) * size.height());
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (size.width() - 1));
      const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / (size.height() - 1));
      const std::uint32_t b = ((x / 6 + y / 6) % 2) != 0 ? 210 : 40;
      rgb[static_cast<std::size_t>(y) * size.width() + x] =
          turned ? g << 16 | b << 8 | r : r << 16 | g << 8 | b;
    }
  }
  return rgb;
}

helpers::Image crop(const std::vector<std::uint32_t>& rgb, QSize size, QRect rect) {
  helpers::Image image(rect.width(), rect.height());
  for (int y = 0; y < rect.height(); ++y) {
    for (int x = 0; x < rect.width(); ++x) {
      const std::uint32_t p =
          rgb[static_cast<std::size_t>(rect.y() + y) * size.width() + rect.x() + x];
      std::uint8_t* out = image.at(x, y);
      out[0] = p & 0xff;
      out[1] = (p >> 8) & 0xff;
      out[2] = (p >> 16) & 0xff;
      out[3] = 0xff;
    }
  }
  return image;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string hex(std::uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06x", rgb);
  return text;
}

// Quillmere's ratios: Qt's scale settings, and those it reads from the display.
struct Scale {
  const char* name;
  int xftDpi = 0;  // Xft.dpi in the display's resources; 0 leaves it out
  std::vector<std::pair<std::string, std::string>> environment;
  double primaryRatio = 1.0;
  double secondaryRatio = 1.0;
};

void PrintTo(const Scale& scale, std::ostream* out) {
  *out << scale.name;
}

// A desktop with two monitors, openbox, a desktop program's window and perhaps a compositor.
class TwoMonitorDesktop : public ::testing::Test {
 protected:
  struct Expected {
    QRect rect;
    helpers::Image pixels;
  };

  void startDesktop(bool compositor, const Layout& layout, int xftDpi = 0) {
    layout_ = layout;
    display_ = std::make_unique<PrivateDisplay>(layout_.screen.width(), layout_.screen.height());
    ASSERT_TRUE(display_->running()) << "Xvfb did not start";
    for (const Monitor& monitor : layout_.monitors) {
      const QRect& r = monitor.rect;
      // The millimetres give 96 dots per inch, as Xvfb's own.
      const std::string geometry = std::to_string(r.width()) + "/" +
                                   std::to_string(std::lround(r.width() * 25.4 / 96)) + "x" +
                                   std::to_string(r.height()) + "/" +
                                   std::to_string(std::lround(r.height() * 25.4 / 96)) + "+" +
                                   std::to_string(r.x()) + "+" + std::to_string(r.y());
      const std::string name = monitor.primary ? "primary" : "secondary";
      ASSERT_TRUE(display_->run(
          {"xrandr", "--setmonitor", name, geometry, monitor.primary ? "screen" : "none"}));
    }
    ASSERT_TRUE(display_->run({"xrandr", "--output", "screen", "--primary"}));
    if (xftDpi != 0) {
      const std::string path =
          ::testing::TempDir() + "/quillmere-xft-" + display_->name().substr(1);
      std::ofstream(path) << "Xft.dpi: " << xftDpi << "\n";
      ASSERT_TRUE(display_->run({"xrdb", "-merge", path}));
      std::remove(path.c_str());
    }
    display_->start({"openbox", "--config-file", "/etc/xdg/openbox/rc.xml"});
    desktop_ = std::make_unique<TestDesktop>(display_->name());
    windows_ = std::make_unique<TopLevelWindows>(display_->name());
    ASSERT_TRUE(desktop_->connected());
    ASSERT_TRUE(
        waitFor([&] { return windows_->windowManagerRunning(); }, std::chrono::seconds(10)));
    if (compositor) display_->start(kCompositor);

    picture_ = desktopPicture(layout_.screen);
    const xcb_window_t window = desktopWindow_ =
        desktop_->createDesktopPicture(QRect(QPoint(0, 0), layout_.screen), picture_);
    const QRect all(QPoint(0, 0), layout_.screen);
    std::vector<std::uint32_t> shot;
    int polls = 0;
    ASSERT_TRUE(waitFor(
        [&] {
          if (++polls % 50 == 0) windows_->mapAgain(window);
          return (shot = desktop_->screen(all)) == picture_;
        },
        std::chrono::seconds(10)))
        << "the desktop window does not show its picture: " << firstDifference(shot);
  }

  std::string firstDifference(const std::vector<std::uint32_t>& shot) const {
    for (std::size_t i = 0; i < std::min(shot.size(), picture_.size()); ++i) {
      if (shot[i] != picture_[i]) {
        const auto width = static_cast<std::size_t>(layout_.screen.width());
        return "at (" + std::to_string(i % width) + ", " + std::to_string(i / width) + ") " +
               hex(shot[i]) + " instead of " + hex(picture_[i]);
      }
    }
    return "no screenshot";
  }

  // The expected pixels of each monitor for the effect, in device pixels at its ratio.
  std::vector<Expected> expectedFor(Effect effect, const Scale& scale) const {
    std::vector<Expected> expected;
    for (const Monitor& monitor : layout_.monitors) {
      const QRect& r = monitor.rect;
      const double ratio = monitor.primary ? scale.primaryRatio : scale.secondaryRatio;
      const platform::Size points{r.width() / ratio, r.height() / ratio};
      expected.push_back({r, helpers::finalPixels(contentFor(effect, points),
                                                  crop(picture_, layout_.screen, r), ratio, 1.0)});
    }
    return expected;
  }

  QRect primaryRect() const {
    for (const Monitor& monitor : layout_.monitors) {
      if (monitor.primary) return monitor.rect;
    }
    return {};
  }

  // The panel that stands in for the status item without a tray: in the primary's top-right
  // corner, 24 points square, give or take a pixel that Qt rounds at fractional ratios.
  QRect panelRect(double ratio) const {
    const int side = static_cast<int>(std::ceil(24 * ratio));
    const QRect primary = primaryRect();
    return QRect(primary.right() - side, primary.top(), side + 1, side + 1).intersected(primary);
  }

  // Chooses the effect from the menu, with the keyboard: the modes are the first items that
  // can be chosen.
  ::testing::AssertionResult choose(Effect effect, double ratio) {
    if (effect == Effect::blur) return ::testing::AssertionSuccess();
    const QPoint click = panelRect(ratio).center();
    const auto menuShown = [&] {
      for (const auto& [window, rect] : windows_->unmanaged()) {
        if (rect.width() >= 100 && rect.height() >= 100 && rect.width() < 1000) return true;
      }
      return false;
    };
    // The panel may not be there yet; click until the menu opens.
    const bool opened = waitFor(
        [&] {
          display_->run({"xdotool", "mousemove", std::to_string(click.x()),
                         std::to_string(click.y()), "click", "1"});
          return waitFor(menuShown, std::chrono::milliseconds(400));
        },
        std::chrono::seconds(8));
    if (!opened) return ::testing::AssertionFailure() << "the menu did not open";
    std::vector<std::string> keys{"xdotool", "key", "--delay", "30", "Down", "Down"};
    if (effect == Effect::dim) keys.push_back("Down");
    keys.push_back("Return");
    display_->run(keys);
    return ::testing::AssertionSuccess();
  }

  // Whether the screen shows the expected pixels on every monitor, within the tolerance, and
  // the picture unchanged everywhere else; the panel's corner is left out.
  ::testing::AssertionResult screenShows(const std::vector<Expected>& expected, QRect panel,
                                         int tolerance) {
    const QRect all(QPoint(0, 0), layout_.screen);
    const std::vector<std::uint32_t> shot = desktop_->screen(all);
    if (shot.size() != picture_.size()) return ::testing::AssertionFailure() << "no screenshot";
    const auto near = [tolerance](std::uint32_t a, std::uint32_t b) {
      using quillmere::test::blue;
      using quillmere::test::green;
      using quillmere::test::red;
      return std::abs(red(a) - red(b)) <= tolerance && std::abs(green(a) - green(b)) <= tolerance &&
             std::abs(blue(a) - blue(b)) <= tolerance;
    };
    for (int y = 0; y < all.height(); ++y) {
      for (int x = 0; x < all.width(); ++x) {
        if (panel.contains(x, y)) continue;
        const std::uint32_t got = shot[static_cast<std::size_t>(y) * all.width() + x];
        std::uint32_t want = picture_[static_cast<std::size_t>(y) * all.width() + x];
        int monitor = -1;
        for (std::size_t m = 0; m < expected.size(); ++m) {
          if (!expected[m].rect.contains(x, y)) continue;
          const QRect& r = expected[m].rect;
          const std::uint8_t* p = expected[m].pixels.at(x - r.x(), y - r.y());
          want = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
          monitor = static_cast<int>(m);
        }
        if (!near(got, want)) {
          return ::testing::AssertionFailure()
                 << "at (" << x << ", " << y << ") on "
                 << (monitor < 0 ? std::string("no monitor") : "monitor " + std::to_string(monitor))
                 << " the screen shows " << hex(got) << " instead of " << hex(want);
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Every overlay window covers exactly one monitor, each monitor has one.
  ::testing::AssertionResult overlaysCoverTheMonitors() {
    std::multiset<std::tuple<int, int, int, int>> overlays, monitors;
    for (const Monitor& monitor : layout_.monitors) {
      const QRect& r = monitor.rect;
      monitors.insert({r.x(), r.y(), r.width(), r.height()});
    }
    for (const auto& [window, r] : windows_->unmanaged()) {
      if (r.width() >= 1000) overlays.insert({r.x(), r.y(), r.width(), r.height()});
    }
    if (overlays == monitors) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "overlays at";
    for (const auto& [x, y, w, h] : overlays) {
      failure << " " << w << "x" << h << "+" << x << "+" << y;
    }
    return failure;
  }

  // Waits until the screen shows the expected pixels.
  ::testing::AssertionResult showsSoon(const std::vector<Expected>& expected, double ratio) {
    ::testing::AssertionResult shows = ::testing::AssertionFailure();
    waitFor([&] { return bool(shows = screenShows(expected, panelRect(ratio), 2)); },
            std::chrono::seconds(6));
    return shows;
  }

  // Launches Quillmere again and again, each time choosing the effect, and checks the screen.
  void launchAndCheck(const Scale& scale, int launchesPerEffect) {
    for (Effect effect : kEffects) {
      const std::vector<Expected> expected = expectedFor(effect, scale);
      for (int launch = 0; launch < launchesPerEffect; ++launch) {
        SCOPED_TRACE(std::string(nameOf(effect)) + ", launch " + std::to_string(launch + 1));
        QuillmereLaunch quillmere(display_->name(), scale.environment);
        ASSERT_TRUE(choose(effect, scale.primaryRatio));
        EXPECT_TRUE(showsSoon(expected, scale.primaryRatio));
        EXPECT_TRUE(overlaysCoverTheMonitors());
        EXPECT_EQ(quillmere.stop(), 0);
        if (HasFailure()) return;
      }
    }
  }

  Layout layout_;
  std::unique_ptr<PrivateDisplay> display_;
  std::unique_ptr<TestDesktop> desktop_;
  std::unique_ptr<TopLevelWindows> windows_;
  std::vector<std::uint32_t> picture_;
  xcb_window_t desktopWindow_ = XCB_NONE;
};

class MonitorLaunch : public TwoMonitorDesktop,
                      public ::testing::WithParamInterface<std::tuple<bool, Layout>> {};

TEST_P(MonitorLaunch, EveryMonitorShowsItsEffectAtEveryLaunch) {
  const auto& [compositor, layout] = GetParam();
  startDesktop(compositor, layout);
  if (HasFatalFailure()) return;
  launchAndCheck(Scale{"1", 0, {}, 1.0, 1.0}, kLaunchesPerEffect);
}

INSTANTIATE_TEST_SUITE_P(TwoMonitors, MonitorLaunch,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(kPrimaryRight, kPrimaryLeft)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "picom_" : "none_") +
                                  std::get<1>(info.param).name;
                         });

// Monitors that come, go or change while Quillmere runs keep the overlays made at launch.
TEST_F(TwoMonitorDesktop, MonitorsChangingWhileRunningLeaveTheOverlaysAsTheyWere) {
  startDesktop(false, kPrimaryRight);
  if (HasFatalFailure()) return;
  QuillmereLaunch quillmere(display_->name(), {});
  ASSERT_TRUE(waitFor([&] { return bool(overlaysCoverTheMonitors()); }, std::chrono::seconds(5)));
  EXPECT_TRUE(display_->run({"xrandr", "--setmonitor", "added", "1024/271x168/44+0+600", "none"}));
  EXPECT_TRUE(display_->run({"xrandr", "--delmonitor", "secondary"}));
  EXPECT_TRUE(
      display_->run({"xrandr", "--setmonitor", "secondary", "800/212x600/159+0+0", "none"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(quillmere.running());
  EXPECT_TRUE(overlaysCoverTheMonitors());
  EXPECT_EQ(quillmere.stop(), 0);
}

// Each monitor follows the toggle's fades and a change of what lies beneath it on its own.
class MonitorChanges : public TwoMonitorDesktop, public ::testing::WithParamInterface<bool> {};

TEST_P(MonitorChanges, EveryMonitorFollowsTheToggleAndWhatLiesBeneath) {
  startDesktop(GetParam(), kPrimaryRight);
  if (HasFatalFailure()) return;
  const Scale one{"1", 0, {}, 1.0, 1.0};
  QuillmereLaunch quillmere(display_->name(), {});
  EXPECT_TRUE(showsSoon(expectedFor(Effect::blur, one), 1.0));
  display_->run({"xdotool", "key", "super+b"});
  EXPECT_TRUE(showsSoon({}, 1.0)) << "switched off";
  display_->run({"xdotool", "key", "super+b"});
  EXPECT_TRUE(showsSoon(expectedFor(Effect::blur, one), 1.0)) << "switched on again";

  picture_ = desktopPicture(layout_.screen, true);
  desktop_->setPicture(desktopWindow_, layout_.screen, picture_);
  EXPECT_TRUE(showsSoon(expectedFor(Effect::blur, one), 1.0)) << "another picture beneath";
  EXPECT_EQ(quillmere.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(TwoMonitors, MonitorChanges, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "picom" : "none"; });

// The 1366-pixel monitor at 1.5 is 910.67 points wide, and still covered to the last column.
class MonitorScale : public TwoMonitorDesktop, public ::testing::WithParamInterface<Scale> {};

TEST_P(MonitorScale, EveryMonitorIsCoveredInDevicePixelsWithTheEffectInPoints) {
  startDesktop(false, kPrimaryRight, GetParam().xftDpi);
  if (HasFatalFailure()) return;
  launchAndCheck(GetParam(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, MonitorScale,
    ::testing::Values(
        Scale{"xftDpi144", 144, {}, 1.5, 1.5}, Scale{"xftDpi192", 192, {}, 2.0, 2.0},
        Scale{"qtScaleFactor1_5", 0, {{"QT_SCALE_FACTOR", "1.5"}}, 1.5, 1.5},
        Scale{"qtScaleFactor2", 0, {{"QT_SCALE_FACTOR", "2"}}, 2.0, 2.0},
        Scale{"mixed", 0, {{"QT_SCREEN_SCALE_FACTORS", "primary=2;secondary=1"}}, 2.0, 1.0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
