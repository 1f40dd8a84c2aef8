#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/event.h"

namespace platform::x11 {

// Observes pointer motion and key presses anywhere on the display without grabbing anything:
// XInput 2 raw events selected on the root, through a connection of its own that a
// QSocketNotifier watches. Every wake-up drains all pending events.
class GlobalInput final : public QObject {
  Q_OBJECT

 public:
  // Opens its own connection to the display. available() is false when that fails or the
  // server lacks XInput 2.2, and after the connection is lost; nothing is then delivered.
  explicit GlobalInput(const QByteArray& displayName, QObject* parent = nullptr);
  ~GlobalInput() override;
  GlobalInput(const GlobalInput&) = delete;
  GlobalInput& operator=(const GlobalInput&) = delete;

  bool available() const;

  // Pointer moves, coalesced to at most one call every 10 ms, trailing edge: when the pointer
  // stops within the interval the last position is still delivered. The position is the
  // pointer's root position in X pixels, from one pointer query per call.
  void setPointerMovedHandler(std::function<void(QPoint rootPosition)> handler);

  // Key presses anywhere, as key-down events (see keyboard_mapping.h). Not delivered while
  // keys are suppressed.
  void setKeyDownHandler(std::function<void(const Event&)> handler);

  // Set while one of Quillmere's own windows has keyboard focus or holds a grab: its keys
  // then reach the local monitors through Qt instead.
  void setKeysSuppressed(bool suppressed);

  // The pointer's root position now, in X pixels, or nothing when the server does not answer.
  // Inside the pointer-moved handler it is the position being delivered, without a second
  // query to the server.
  std::optional<QPoint> queryPointer();

 signals:
  // The connection to the X server broke.
  void connectionLost();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::x11
