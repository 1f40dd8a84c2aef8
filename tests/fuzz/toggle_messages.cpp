// What a --toggle brings: a client message on X, bytes on the session socket either way, and the
// session's paths from the environment.
#include <cstring>

#include "platform/qt/session_channel.h"
#include "platform/x11/toggle_request.h"
#include "tests/fuzz/fuzz_input.h"

using namespace platform;

FUZZ_ENTRY {
  FuzzedDataProvider input(data, size);
  xcb_client_message_event_t message{};
  const std::string event = input.ConsumeBytesAsString(sizeof message);
  std::memcpy(&message, event.data(), event.size());
  x11::isToggleRequest(message, 7, 9);
  x11::isToggleAnswer(message, 8, 7, 9);

  qt::sessionPaths(input.ConsumeRandomLengthString(256), input.ConsumeRandomLengthString(256));

  // Each side reads no more than the room left, and stops at the first verdict.
  for (std::string_view expected : {qt::kToggleRequest, qt::kToggleAnswer}) {
    std::string received;
    while (input.remaining_bytes() > 0) {
      const std::size_t room = qt::kMaxMessageBytes - received.size();
      received += input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(1, room));
      if (qt::matchMessage(received, expected) != qt::MessageState::incomplete) break;
    }
  }
  return 0;
}
