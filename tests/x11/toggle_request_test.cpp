#include "platform/x11/toggle_request.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

constexpr xcb_window_t kOwner = 0x200001;
constexpr xcb_window_t kReply = 0x400001;
constexpr xcb_atom_t kToggle = 301;

// The exact message and its answer go through the program in tests/x11/test_lifecycle.py.
TEST(ToggleRequest, OnlyTheExactMessageIsARequest) {
  const xcb_client_message_event_t request = toggleMessage(kOwner, kReply, kToggle);

  const struct {
    const char* what;
    void (*spoil)(xcb_client_message_event_t&);
  } cases[] = {
      {"another window", [](auto& m) { m.window = kReply; }},
      {"another type", [](auto& m) { m.type = kToggle + 1; }},
      {"format 16", [](auto& m) { m.format = 16; }},
      {"no reply window", [](auto& m) { m.data.data32[0] = XCB_WINDOW_NONE; }},
      {"data[1]", [](auto& m) { m.data.data32[1] = 1; }},
      {"data[4]", [](auto& m) { m.data.data32[4] = 1; }},
  };
  for (const auto& c : cases) {
    xcb_client_message_event_t spoilt = request;
    c.spoil(spoilt);
    EXPECT_FALSE(isToggleRequest(spoilt, kOwner, kToggle)) << c.what;
  }
  // An atom that could not be made matches nothing, not even a message of type None.
  EXPECT_FALSE(
      isToggleRequest(toggleMessage(kOwner, kReply, XCB_ATOM_NONE), kOwner, XCB_ATOM_NONE));
}

TEST(ToggleRequest, TheAnswerNamesTheOwnerOnTheReplyWindow) {
  const xcb_client_message_event_t answer = toggleMessage(kReply, kOwner, kToggle);
  EXPECT_FALSE(isToggleAnswer(answer, kReply, kOwner + 1, kToggle));
  EXPECT_FALSE(isToggleAnswer(answer, kOwner, kOwner, kToggle));
  // A request echoed back is no answer.
  EXPECT_FALSE(isToggleAnswer(toggleMessage(kReply, kReply, kToggle), kReply, kOwner, kToggle));
}

}  // namespace
}  // namespace platform::x11
