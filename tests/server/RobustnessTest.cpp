#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "proto/MvFrame.h"
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

  TTestClient a(Port());  // not logged in: no more than a login needs
  EXPECT_TRUE(a.Send(BuildRequestHeader(4097, "0464")));
  EXPECT_TRUE(a.WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#2 dropped: 0464 claims 4097 payload bytes, more than 4096"));

  auto b = LoggedIn();
  EXPECT_TRUE(b->Send(BuildRequestHeader(0xFFFFFFFF, "0054")));
  EXPECT_TRUE(b->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#3 dropped: 0054 claims 4294967295 payload bytes, more than 65536 (PORTAL)"));

  auto c = LoggedIn();
  EXPECT_TRUE(c->Send(BuildRequestHeader((1 << 20) + 511, "0037")));  // the name fields, and one byte too many
  EXPECT_TRUE(c->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#4 dropped: 0037 claims 1049087 payload bytes, more than 1049086 (PORTAL)"));

  // Exactly at the limits is fine.
  EXPECT_EQ(good->Call("0037", FileFields("Files", "max.bin") + std::string(1 << 20, 'm')), "Y");
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
  EXPECT_FALSE(IsAnswered("0577"));
  EXPECT_TRUE(IsAnswered("0054"));
}

TEST_F(RobustnessTest, EachFrameAndTheLoginHaveADeadlineFromTheirFirstByte) {
  auto config = Config();
  config.login_timeout = 1500ms;
  config.frame_timeout = 600ms;
  config.idle_timeout = 20s;
  Start(config);
  TTestClient idle(Port());
  TTestClient mid_header(Port());
  EXPECT_TRUE(mid_header.Send("0000000A0000"));
  // Logged in, but its frames still have their deadline.
  auto mid_payload = LoggedIn();
  EXPECT_TRUE(mid_payload->Send(BuildRequestHeader(100, "0054") + "abc"));
  auto mid_upload = LoggedIn();
  EXPECT_TRUE(mid_upload->Send(BuildRequestHeader(10000, "0037") + FileFields("Files", "stalled.bin") + "abc"));
  for (auto* c : {&idle, &mid_header, mid_payload.get(), mid_upload.get()}) EXPECT_TRUE(c->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#1 dropped: not logged in within 1500 ms"));
  EXPECT_TRUE(captured.WaitFor("#2 dropped: request not whole within 600 ms"));
  EXPECT_TRUE(captured.WaitFor("#3 dropped: request not whole within 600 ms (PORTAL)"));
  EXPECT_TRUE(captured.WaitFor("#4 dropped: silent for 600 ms inside a payload (PORTAL)"));
  EXPECT_TRUE(captured.Has("#4 upload of Files/stalled.bin abandoned after 3 of 9490 bytes"));
  EXPECT_TRUE(AreaNames().empty());
}

TEST_F(RobustnessTest, ALoggedInClientMayStaySilentBetweenFramesLongerThanAFrameMayTake) {
  auto config = Config();
  config.login_timeout = 300ms;
  config.frame_timeout = 300ms;
  config.idle_timeout = 20s;
  Start(config);
  auto c = LoggedIn();  // a user reading a message box, say
  EXPECT_TRUE(c->Quiet(1500ms));
  EXPECT_EQ(c->Call("0054", FileFields("Files", "x")), "N");
}

TEST_F(RobustnessTest, SilentAndTricklingConnectionsCannotKeepALoginOut) {
  auto config = Config();
  config.max_clients = 4;
  config.login_timeout = 60s;  // no deadline helps here: the new connections must get in at once
  config.frame_timeout = 60s;
  Start(config);
  std::vector<std::unique_ptr<TTestClient>> attackers;
  for (int i = 0; i < 4; ++i) {
    attackers.push_back(std::make_unique<TTestClient>(Port()));
    // Half of them send a byte of a header now and then: each byte would restart an idle timer.
    if (i % 2) {
      EXPECT_TRUE(attackers.back()->Send("0"));
    }
  }
  ASSERT_TRUE(captured.WaitFor("#4 connected"));
  // Every new connection displaces the oldest that has not logged in, so each gets its turn.
  for (int round = 0; round < 3; ++round) {
    auto real = LoggedIn();
    EXPECT_EQ(real->Call("0054", FileFields("Files", "x")), "N");
  }
  EXPECT_TRUE(attackers[0]->WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#1 dropped: displaced by a new connection before logging in"));
  for (const char* id : {"#5", "#6", "#7"}) ASSERT_TRUE(captured.WaitFor(std::string(id) + " closed by the client"));
  // Logged-in clients are never displaced: with every slot logged in, one more is closed.
  std::vector<std::unique_ptr<TTestClient>> users;
  for (int i = 0; i < 4; ++i) users.push_back(LoggedIn());
  TTestClient late(Port());
  EXPECT_TRUE(late.WaitClosed());
  EXPECT_TRUE(captured.WaitFor("refused: 4 clients logged in, the most allowed"));
  for (auto& u : users) EXPECT_EQ(u->Call("0054", FileFields("Files", "x")), "N");
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

TEST_F(RobustnessTest, ASecondServerOnTheSameFoldersRefusesToStart) {
  const std::string data = dir.File("data");
  std::filesystem::create_directory(data);
  auto config = Config();
  config.aliases.Set("FILES", data);
  config.aliases.Set("SAME", data + "/");  // one folder under two names is locked once
  Start(config);
  auto c = LoggedIn();
  // An upload in progress, whose partial file a second server must not remove.
  ASSERT_TRUE(c->Send(BuildRequestHeader(510 + 1000, "0037") + FileFields("Files", "big.bin") + "abc"));
  auto partial_left = [&] { return AreaNames().size() == 1 && AreaNames()[0].rfind(".marvekd-", 0) == 0; };
  for (auto deadline = std::chrono::steady_clock::now() + 5s; !partial_left() && std::chrono::steady_clock::now() < deadline;)
    std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(partial_left());

  struct Case {
    std::function<void(server::TServerConfig&)> folders;
    std::string message;
  } cases[] = {
      {[&](server::TServerConfig& s) { s.aliases = {}; }, "file area FILES " + area + " is served by another marvekd"},
      {[&](server::TServerConfig& s) { s.file_areas = {}; }, "database FILES " + data + " is served by another marvekd"},
  };
  for (const auto& k : cases) {
    auto second = Config();
    second.aliases.Set("FILES", data);
    k.folders(second);
    server::TServer other(second, captured.Log());
    try {
      other.Start();
      ADD_FAILURE() << k.message;
    } catch (const server::EFolderInUse& e) {
      EXPECT_EQ(e.Message(), k.message);
    }
  }
  EXPECT_TRUE(partial_left());
  server_->Shutdown();
  server_.reset();
  Start(config);  // free again once the first has stopped
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
