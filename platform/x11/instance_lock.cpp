#include "platform/x11/instance_lock.h"

#include <cstdlib>
#include <string>

#include "platform/x11/xcb_reply.h"

namespace platform::x11 {

std::string instanceSelectionName(int screenNumber) {
  return "_QUILLMERE_S" + std::to_string(screenNumber);
}

InstanceLock::~InstanceLock() {
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

InstanceLock::Result InstanceLock::acquire() {
  int screenNumber = 0;
  connection_ = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection_) != 0) return Result::displayUnreachable;
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0) return Result::displayUnreachable;
  const xcb_window_t root = screens.data->root;

  const std::string name = instanceSelectionName(screenNumber);
  xcb_generic_error_t* error = nullptr;
  auto atom = takeReply(
      xcb_intern_atom_reply(
          connection_,
          xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
          &error),
      error);
  if (!atom) return Result::displayUnreachable;

  const xcb_window_t owner = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, owner, root, -1, -1, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);

  // Held across the check and the claim, so that two launches at once cannot both win.
  xcb_grab_server(connection_);
  auto current =
      takeReply(xcb_get_selection_owner_reply(
                    connection_, xcb_get_selection_owner(connection_, atom->atom), &error),
                error);
  const bool taken = !current || current->owner != XCB_NONE;
  if (!taken) xcb_set_selection_owner(connection_, owner, atom->atom, XCB_CURRENT_TIME);
  xcb_ungrab_server(connection_);
  if (!current) return Result::displayUnreachable;
  if (taken) return Result::alreadyRunning;

  auto check = takeReply(xcb_get_selection_owner_reply(
                             connection_, xcb_get_selection_owner(connection_, atom->atom), &error),
                         error);
  if (!check) return Result::displayUnreachable;
  if (check->owner != owner) return Result::alreadyRunning;
  owner_ = owner;
  return Result::acquired;
}

}  // namespace platform::x11
