#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/entry.h"
#include "app/quillmere_app.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace quillmere {

// Reads the delegate's private state.
struct QuillmereAppInspector {
  static bool isEffectEnabled(const QuillmereApp& a) { return a.isEffectEnabled; }
  static double shakeTotal(const QuillmereApp& a) { return a.shakeTotal; }
  static void setShakeTotal(QuillmereApp& a, double total) { a.shakeTotal = total; }
  static std::optional<platform::Point> lastMouseLocation(const QuillmereApp& a) {
    return a.lastMouseLocation;
  }
  static const std::unordered_set<platform::WindowNumber>& overlayWindowNumbers(
      const QuillmereApp& a) {
    return a.overlayWindowNumbers;
  }
};

// Every test starts from a fresh simulated platform with one 1440 x 900 screen, a trusted
// process and no frontmost application, and from a fresh process state.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the whole entry sequence; the simulated loop returns once launching has finished.
  void launch() { runQuillmere(); }
  // A delegate made by hand, without launching, for operations tested alone.
  QuillmereApp& makeDelegate() { return *(delegate = std::make_shared<QuillmereApp>()); }
  QuillmereApp& makeDelegateWithOverlays() {
    makeDelegate().setupOverlay();
    return delegateRef();
  }
  QuillmereApp& delegateRef() { return *quillmere::delegate; }

  // A foreign window record with every key present.
  static platform::WindowInfo windowInfo(std::int64_t number, std::int64_t pid, std::int64_t layer,
                                         double alpha = 1.0);
  std::vector<std::string> journalWithout(const std::string& prefix) const;

  platform::sim::SimPlatform* sim = nullptr;
};

}  // namespace quillmere
