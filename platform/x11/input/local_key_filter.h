#pragma once

#include <QObject>
#include <functional>

#include "platform/event.h"

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool(const Event&)> consume_;
};

}  // namespace platform::x11
