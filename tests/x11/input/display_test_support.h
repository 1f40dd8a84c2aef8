#pragma once

#include <QKeyEvent>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace quillmere::test {

// Runs xdotool on the private display and waits for it to finish.
bool xdotool(const QStringList& arguments);

// Runs the event loop until the condition holds or the time is up; returns the condition.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

// Runs the event loop for the given time.
inline void spin(int ms) {
  waitUntil([] { return false; }, ms);
}

// Shows the widget and gives it the keyboard focus of the X server.
bool showFocused(QWidget& widget);

// A window of the test's own that records the key presses Qt delivers to it.
class KeyRecorder final : public QWidget {
 public:
  KeyRecorder() { setFocusPolicy(Qt::StrongFocus); }

  std::vector<std::pair<int, Qt::KeyboardModifiers>> presses;

  bool received(int key) const {
    return std::any_of(presses.begin(), presses.end(), [&](auto& p) { return p.first == key; });
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    presses.emplace_back(event->key(), event->modifiers());
  }
};

}  // namespace quillmere::test
