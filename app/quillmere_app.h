#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/application.h"
#include "platform/event.h"
#include "platform/geometry.h"
#include "platform/menu.h"
#include "platform/window.h"

namespace quillmere {

// The application delegate. It owns all state; its operations are grouped by subsystem in
// app/, overlay/, input/ and menu/.
class QuillmereApp final : public platform::ApplicationDelegate,
                           public std::enable_shared_from_this<QuillmereApp> {
 public:
  enum class EffectMode { blur, pixelate, dim };

  static constexpr std::array<EffectMode, 3> allCases = {EffectMode::blur, EffectMode::pixelate,
                                                         EffectMode::dim};
  static std::string_view rawValue(EffectMode mode);
  // The mode whose name equals the text exactly, or none.
  static std::optional<EffectMode> initWithRawValue(std::string_view text);

  QuillmereApp() = default;

  // Application shell (app/)
  void applicationDidFinishLaunching(const platform::Notification& notification) override;
  void checkPermissions();

  // Overlay engine (overlay/)
  void setupOverlay();
  void updateOverlayEffect(platform::Window& window);
  void updateFocus();

  // Input triggers (input/)
  void startMonitoring();
  void trackShake(const platform::Event& event);
  void toggleEffect();

  // Status menu (menu/)
  void setupStatusItem();
  void changeMode(platform::MenuItem& item);
  void intensityChanged(platform::Slider& slider);
  void toggleEffectFromMenu();

  // The actions that menu items and the slider send by name.
  bool respondsToAction(std::string_view action) const override;
  void performAction(std::string_view action, platform::Object& sender) override;

  std::vector<std::shared_ptr<platform::Window>> overlayWindows;
  std::shared_ptr<platform::StatusItem> statusItem;
  EffectMode currentMode = EffectMode::blur;
  double intensity = 0.7;

 private:
  friend struct QuillmereAppInspector;  // tests read the private state

  std::optional<platform::Point> lastMouseLocation;
  double shakeTotal = 0.0;
  bool isEffectEnabled = true;
  std::unordered_set<platform::WindowNumber> overlayWindowNumbers;
};

}  // namespace quillmere

template <>
struct std::hash<quillmere::QuillmereApp::EffectMode> {
  std::size_t operator()(quillmere::QuillmereApp::EffectMode mode) const noexcept {
    return std::hash<int>{}(static_cast<int>(mode));
  }
};
