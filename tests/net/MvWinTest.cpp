// The socket chain against a scripted loopback peer: errors and their texts, resolution,
// sending and receiving, the receive buffer, stream transfer with progress.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <tuple>

#include "net/MvWin.h"
#include "tests/net/ScriptedServer.h"

namespace tavrik {
namespace {

using testing::ClosedPort;
using testing::ScriptedServer;

// Counts name look-ups and answers them with 127.0.0.1, or fails them like the name service.
class CountingClient : public TMvSockClient {
 public:
  int lookups = 0;
  bool fail_lookup = false;

 protected:
  uint32_t LookUpHost(const std::string&) override {
    ++lookups;
    if (fail_lookup) throw EMvSockSocketError(WinSockErrorFromResolver(EAI_NONAME, 0));
    return htonl(INADDR_LOOPBACK);
  }
};

TEST(MvWinErrors, MessagesCarryTheNumberAndItsText) {
  const std::pair<int, const char*> cases[] = {
      {10061, "Socket Error #10061\r\nConnection refused."},
      {10054, "Socket Error #10054\r\nConnection reset by peer."},
      {10035, "Socket Error #10035\r\nOperation would block. "},
      {10066, "Socket Error #10066\r\nDirectory not empty"},
      {11001, "Socket Error #11001\r\nHost not found."},
      {11004, "Socket Error #11004\r\nValid name, no data record (check DNS setup)."},
      {12345, "Socket Error #12345\r\n"},
      {0, "Socket Error #0\r\n"},
  };
  for (auto [code, message] : cases) {
    EMvSockSocketError e(code);
    EXPECT_EQ(e.Message(), message);
    EXPECT_EQ(e.ErrorCode(), code);
    EXPECT_STREQ(e.ClassName(), "EMvSockSocketError");
  }
}

TEST(MvWinErrors, ErrnoAndResolverFailuresSpeakWinSock) {
  const std::pair<int, int> errnos[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {EPIPE, 10058},
                                        {ETIMEDOUT, 10060},    {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048},
                                        {EINTR, 10004},        {ENOTSOCK, 10038}};
  for (auto [err, code] : errnos) EXPECT_EQ(WinSockErrorFromErrno(err), code) << err;
  EXPECT_EQ(WinSockErrorFromErrno(EIO), EIO);  // no twin: the number alone
  EXPECT_EQ(WinSockErrorFromResolver(EAI_NONAME, 0), 11001);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_FAIL, 0), 11003);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(MvWinConnect, RefusedConnectionLeavesTheComponentClosed) {
  TMvSockClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(ClosedPort());
  try {
    client.Connect();
    FAIL() << "connected to a closed port";
  } catch (const EMvSockSocketError& e) {
    EXPECT_EQ(e.ErrorCode(), 10061);
    EXPECT_EQ(e.Message(), "Socket Error #10061\r\nConnection refused.");
  }
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.ResolvedAddress(), "");
}

TEST(MvWinConnect, LocalhostAndDottedAddressesNeedNoLookUp) {
  struct Case {
    const char* host;
    int lookups;
    const char* resolved;
  };
  const Case cases[] = {
      {"LOCALHOST", 0, "127.0.0.1"}, {"localHost", 0, "127.0.0.1"}, {"127.0.0.1", 0, "127.0.0.1"},
      {"db.example", 1, "127.0.0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    ScriptedServer server;
    server.Start();
    CountingClient client;
    client.SetHost(c.host);
    client.SetPort(server.Port());
    client.Connect();
    EXPECT_TRUE(client.Active());
    EXPECT_EQ(client.lookups, c.lookups);
    EXPECT_EQ(client.ResolvedAddress(), c.resolved);
    client.Disconnect();
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.ResolvedAddress(), "");
    EXPECT_EQ(server.Finish(), "");
  }
}

TEST(MvWinConnect, FailedLookUpRaisesHostNotFound) {
  CountingClient client;
  client.fail_lookup = true;
  client.SetHost("no.such.host");
  client.SetPort(ClosedPort());
  try {
    client.Connect();
    FAIL();
  } catch (const EMvSockSocketError& e) {
    EXPECT_EQ(e.Message(), "Socket Error #11001\r\nHost not found.");
  }
  EXPECT_FALSE(client.Active());
}

TEST(MvWinConnect, SecondConnectIsRefusedAndStatusIsReported) {
  ScriptedServer server;
  server.Start();
  TMvSockClient client;
  std::vector<std::string> status;
  client.OnStatus = [&](TComponent*, const std::string& s) { status.push_back(s); };
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.Connect();
  try {
    client.Connect();
    FAIL();
  } catch (const EMvSockAlreadyConnected& e) {
    EXPECT_EQ(e.Message(), "Already connected.");
  }
  EXPECT_TRUE(client.Active());
  client.Disconnect();
  EXPECT_EQ(status, (std::vector<std::string>{"Connecting to 127.0.0.1", "Socket Connected", "Disconnecting",
                                               "Disconnected"}));
  EXPECT_EQ(server.Finish(), "");
}

TEST(MvWinConnect, FailingStatusHandlerIsNamedAndClosesTheSocket) {
  ScriptedServer server;
  server.Start();
  TMvSockClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.OnStatus = [](TComponent*, const std::string& s) {
    if (s == "Socket Connected") throw EMvSockClosedSocket("Handler failed");
  };
  try {
    client.Connect();
    FAIL();
  } catch (const EMvSockClosedSocket& e) {
    EXPECT_EQ(e.Message(), "Handler failed occurred in user's OnStatus Event.");
  }
  EXPECT_FALSE(client.Active());
  // A plain error keeps its plain class.
  client.OnStatus = [](TComponent*, const std::string&) { throw Exception("Oops"); };
  try {
    client.Connect();
    FAIL();
  } catch (const EMvSockException&) {
    FAIL() << "changed class";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Oops occurred in user's OnStatus Event.");
  }
  server.Finish();
}

TEST(MvWinConnect, UserIsStoredUpperCase) {
  TMvSockClient client;
  client.SetUser("demo.user1");
  EXPECT_EQ(client.User(), "DEMO.USER1");
}

class MvWinPeer : public ::testing::Test {
 protected:
  void Connect() {
    server.Start();
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetIoTimeLimit(5000);
    client.Connect();
  }
  ScriptedServer server;
  TMvSockClient client;
};

TEST_F(MvWinPeer, WriteStringSendsEverythingAndNothingForEmptyText) {
  server.ExpectRaw("AB");
  Connect();
  EXPECT_EQ(client.WriteString(""), 0);
  EXPECT_EQ(client.WriteString("AB"), 2);
  EXPECT_EQ(server.Finish(), "");
  client.Disconnect();
  EXPECT_EQ(client.WriteString(""), 0);
  try {
    client.WriteString("x");
    FAIL();
  } catch (const EMvSockClosedSocket& e) {
    EXPECT_EQ(e.Message(), "Socket is closed, cannot write");
  }
}

TEST_F(MvWinPeer, ReadBytesKeepsTheSurplus) {
  server.SendRaw("1234567").ExpectRaw("go").SendRaw("ABCDEFGHIJKLMNOPQRST");
  Connect();
  ASSERT_TRUE(client.Readable(5000));
  for (int i = 0; i < 100 && client.BufferedCount() < 7; ++i) client.ReadBytes(0);
  ASSERT_EQ(client.BufferedCount(), 7);
  client.WriteString("go");
  EXPECT_EQ(client.ReadBytes(20), "1234567ABCDEFGHIJKLM");
  EXPECT_EQ(client.BufferedCount(), 7);
  EXPECT_TRUE(client.Readable(0));  // buffered bytes count as readable
  EXPECT_EQ(client.ReadBytes(7), "NOPQRST");
  EXPECT_FALSE(client.Readable(10));
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvWinPeer, PeerClosingMidFrameIsAGracefulClose) {
  server.SendRaw("0000001A0000").Hangup();
  Connect();
  try {
    client.ReadBytes(20);
    FAIL();
  } catch (const EMvSockConnClosedGraceful& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  EXPECT_FALSE(client.Active());
  EXPECT_TRUE(client.ClosedGracefully());
  EXPECT_EQ(client.BufferedCount(), 0);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvWinPeer, StalledPeerRunsOutTheTimeLimitAndClosesTheSocket) {
  server.SendRaw("0000001A").ExpectRaw("done");
  Connect();
  client.SetIoTimeLimit(100);
  try {
    client.ReadBytes(20);
    FAIL();
  } catch (const EMvSockSocketError& e) {
    EXPECT_EQ(e.Message(), "Socket Error #10060\r\nConnection timed out.");
  }
  EXPECT_FALSE(client.Active());
  server.Finish();
}

TEST_F(MvWinPeer, WriteStreamSendsPiecesWithProgress) {
  std::string data(20000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  server.ExpectRaw("HEADER" + data);
  Connect();
  std::vector<std::tuple<int64_t, int64_t, int64_t>> events;
  client.OnWriteProgress = [&](TComponent*, int64_t min, int64_t max, int64_t pos) { events.emplace_back(min, max, pos); };
  TMemoryStream stream;
  stream.WriteString(data);  // left at its end: the transfer starts from 0 anyway
  EXPECT_EQ(client.WriteStream("HEADER", stream), 20000);
  EXPECT_EQ(events, (std::vector<std::tuple<int64_t, int64_t, int64_t>>{
                        {0, 20000, 0}, {0, 0, 8192}, {0, 0, 16384}, {0, 0, 20000}, {0, 0, 0}}));
  EXPECT_EQ(server.Finish(), "");
  events.clear();
  EXPECT_EQ(client.WriteStream("", stream), 0);  // no header sent: the stream is not touched
  EXPECT_TRUE(events.empty());
}

TEST_F(MvWinPeer, ReadStreamFillsFromTheStartWithProgress) {
  std::string data(20000, 'x');
  data[0] = 'a';
  data[19999] = 'z';
  server.SendRaw(data);
  Connect();
  std::vector<std::tuple<int64_t, int64_t, int64_t>> events;
  client.OnReadProgress = [&](TComponent*, int64_t min, int64_t max, int64_t pos) { events.emplace_back(min, max, pos); };
  TMemoryStream stream;
  stream.WriteString("old contents that are longer than nothing");
  client.ReadStream(stream, 20000);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.ToString().substr(0, 20000), data);
  EXPECT_EQ(events.front(), std::make_tuple(int64_t{0}, int64_t{20000}, int64_t{0}));
  EXPECT_EQ(events.back(), std::make_tuple(int64_t{0}, int64_t{0}, int64_t{0}));
  EXPECT_EQ(events[events.size() - 2], std::make_tuple(int64_t{0}, int64_t{0}, int64_t{20000}));
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvWinPeer, ReceiveBufferGrowsAndShrinksInSteps) {
  EXPECT_THROW(client.SetBufferSize(0), EMvSockException);
  client.SetBufferSize(1024);
  EXPECT_EQ(client.BufferCapacity(), 1024u);
  server.SendRaw(std::string(10000, 'b')).ExpectRaw("more");
  for (int i = 0; i < 6; ++i) server.SendRaw("c").ExpectRaw("next");
  Connect();
  client.SetBufferSize(4096);  // ignored while connected
  EXPECT_EQ(client.BufferSize(), 1024);
  EXPECT_EQ(client.ReadBytes(10000).size(), 10000u);
  const size_t grown = client.BufferCapacity();
  EXPECT_GE(grown, 10000u);
  EXPECT_EQ(grown % 1024, 0u);
  client.WriteString("more");
  // Each later receive into a nearly empty buffer gives back one step, down to two steps.
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(client.ReadBytes(1), "c");
    client.WriteString("next");
  }
  EXPECT_EQ(client.BufferCapacity(), std::max<size_t>(grown - 6 * 1024, 2048));
  EXPECT_EQ(server.Finish(), "");
}

}  // namespace
}  // namespace tavrik
