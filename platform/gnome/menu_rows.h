#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/menu.h"

namespace platform::gnome {

// One row of SetMenu's a(sssbbddd).
struct MenuRow {
  std::string kind;  // item, separator or slider
  std::string title;
  std::string keyEquivalent;  // one lower-case character, or empty
  bool checked = false;
  bool enabled = true;
  double value = 0.0;
  double min = 0.0;
  double max = 0.0;
  friend bool operator==(const MenuRow&, const MenuRow&) = default;
};

// At most this many rows go to the extension, titles cut to this many bytes.
inline constexpr std::size_t kMaxMenuRows = 64;
inline constexpr std::size_t kMaxMenuTitleBytes = 256;

// A menu as rows, and the item behind each row, so that MenuActivated and SliderMoved can find
// it again. Items with a view other than a slider are left out.
struct MenuRows {
  std::vector<MenuRow> rows;
  std::vector<std::shared_ptr<MenuItem>> items;
};

MenuRows menuRowsOf(const Menu* menu);

// The slider inside an item's view, or null.
std::shared_ptr<Slider> sliderOf(const MenuItem& item);

}  // namespace platform::gnome
