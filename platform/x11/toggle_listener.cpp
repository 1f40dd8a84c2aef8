#include "platform/x11/toggle_listener.h"

#include <QSocketNotifier>

#include "platform/x11/toggle_request.h"
#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

ToggleListener::ToggleListener(xcb_connection_t* connection, xcb_window_t owner,
                               std::function<void()> onToggle, QObject* parent)
    : QObject(parent), connection_(connection), owner_(owner), onToggle_(std::move(onToggle)) {
  if (connection_ == nullptr || xcb_connection_has_error(connection_) != 0) return;
  xcb_generic_error_t* error = nullptr;
  auto atom = takeReply(
      xcb_intern_atom_reply(
          connection_,
          xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(kToggleMessageName.size()),
                          kToggleMessageName.data()),
          &error),
      error);
  if (!atom) return;
  toggleType_ = atom->atom;
  notifier_ =
      new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
  // Requests sent before the event loop ran may already wait in xcb's queue.
  QMetaObject::invokeMethod(
      this, [this] { drain(); }, Qt::QueuedConnection);
}

ToggleListener::~ToggleListener() = default;

// A sender that gave up waiting has closed its connection, and its reply window with it: a
// request that arrives that late must not toggle after the sender reported a failure.
bool ToggleListener::senderWaits(xcb_window_t replyWindow) {
  xcb_generic_error_t* error = nullptr;
  auto attributes =
      takeReply(xcb_get_window_attributes_reply(
                    connection_, xcb_get_window_attributes(connection_, replyWindow), &error),
                error);
  return attributes != nullptr;
}

void ToggleListener::drain() {
  if (notifier_ == nullptr) return;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
      const auto& message = *reinterpret_cast<const xcb_client_message_event_t*>(event);
      const xcb_window_t replyWindow = message.data.data32[0];
      if (isToggleRequest(message, owner_, toggleType_) && senderWaits(replyWindow)) {
        onToggle_();
        // A reply window that has gone costs an error event, which the loop drops.
        const xcb_client_message_event_t answer = toggleMessage(replyWindow, owner_, toggleType_);
        xcb_send_event(connection_, 0, replyWindow, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&answer));
        xcb_flush(connection_);
      }
    }
    std::free(event);
  }
  // The other connections report a lost display and end the process.
  if (xcb_connection_has_error(connection_) != 0) notifier_->setEnabled(false);
}

}  // namespace platform::x11
