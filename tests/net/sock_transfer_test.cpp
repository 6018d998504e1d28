// The socket client's queued sending and receiving.
#include <gtest/gtest.h>

#include <QTimer>
#include <memory>

#include "net/sock_client.h"
#include "platform/errors.h"
#include "tests/net/net_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace glx {
namespace {

using test::raisedText;

using test::LoopbackServer;
using After = LoopbackServer::After;

LoopbackServer::Reply answer(std::string send, After after, std::string waitFor = "") {
  LoopbackServer::Reply r;
  r.waitFor = std::move(waitFor);
  r.send = std::move(send);
  r.after = after;
  return r;
}

void connectTo(TSockClient& client, const LoopbackServer& server) {
  client.Host = "127.0.0.1";
  client.Port = server.port();
  client.TimeOut = 10000;
  client.Connect();
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST(SockTransfer, ReadLnReturnsOneLineAndLeavesTheRestQueued) {
  LoopbackServer server({answer("abc\r\ndef", After::KeepOpen)});
  TSockClient client;
  connectTo(client, server);
  EXPECT_EQ(client.ReadLn(), "abc\r\n");
  ASSERT_TRUE(test::pumpUntil([&] { return client.QueuedReceived() == "def"; }));
  EXPECT_EQ(client.QueuedReceived(), "def");
  EXPECT_TRUE(client.Connected());
  // Bytes of a closed connection stay queued until the next connection.
  client.Disconnect();
  EXPECT_EQ(client.QueuedReceived(), "def");
}

TEST(SockTransfer, ReadLnOnFedBytes) {
  struct Case {
    std::string fed;
    std::vector<std::string> lines;
    std::string rest;
  } cases[] = {
      {"abc\r\ndef", {"abc\r\n", "def", ""}, ""},
      {"\n\n", {"\n", "\n", ""}, ""},
      {"one\rtwo\nthree", {"one\rtwo\n"}, "three"},
      {"", {""}, ""},
  };
  for (const Case& c : cases) {
    TSockClient client;
    client.FeedReceived(c.fed);
    for (const auto& line : c.lines) EXPECT_EQ(client.ReadLn(), line) << c.fed;
    EXPECT_EQ(client.QueuedReceived(), c.rest) << c.fed;
  }
}

TEST(SockTransfer, CaptureStringUntilThePeerCloses) {
  const std::string hundred = pattern(100);
  LoopbackServer server({answer(hundred, After::Close)});
  TSockClient client;
  int disconnects = 0;
  client.OnDisconnect = [&](TSockClient&) { ++disconnects; };
  connectTo(client, server);
  std::string text = "old";
  client.CaptureString(text, -1);
  EXPECT_EQ(text, hundred);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(client.readNotifierEnabled());
  EXPECT_FALSE(client.writeNotifierEnabled());
}

TEST(SockTransfer, LargeReplyArrivesWholeInChunks) {
  auto body = std::make_shared<const std::string>(pattern(5 * 1024 * 1024 + 17));
  LoopbackServer::Reply reply = answer("", After::Close);
  reply.body = body;
  LoopbackServer server({reply});
  TSockClient client;
  int packets = 0;
  client.OnPacketRecvd = [&](TSockClient&) { ++packets; };
  connectTo(client, server);
  std::string text;
  client.CaptureString(text, -1);
  EXPECT_EQ(text.size(), body->size());
  EXPECT_TRUE(text == *body);
  EXPECT_GT(packets, 5 * 1024 * 1024 / TSockClient::kChunk - 1);
}

TEST(SockTransfer, CaptureStringOfASizeEndsWhenThePeerClosesEarly) {
  LoopbackServer server({answer("0123456789", After::Close)});
  TSockClient client;
  connectTo(client, server);
  std::string text;
  client.CaptureString(text, 100);
  EXPECT_EQ(text, "0123456789");
  EXPECT_FALSE(client.Connected());
}

TEST(SockTransfer, CaptureStringOfASizeTakesWholeChunks) {
  TSockClient client;
  client.FeedReceived("0123456789");
  std::string text;
  client.CaptureString(text, 4);
  EXPECT_EQ(text, "0123456789");
}

TEST(SockTransfer, ReadLnEndsWhenThePeerClosesWithoutLineFeed) {
  LoopbackServer server({answer("HTTP/1.0 200 OK\r\nContent-Ty", After::Close)});
  TSockClient client;
  connectTo(client, server);
  EXPECT_EQ(client.ReadLn(), "HTTP/1.0 200 OK\r\n");
  EXPECT_EQ(client.ReadLn(), "Content-Ty");
  EXPECT_EQ(client.ReadLn(), "");
  EXPECT_FALSE(client.Connected());
}

TEST(SockTransfer, CancelEndsReadLnAndCaptureString) {
  LoopbackServer server({answer("partial", After::KeepOpen), answer("x", After::KeepOpen)});
  TSockClient client;
  connectTo(client, server);
  QTimer::singleShot(50, [&] { client.Cancel(); });
  EXPECT_EQ(raisedText<EAbortError>([&] { client.ReadLn(); }), "Socket readln aborted");
  EXPECT_TRUE(client.Canceled());  // ReadLn leaves the flag set
  client.Disconnect();
  EXPECT_EQ(client.QueuedReceived(), "partial");

  connectTo(client, server);
  std::string text;
  QTimer::singleShot(50, [&] { client.Cancel(); });
  EXPECT_EQ(raisedText<EAbortError>([&] { client.CaptureString(text, -1); }),
            "Socket capture aborted");
  EXPECT_FALSE(client.Canceled());
  EXPECT_EQ(text, "x");  // not the bytes of the earlier connection
}

TEST(SockTransfer, WriteSendsAtMost16385CharactersUpToAZero) {
  struct Case {
    const char* name;
    std::string text;
    std::string sent;
  } cases[] = {
      {"long", pattern(20000), pattern(16385)},
      {"exact", pattern(16385), pattern(16385)},
      {"zero", std::string("ab\0cd", 5), "ab"},
      {"writeln", "", "\r\n"},
  };
  for (const Case& c : cases) {
    LoopbackServer server({answer("", After::KeepOpen)});
    TSockClient client;
    connectTo(client, server);
    if (std::string(c.name) == "writeln") {
      client.Writeln(c.text);
    } else {
      client.Write(c.text);
    }
    client.Disconnect();
    ASSERT_TRUE(server.waitEnded(0)) << c.name;
    EXPECT_EQ(server.received(0), c.sent) << c.name;
  }
}

TEST(SockTransfer, SendBufferCountsBytesAndStopsAtZeroForLengthZero) {
  LoopbackServer server({answer("", After::KeepOpen)});
  TSockClient client;
  connectTo(client, server);
  const char data[] = {'a', 'b', '\0', 'c'};
  client.SendBuffer(data, 4);
  client.SendBuffer("xyz", 0);
  EXPECT_EQ(client.BytesSent(), 7u);
  EXPECT_EQ(client.QueuedToSend(), 0u);
  ASSERT_TRUE(server.waitReceived(0, 7));
  EXPECT_EQ(server.received(0), std::string("ab\0cxyz", 7));
}

TEST(SockTransfer, SendBufferEndsWithTheSocketErrorWhenTheConnectionBreaks) {
  // The server takes nothing and resets the connection once the client's
  // queue is stuck behind full socket buffers.
  LoopbackServer::Reply reply = answer("", After::Reset);
  reply.hold = true;
  LoopbackServer server({reply});
  TSockClient client;
  connectTo(client, server);
  const std::string block(60000, 'x');
  size_t lastQueued = 0;
  int sameCount = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const size_t queued = client.QueuedToSend();
    sameCount = queued != 0 && queued == lastQueued ? sameCount + 1 : 0;
    lastQueued = queued;
    if (sameCount == 5) server.release();
  });
  watch.start(10);
  std::string text = "nothing raised";
  try {
    for (int i = 0; i < 5000; ++i) client.SendBuffer(block.data(), 60000);
  } catch (const ESockError& e) {
    text = e.what();
  }
  EXPECT_EQ(text, "10054:Connection reset by peer");
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.QueuedToSend(), 0u);
}

TEST(SockTransfer, TransferStartedFromAnEventHandler) {
  // The handler runs inside the connect notification and waits there.
  LoopbackServer server({answer("250 ok\r\n", After::KeepOpen, "HELO\r\n")});
  TSockClient client;
  std::string reply;
  client.OnConnect = [&](TSockClient& c) { reply = c.Transaction("HELO"); };
  connectTo(client, server);
  EXPECT_EQ(reply, "250 ok\r\n");
  EXPECT_EQ(client.ReplyNumber(), 250);
  EXPECT_EQ(server.received(0), "HELO\r\n");
}

TEST(SockTransfer, SendBufferWithoutConnection) {
  TSockClient client;
  EXPECT_EQ(raisedText<ESockError>([&] { client.Write("hello"); }),
            "10057:Socket is not connected");
  EXPECT_NO_THROW(client.Write(""));
}

TEST(SockTransfer, SendBufferWhenCanceledSendsNothing) {
  LoopbackServer server({answer("", After::KeepOpen)});
  TSockClient client;
  connectTo(client, server);
  client.Cancel();
  client.Write("ignored");
  EXPECT_EQ(client.BytesSent(), 0u);
}

TEST(SockTransfer, TransactionReadsTheReplyNumber) {
  struct Case {
    std::string reply;
    int number;
  } cases[] = {
      {"250 Hello there\r\n", 250},
      {"No number\r\n", 0},
      {"9999999999 does not convert\r\n", 0},
  };
  for (const Case& c : cases) {
    LoopbackServer server({answer(c.reply, After::KeepOpen, "HELO\r\n")});
    TSockClient client;
    test::StatusLog log(client);
    client.ReportLevel = 1;
    connectTo(client, server);
    EXPECT_EQ(client.Transaction("HELO"), c.reply) << c.reply;
    EXPECT_EQ(client.ReplyNumber(), c.number) << c.reply;
    EXPECT_EQ(client.LastReply(), c.reply) << c.reply;
    EXPECT_TRUE(log.has(c.reply)) << c.reply;
    EXPECT_EQ(server.received(0), "HELO\r\n") << c.reply;
  }
}

TEST(SockTransfer, TransactionReplyNumberOutOfRangeIsARangeError) {
  TSockClient client;
  client.FeedReceived("70000 big\r\n");
  // The command cannot be sent without a connection; the reply is fed.
  EXPECT_EQ(raisedText<ESockError>([&] { client.Transaction("X"); }),
            "10057:Socket is not connected");
  LoopbackServer server({answer("70000 big\r\n", After::KeepOpen, "X\r\n")});
  TSockClient connected;
  connectTo(connected, server);
  EXPECT_EQ(raisedText<ERangeError>([&] { connected.Transaction("X"); }), "Range check error");
}

TEST(SockTransfer, CaptureFileWritesQueuedAndLaterBytes) {
  test::TempDir dir;
  const std::string body = pattern(300000);
  LoopbackServer server({answer("first line\n" + body, After::Close)});
  TSockClient client;
  connectTo(client, server);
  EXPECT_EQ(client.ReadLn(), "first line\n");
  client.CaptureFile(dir / "body.bin");
  EXPECT_TRUE(dir.read("body.bin") == body);
  EXPECT_EQ(client.BytesRecvd(), body.size());
  EXPECT_FALSE(client.Connected());
}

TEST(SockTransfer, CaptureFileThatCannotBeCreated) {
  test::TempDir dir;
  dir.write("file", "x");
  TSockClient client;
  EXPECT_THROW(client.CaptureFile(dir / "file/body.bin"), EInOutError);
  EXPECT_THROW(client.CaptureFile(dir / "missing/body.bin"), EInOutError);
}

TEST(SockTransfer, SendFileSendsTheWholeFile) {
  test::TempDir dir;
  const std::string data = pattern(250000);
  const std::string path = dir.write("data.bin", data);
  LoopbackServer server({answer("", After::KeepOpen)});
  TSockClient client;
  connectTo(client, server);
  client.SendFile(path);
  EXPECT_EQ(client.BytesSent(), data.size());
  EXPECT_EQ(client.BytesTotal(), static_cast<int32_t>(data.size()));
  ASSERT_TRUE(server.waitReceived(0, data.size()));
  EXPECT_TRUE(server.received(0) == data);
  EXPECT_EQ(raisedText<EInOutError>([&] { client.SendFile(dir / "missing.bin"); }),
            "File not found");
}

}  // namespace
}  // namespace glx
