// The IPC client against a stand-in for sway's socket: what it asks for, replies that arrive
// in pieces, and replies it must refuse. Real sway, which reads our framing, is in the contract
// suite and the scenarios.
#include "platform/wayland/sway_ipc_client.h"
#include "tests/qt/qt_event_loop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <functional>
#include <vector>

namespace platform::wayland {
namespace {

using platform::qt::test::runEventLoopFor;
using platform::qt::test::waitUntil;

constexpr ProcessId kOwnPid = 4242;

// A socket where sway's would be, named by SWAYSOCK while the fixture lives.
class SwayIpcClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.isValid());
    const QString path = directory_.filePath(QStringLiteral("sway-ipc.sock"));
    ASSERT_TRUE(server_.listen(path));
    qputenv("SWAYSOCK", path.toLocal8Bit());
  }
  void TearDown() override { qunsetenv("SWAYSOCK"); }

  std::unique_ptr<SwayIpcClient> connectClient() {
    auto client = std::make_unique<SwayIpcClient>(kOwnPid, [](WorkspaceNotification) {});
    EXPECT_TRUE(waitUntil([this] { return server_.hasPendingConnections(); }));
    peer_ = server_.nextPendingConnection();
    return client;
  }

  void send(const std::string& bytes) {
    peer_->write(bytes.data(), qint64(bytes.size()));
    peer_->flush();
  }

  QTemporaryDir directory_;
  QLocalServer server_;
  QLocalSocket* peer_ = nullptr;
};

// A tree in pieces shorter than the magic is read; then an oversized or foreign reply, or sway
// closing the socket (the empty case), ends the session and the cache. What the client asks
// for and what it posts: the contract suite and the scenarios on sway; one request per event:
// sway_window_cache_test.cpp.
TEST_F(SwayIpcClientTest, ReadsPiecesAndAnOversizedOrForeignReplyOrAClosedSocketEndsAll) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string oversized = sway_ipc::encode(sway_ipc::kGetTree, {});
  oversized.replace(6, 4, std::string("\x01\x00\x00\x01", 4));  // 16 MiB + 1
  const Case cases[] = {
      {"oversized", oversized}, {"bad magic", "i4-ipc" + oversized.substr(6)}, {"closed", ""}};
  const std::string tree = sway_ipc::encode(
      sway_ipc::kGetTree,
      R"({"nodes":[{"id":8,"type":"con","visible":true,"focused":true,"pid":77,"nodes":[]}]})");
  for (const Case& c : cases) {
    auto client = connectClient();
    for (std::size_t at = 0; at < tree.size(); at += 5) {
      send(tree.substr(at, 5));
      runEventLoopFor(0.002);
    }
    ASSERT_TRUE(waitUntil([&] { return client->cache().frontmostPid() == 77; })) << c.name;
    if (c.bytes.empty()) {
      peer_->disconnectFromServer();
    } else {
      send(c.bytes);
    }
    EXPECT_TRUE(waitUntil([&] {
      return peer_->state() == QLocalSocket::UnconnectedState && !client->cache().frontmostPid();
    })) << c.name
        << ": the client hangs up and forgets";
    EXPECT_EQ(client->cache().windowList(), nullptr) << c.name;
  }
}

// The bound on a reply's length, exactly (a bad magic: the client's test above; a length near
// 4 GiB: the sway_ipc fuzzer's seeds).
TEST(SwayIpcFraming, TheBoundOnAReplyIsExact) {
  for (const std::uint32_t length : {sway_ipc::kMaxPayload, sway_ipc::kMaxPayload + 1}) {
    std::string header = sway_ipc::encode(sway_ipc::kGetTree, {});
    for (int shift = 0; shift < 32; shift += 8) header[6 + shift / 8] = char(length >> shift);
    sway_ipc::MessageReader reader;
    reader.append(header);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.failed(), length > sway_ipc::kMaxPayload) << length;
  }
}

}  // namespace
}  // namespace platform::wayland

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
