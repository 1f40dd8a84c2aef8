#include "platform/gnome/menu_rows.h"

namespace platform::gnome {

namespace {

// The extension shows Super+<key> for one lower-case letter or digit; anything else (an upper
// case letter would mean Shift as well) shows none.
std::string keyOf(const std::string& key) {
  const bool plain =
      key.size() == 1 && ((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= '0' && key[0] <= '9'));
  return plain ? key : std::string();
}

// Cut at a character boundary, so the title stays valid UTF-8.
std::string cutTitle(std::string title) {
  if (title.size() <= kMaxMenuTitleBytes) return title;
  std::size_t end = kMaxMenuTitleBytes;
  while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80) --end;
  title.resize(end);
  return title;
}

}  // namespace

std::shared_ptr<Slider> sliderOf(const MenuItem& item) {
  return firstSlider(item.view());
}

MenuRows menuRowsOf(const Menu* menu) {
  MenuRows out;
  if (menu == nullptr) return out;
  for (const auto& item : menu->itemArray()) {
    if (out.rows.size() == kMaxMenuRows) break;
    MenuRow row;
    if (item->isSeparatorItem()) {
      row.kind = "separator";
    } else if (item->view()) {
      const auto slider = sliderOf(*item);
      if (!slider) continue;
      row.kind = "slider";
      row.value = slider->doubleValue();
      row.min = slider->minValue();
      row.max = slider->maxValue();
    } else {
      row.kind = "item";
      row.title = cutTitle(item->title());
      row.keyEquivalent = keyOf(item->keyEquivalent());
      row.checked = item->state() == ControlStateValue::on;
      row.enabled = menu->showsItemEnabled(*item);
    }
    out.rows.push_back(std::move(row));
    out.items.push_back(item);
  }
  return out;
}

}  // namespace platform::gnome
