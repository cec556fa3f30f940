#include <gtest/gtest.h>

#include <thread>

#include "net/MvFrame.h"
#include "server/Dispatcher.h"
#include "tests/server/ServerFixture.h"

namespace tavrik::testing {
namespace {

using RobustnessTest = ServerTest;

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

TEST_F(RobustnessTest, MalformedHeaderDropsOnlyItsOwnClient) {
  Start();
  auto good = LoggedIn();
  struct Case {
    std::string header;
    std::string log;
  } cases[] = {
      {"0000001G000000000054", "malformed frame header \"0000001G000000000054\""},
      {"00000001000200000054", "malformed frame header \"00000001000200000054\""},
      {"00000001000000010054", "malformed frame header \"00000001000000010054\""},
      {"0000000100000000005X", "malformed frame header \"0000000100000000005X\""},
      {"GET / HTTP/1.1\r\nHost", "malformed frame header \"GET / HTTP/1.1\\x0D\\x0AHost\""},
      {std::string(20, '\0'), "malformed frame header \"" + Repeat("\\x00", 20) + "\""},
  };
  int id = 1;
  for (const auto& k : cases) {
    TTestClient bad(Port());
    ++id;
    EXPECT_TRUE(bad.Send(k.header));
    EXPECT_TRUE(bad.WaitClosed()) << k.header;
    EXPECT_TRUE(captured.WaitFor(std::string("#").append(std::to_string(id)) + " dropped: " + k.log)) << k.log;
    EXPECT_EQ(good->Call("0054", FileFields("Files", "x")), "N");
  }
}

TEST_F(RobustnessTest, OversizedClaimsDropTheClientBeforeItsPayloadIsRead) {
  auto config = Config();
  config.max_payload = 64 * 1024;
  config.max_upload = 1 << 20;
  Start(config);
  auto good = LoggedIn();

  TTestClient a(Port());  // not logged in: an upload gets only the general limit
  EXPECT_TRUE(a.Send(BuildRequestHeader(64 * 1024 + 1, "0037")));
  EXPECT_TRUE(a.WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#2 dropped: 0037 claims 65537 payload bytes, more than 65536"));

  auto b = LoggedIn();
  EXPECT_TRUE(b->Send(BuildRequestHeader(0xFFFFFFFF, "0054")));
  EXPECT_TRUE(b->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#3 dropped: 0054 claims 4294967295 payload bytes, more than 65536 (PORTAL)"));

  auto c = LoggedIn();
  EXPECT_TRUE(c->Send(BuildRequestHeader((1 << 20) + 1, "0037")));
  EXPECT_TRUE(c->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#4 dropped: 0037 claims 1048577 payload bytes, more than 1048576 (PORTAL)"));

  // Exactly at the limits is fine.
  EXPECT_EQ(good->Call("0037", FileFields("Files", "max.bin") + std::string((1 << 20) - 510, 'm')), "Y");
  EXPECT_EQ(good->Call("9999", std::string(64 * 1024, 'x')), "");
  EXPECT_TRUE(captured.Has("#1 9999 refused: unknown command"));
}

TEST_F(RobustnessTest, CompressedPayloadsAreRefusedAndSkipped) {
  Start();
  auto c = LoggedIn();
  std::string packed = "00000005000100000054" "abcde";
  EXPECT_TRUE(c->Send(packed));
  auto f = c->ReadFrame();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->header, "00000000000000000001");
  EXPECT_TRUE(captured.Has("#1 0054 refused: compressed payloads are not supported"));
  EXPECT_EQ(c->Call("0054", FileFields("Files", "x")), "N");
}

TEST_F(RobustnessTest, RequestsSentWithoutWaitingGetNoReply) {
  Start();
  auto c = LoggedIn();
  // SetLockTimeOut, SetPassword and SetTranslate are never answered, served or refused, so the
  // next command reads its own reply.
  EXPECT_TRUE(c->SendRequest("0577", "10"));
  EXPECT_TRUE(c->SendRequest("0566", "secret"));
  EXPECT_TRUE(c->SendRequest("0587", "maybe"));
  EXPECT_EQ(c->Call("0038", FileFields("Files", "x")), "");
  EXPECT_EQ(c->Call("0054", FileFields("Files", "x")), "N");
  EXPECT_TRUE(c->Quiet(200ms));
  EXPECT_TRUE(captured.Has("#1 0587 SetTranslate refused: switch: cannot read \"m\"")) << captured.Lines().back();
  EXPECT_TRUE(server::TDispatcher::IsNoReplyCode("0577"));
  EXPECT_FALSE(server::TDispatcher::IsNoReplyCode("0054"));
}

TEST_F(RobustnessTest, SilentAndStalledClientsAreDropped) {
  auto config = Config();
  config.idle_timeout = 600ms;
  Start(config);
  TTestClient idle(Port());
  TTestClient mid_header(Port());
  EXPECT_TRUE(mid_header.Send("0000000A0000"));
  auto mid_payload = LoggedIn();
  EXPECT_TRUE(mid_payload->Send(BuildRequestHeader(10000, "0037") + FileFields("Files", "stalled.bin") + "abc"));
  for (auto* c : {&idle, &mid_header, mid_payload.get()}) EXPECT_TRUE(c->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#1 dropped: silent for 600 ms"));
  EXPECT_TRUE(captured.WaitFor("#2 dropped: silent for 600 ms"));
  EXPECT_TRUE(captured.WaitFor("#3 dropped: silent for 600 ms (PORTAL)"));
  EXPECT_TRUE(captured.Has("#3 upload of Files/stalled.bin abandoned after 3 of 9490 bytes"));
  EXPECT_TRUE(AreaNames().empty());
}

TEST_F(RobustnessTest, ABrokenUploadLeavesNoFileAndNoPartialFile) {
  Start();
  {
    auto c = LoggedIn();
    EXPECT_EQ(c->Call("0037", FileFields("Files", "kept.mdb") + "first version"), "Y");
    EXPECT_TRUE(c->Send(BuildRequestHeader(510 + 1000000, "0037") + FileFields("Files", "kept.mdb") +
                        std::string(300000, 'x')));
  }  // the client goes away in the middle of the payload
  ASSERT_TRUE(captured.WaitFor("#1 dropped: closed the connection inside a payload (PORTAL)"));
  EXPECT_TRUE(captured.Has("#1 upload of Files/kept.mdb abandoned after 300000 of 1000000 bytes"));
  EXPECT_EQ(AreaNames(), (std::vector<std::string>{"kept.mdb"}));
  auto d = LoggedIn();
  EXPECT_EQ(d->Call("0038", FileFields("Files", "kept.mdb")), "0000000D");
}

TEST_F(RobustnessTest, ConnectionsBeyondMaxClientsAreClosedAtOnce) {
  auto config = Config();
  config.max_clients = 2;
  Start(config);
  TTestClient a(Port()), b(Port());
  ASSERT_TRUE(captured.WaitFor("#2 connected"));
  TTestClient c(Port());
  EXPECT_TRUE(c.WaitClosed());
  EXPECT_TRUE(captured.WaitFor("refused: 2 clients connected, the most allowed"));
  EXPECT_TRUE(a.Login("PORTAL", "qz7rmw"));
  b.Close();
  // Its slot is free once its thread is done, a moment after the log line.
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (server_->DescribeClients().size() != 1 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server_->DescribeClients().size(), 1u);
  TTestClient d(Port());
  EXPECT_TRUE(d.Login("PORTAL", "qz7rmw"));
}

TEST(Dispatcher, CodesAreFourDigitsEachOnce) {
  server::TDispatcher d;
  auto handler = [](server::TSessionState&, server::TRequest&) { return std::string("Y"); };
  d.Add({"0054", "FileExists", handler});
  EXPECT_TRUE(d.Find("0054"));
  EXPECT_FALSE(d.Find("0055"));
  for (const char* bad : {"54", "00540", "005A", "0054"}) {
    try {
      d.Add({bad, "X", handler});
      ADD_FAILURE() << bad;
    } catch (const server::EDispatcher& e) {
      EXPECT_EQ(e.Message(), std::string(bad) == "0054" ? "Command code registered twice: 0054"
                                                        : "Command code must be four digits: " + std::string(bad));
    }
  }
}

TEST(SessionState, ExtensionsAreMadeOnceAndKeptPerSession) {
  struct TWorkAreas {
    int current = 0;
  };
  server::TSessionState a, b;
  a.Extension<TWorkAreas>().current = 7;
  EXPECT_EQ(a.Extension<TWorkAreas>().current, 7);
  EXPECT_EQ(b.Extension<TWorkAreas>().current, 0);
}

}  // namespace
}  // namespace tavrik::testing
