#pragma once

#include <QStringList>
#include <functional>
#include <string>

class QWidget;

namespace quillmere::test {

// The private display that the test program started, which its QApplication also uses.
const std::string& testDisplay();

// Runs xdotool on the private display and waits for it to finish.
bool xdotool(const QStringList& arguments);

// Runs the event loop until the condition holds or the time is up; returns the condition.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 3000);

// Runs the event loop for the given time.
void spin(int ms);

// Shows the widget and gives it the keyboard focus of the X server.
bool showFocused(QWidget& widget);

}  // namespace quillmere::test

#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <utility>
#include <vector>

namespace quillmere::test {

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
