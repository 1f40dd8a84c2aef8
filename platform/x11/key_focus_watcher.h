#pragma once

#include <QObject>
#include <functional>

namespace platform::x11 {

// Tells whether one of our own windows has keyboard focus or holds a grab (a pop-up menu
// does), so that its keys go to the local monitors and not to the global ones as well.
class KeyFocusWatcher final : public QObject {
  Q_OBJECT

 public:
  explicit KeyFocusWatcher(std::function<void(bool ownWindowHasKeys)> changed,
                           QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void update();

  std::function<void(bool)> changed_;
  bool ownWindowHasKeys_ = false;
};

}  // namespace platform::x11
