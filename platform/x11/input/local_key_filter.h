#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "platform/event.h"

class QKeyEvent;

namespace platform::x11 {

// Key-downs that reach Quillmere's own windows (its menu, its alert), offered to the local
// monitors before Qt handles them. Installed on the application object.
class LocalKeyFilter final : public QObject {
  Q_OBJECT

 public:
  explicit LocalKeyFilter(QObject* parent = nullptr);
  ~LocalKeyFilter() override;

  // The handler gets each key press as a key-down event, with the same modifier and text
  // mapping as the global monitors; it returns true to consume the key.
  void setKeyDownHandler(std::function<bool(const Event&)> consume);

  // The key-down event for a key press that Qt delivers.
  Event keyDownEventFor(const QKeyEvent& key);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What tells one key press apart from the next: Qt shows the same press to the shortcut
  // machinery, to the window and to each widget it propagates through.
  struct KeyIdentity {
    unsigned long timestamp = 0;
    unsigned int scanCode = 0;
    unsigned int virtualKey = 0;
    unsigned int nativeModifiers = 0;
    int key = 0;
    bool autoRepeat = false;
    bool operator==(const KeyIdentity&) const = default;
  };
  struct Offer {
    KeyIdentity identity;
    bool consumed = false;
  };
  struct Keyboard;

  std::function<bool(const Event&)> consume_;
  std::optional<Offer> lastOffer_;
  std::unique_ptr<Keyboard> keyboard_;
};

}  // namespace platform::x11
