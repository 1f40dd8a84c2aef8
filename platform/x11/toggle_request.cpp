#include "platform/x11/toggle_request.h"

#include <poll.h>

#include <memory>
#include <string>

#include "platform/x11/instance_lock.h"
#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

namespace {

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

xcb_atom_t internAtom(xcb_connection_t* c, std::string_view name, bool onlyIfExists) {
  xcb_generic_error_t* error = nullptr;
  auto reply = takeReply(
      xcb_intern_atom_reply(c,
                            xcb_intern_atom(c, onlyIfExists ? 1 : 0,
                                            static_cast<std::uint16_t>(name.size()), name.data()),
                            &error),
      error);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// Reads events until the answer comes, the connection breaks or the time is up.
bool awaitAnswer(xcb_connection_t* c, xcb_window_t replyWindow, xcb_window_t owner,
                 xcb_atom_t toggleType, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (true) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
      const bool answer = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                          isToggleAnswer(*reinterpret_cast<xcb_client_message_event_t*>(event),
                                         replyWindow, owner, toggleType);
      std::free(event);
      if (answer) return true;
    }
    if (xcb_connection_has_error(c) != 0) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
    poll(&socket, 1, static_cast<int>(left));
  }
}

}  // namespace

bool isToggleRequest(const xcb_client_message_event_t& event, xcb_window_t owner,
                     xcb_atom_t toggleType) {
  if (toggleType == XCB_ATOM_NONE || event.window != owner || event.type != toggleType ||
      event.format != 32) {
    return false;
  }
  const std::uint32_t* data = event.data.data32;
  return data[0] != XCB_WINDOW_NONE && data[1] == 0 && data[2] == 0 && data[3] == 0 && data[4] == 0;
}

bool isToggleAnswer(const xcb_client_message_event_t& event, xcb_window_t replyWindow,
                    xcb_window_t owner, xcb_atom_t toggleType) {
  return isToggleRequest(event, replyWindow, toggleType) && event.data.data32[0] == owner;
}

xcb_client_message_event_t toggleMessage(xcb_window_t to, xcb_window_t carried,
                                         xcb_atom_t toggleType) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = to;
  message.type = toggleType;
  message.data.data32[0] = carried;
  return message;
}

ToggleResult sendToggleRequest(std::chrono::milliseconds timeout) {
  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, &screenNumber));
  xcb_connection_t* c = connection.get();
  if (xcb_connection_has_error(c) != 0) return ToggleResult::displayUnreachable;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return ToggleResult::displayUnreachable;

  // An instance that ever ran made the selection's atom; asking only for an existing one leaves
  // the server's atoms as they were when none did.
  const xcb_atom_t selection = internAtom(c, instanceSelectionName(screenNumber), true);
  if (xcb_connection_has_error(c) != 0) return ToggleResult::displayUnreachable;
  if (selection == XCB_ATOM_NONE) return ToggleResult::notRunning;
  const xcb_atom_t toggleType = internAtom(c, kToggleMessageName, false);
  if (toggleType == XCB_ATOM_NONE) return ToggleResult::displayUnreachable;

  xcb_generic_error_t* error = nullptr;
  auto owner = takeReply(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), &error), error);
  if (!owner) return ToggleResult::displayUnreachable;
  if (owner->owner == XCB_WINDOW_NONE) return ToggleResult::notRunning;

  // With an empty event mask, each message goes to the client that made the window it names.
  const xcb_window_t replyWindow = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, replyWindow, screens.data->root, -1, -1, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  const xcb_client_message_event_t request = toggleMessage(owner->owner, replyWindow, toggleType);
  error = xcb_request_check(c, xcb_send_event_checked(c, 0, owner->owner, XCB_EVENT_MASK_NO_EVENT,
                                                      reinterpret_cast<const char*>(&request)));
  if (error != nullptr) {
    std::free(error);  // the owner's window went away: it just ended
    return ToggleResult::notRunning;
  }
  return awaitAnswer(c, replyWindow, owner->owner, toggleType, timeout) ? ToggleResult::delivered
                                                                        : ToggleResult::noAnswer;
}

}  // namespace platform::x11
