#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <string_view>

namespace platform::x11 {

// A toggle asked for from outside travels as a client message of this type to the window that
// owns the single-instance selection; the running instance answers with the same type on the
// window that the request names.
constexpr std::string_view kToggleMessageName = "_QUILLMERE_TOGGLE";

// Whether a client message is exactly a toggle request to the given owner window: the type,
// format 32, a reply window, and nothing else in the data.
bool isToggleRequest(const xcb_client_message_event_t& event, xcb_window_t owner,
                     xcb_atom_t toggleType);

// Whether a client message is the running instance's answer to our request.
bool isToggleAnswer(const xcb_client_message_event_t& event, xcb_window_t replyWindow,
                    xcb_window_t owner, xcb_atom_t toggleType);

// A client message of the toggle type carrying one window, to be sent to the other window.
xcb_client_message_event_t toggleMessage(xcb_window_t to, xcb_window_t carried,
                                         xcb_atom_t toggleType);

enum class ToggleResult { delivered, displayUnreachable, notRunning, noAnswer };

// Asks the Quillmere running on the display in $DISPLAY to toggle its effect and waits up to
// the timeout for its answer. Starts nothing itself.
ToggleResult sendToggleRequest(std::chrono::milliseconds timeout);

}  // namespace platform::x11
