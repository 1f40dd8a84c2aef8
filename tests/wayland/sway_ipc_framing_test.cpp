#include "platform/wayland/sway_ipc_framing.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::wayland::sway_ipc {
namespace {

std::string header(std::uint32_t length, std::uint32_t type) {
  std::string out = "i3-ipc";
  for (std::uint32_t value : {length, type}) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(char((value >> shift) & 0xff));
  }
  return out;
}

TEST(SwayIpcFraming, EncodesMagicLengthAndTypeLittleEndian) {
  EXPECT_EQ(encode(kGetTree, ""), header(0, 4));
  EXPECT_EQ(encode(kSubscribe, "[\"window\"]"), header(10, 2) + "[\"window\"]");
  // A length above 255 shows the byte order.
  const std::string long_payload(0x0102, 'x');
  const std::string framed = encode(0x80000003u, long_payload);
  EXPECT_EQ(framed.substr(6, 8), std::string("\x02\x01\x00\x00\x03\x00\x00\x80", 8));
}

TEST(SwayIpcFraming, ReadsMessagesWhateverTheyArriveIn) {
  const std::string stream = encode(kWindowEvent, R"({"change":"focus"})") +
                             encode(kGetTree, "{}") + encode(kWorkspaceEvent, "");
  for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(13), stream.size()}) {
    MessageReader reader;
    std::vector<Message> got;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      reader.append(std::string_view(stream).substr(at, piece));
      while (auto message = reader.next()) got.push_back(*message);
    }
    ASSERT_EQ(got.size(), 3u) << "pieces of " << piece;
    EXPECT_EQ(got[0].type, kWindowEvent);
    EXPECT_TRUE(got[0].isEvent());
    EXPECT_EQ(got[0].payload, R"({"change":"focus"})");
    EXPECT_EQ(got[1].type, kGetTree);
    EXPECT_FALSE(got[1].isEvent());
    EXPECT_EQ(got[1].payload, "{}");
    EXPECT_EQ(got[2].type, kWorkspaceEvent);
    EXPECT_EQ(got[2].payload, "");
    EXPECT_FALSE(reader.failed());
  }
}

TEST(SwayIpcFraming, RefusesBadMagicAndOversizedPayloadsForGood) {
  struct Case {
    const char* name;
    std::string bytes;
    bool fails;
  };
  const Case cases[] = {
      {"length at the limit", header(kMaxPayload, 4), false},
      {"length one over the limit", header(kMaxPayload + 1, 4), true},
      {"length near 4 GiB", header(0xffffffffu, 4), true},
      {"wrong magic, whole header", "i3-ipX" + header(0, 4).substr(6), true},
      {"wrong magic, first byte only", "x", true},
      {"right magic so far", "i3-", false},
  };
  for (const Case& c : cases) {
    MessageReader reader;
    reader.append(c.bytes);
    EXPECT_FALSE(reader.next()) << c.name;
    EXPECT_EQ(reader.failed(), c.fails) << c.name;
    if (c.fails) {
      reader.append(encode(kGetTree, "{}"));
      EXPECT_FALSE(reader.next()) << c.name << ": a failed stream stays failed";
    }
  }
}

}  // namespace
}  // namespace platform::wayland::sway_ipc
