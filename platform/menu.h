#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application.h"
#include "platform/image.h"
#include "platform/view.h"

namespace platform {

enum class ControlStateValue : std::int64_t { off = 0, on = 1 };

class Menu;

// One row of a menu: a command, a line of text, a separator, or a custom view.
class MenuItem final : public Object {
 public:
  // A titled item; an empty action means none, an empty key equivalent none.
  static std::shared_ptr<MenuItem> create(std::string title, std::string action,
                                          std::string keyEquivalent);
  // An item with no title, action or key equivalent.
  static std::shared_ptr<MenuItem> create();
  static std::shared_ptr<MenuItem> separatorItem();

  const std::string& title() const { return title_; }
  const std::string& action() const { return action_; }
  const std::string& keyEquivalent() const { return keyEquivalent_; }
  bool isSeparatorItem() const { return separator_; }

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  ControlStateValue state() const { return state_; }
  void setState(ControlStateValue state);
  // What the item stands for, or empty.
  const std::any& representedObject() const { return representedObject_; }
  void setRepresentedObject(std::any object);
  const std::shared_ptr<View>& view() const { return view_; }
  void setView(std::shared_ptr<View> view);

  Menu* menu() const { return menu_; }
  // Sends the item's action along the responder chain, as choosing the item does.
  void performAction();

 private:
  friend class Menu;
  void changed();

  std::string title_;
  std::string action_;
  std::string keyEquivalent_;
  bool separator_ = false;
  bool enabled_ = true;
  ControlStateValue state_ = ControlStateValue::off;
  std::any representedObject_;
  std::shared_ptr<View> view_;
  Menu* menu_ = nullptr;
};

class Menu final {
 public:
  static std::shared_ptr<Menu> create();
  ~Menu();

  void addItem(std::shared_ptr<MenuItem> item);
  const std::vector<std::shared_ptr<MenuItem>>& itemArray() const { return items_; }

  bool autoenablesItems() const { return autoenablesItems_; }
  void setAutoenablesItems(bool autoenables) { autoenablesItems_ = autoenables; }
  // Whether the item is shown enabled and can be chosen. With automatic enabling, that is
  // whether its action finds a receiver; an item without an action is shown disabled.
  bool showsItemEnabled(const MenuItem& item) const;

  // Called after any item of the menu changed, so that a shown menu can follow.
  void setChangeObserver(std::function<void()> observer) { changeObserver_ = std::move(observer); }
  void itemDidChange();

 private:
  std::vector<std::shared_ptr<MenuItem>> items_;
  bool autoenablesItems_ = true;
  std::function<void()> changeObserver_;
};

// A continuous horizontal slider that sends its action to its target while it is dragged.
class Slider final : public View {
 public:
  static std::shared_ptr<Slider> sliderWithValue(double value, double minValue, double maxValue,
                                                 std::weak_ptr<Responder> target,
                                                 std::string action);
  Slider(double value, double minValue, double maxValue, std::weak_ptr<Responder> target,
         std::string action);

  double doubleValue() const { return value_; }
  // Moves the knob, keeping the value within the slider's range.
  void setDoubleValue(double value);
  double minValue() const { return minValue_; }
  double maxValue() const { return maxValue_; }
  const std::string& action() const { return action_; }
  std::shared_ptr<Responder> target() const { return target_.lock(); }
  bool isContinuous() const { return true; }
  // Sends the action to the target, as a move of the knob does.
  void sendAction();

 private:
  double value_;
  double minValue_;
  double maxValue_;
  std::weak_ptr<Responder> target_;
  std::string action_;
};

// The first slider in the view or below it, or null: where a menu item's view holds one, the
// backends show the row as a slider.
std::shared_ptr<Slider> firstSlider(const std::shared_ptr<View>& view);

class StatusItem;

// What a status item's backend hears of it.
class StatusItemPeer {
 public:
  virtual ~StatusItemPeer() = default;
  virtual void imageDidChange() {}
  virtual void menuDidChange() {}
};

// The button of a status item, which shows its image.
class StatusBarButton final {
 public:
  explicit StatusBarButton(StatusItem& item) : item_(item) {}
  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image);

 private:
  StatusItem& item_;
  std::shared_ptr<Image> image_;
};

inline constexpr double kVariableStatusItemLength = -1.0;

// An icon in the system's status area that opens its menu when clicked.
class StatusItem final {
 public:
  explicit StatusItem(double length);
  double length() const { return length_; }
  // The item's button, or null where the status area shows none.
  StatusBarButton* button() { return button_.get(); }
  Menu* menu() const { return menu_.get(); }
  void setMenu(std::shared_ptr<Menu> menu);

  StatusItemPeer* peer() const { return peer_.get(); }
  void setPeer(std::unique_ptr<StatusItemPeer> peer) { peer_ = std::move(peer); }
  void removeButton() { button_.reset(); }

 private:
  double length_;
  std::unique_ptr<StatusBarButton> button_;
  std::shared_ptr<Menu> menu_;
  std::unique_ptr<StatusItemPeer> peer_;
};

class StatusBar final {
 public:
  static StatusBar& systemStatusBar();
  // A new status item, or null where there is no status area at all.
  std::shared_ptr<StatusItem> statusItemWithLength(double length);
};

}  // namespace platform
