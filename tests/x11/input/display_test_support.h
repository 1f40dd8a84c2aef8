#pragma once

#include <QKeyEvent>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "tests/qt/qt_event_loop.h"

namespace quillmere::test {

using platform::qt::test::runEventLoopFor;
using platform::qt::test::waitUntil;

// Runs xdotool on the private display and waits for it to finish.
bool xdotool(const QStringList& arguments);

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
