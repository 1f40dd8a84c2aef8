#pragma once

#include <xcb/xcb.h>

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform::x11 {

// The running instance's side of a toggle asked for from outside: watches the single-instance
// lock's connection for toggle requests to the selection owner's window, calls the handler for
// each, then answers on the window that the request names. Anything else arriving there is
// dropped.
class ToggleListener final : public QObject {
  Q_OBJECT

 public:
  // The connection stays the caller's; it must outlive the listener.
  ToggleListener(xcb_connection_t* connection, xcb_window_t owner, std::function<void()> onToggle,
                 QObject* parent = nullptr);
  ~ToggleListener() override;
  ToggleListener(const ToggleListener&) = delete;
  ToggleListener& operator=(const ToggleListener&) = delete;

 private:
  void drain();
  bool senderWaits(xcb_window_t replyWindow);

  xcb_connection_t* connection_;
  xcb_window_t owner_;
  xcb_atom_t toggleType_ = XCB_ATOM_NONE;
  std::function<void()> onToggle_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform::x11
