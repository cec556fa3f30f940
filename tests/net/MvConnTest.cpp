// The connection against a scripted server: activation and login, the request/reply routines,
// server notices, time-outs and lost peers, and how failures reach the caller.
#include <gtest/gtest.h>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "proto/MvScramble.h"
#include "platform/Timer.h"
#include "platform/VolumeId.h"
#include "tests/net/ScriptedServer.h"

namespace tavrik {
namespace {

using testing::ScriptedServer;

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

std::vector<std::string> Codes(const std::vector<testing::ReceivedFrame>& frames) {
  std::vector<std::string> codes;
  for (const auto& f : frames) codes.push_back(f.code);
  return codes;
}

class MvConnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn.SetHost("127.0.0.1");
    conn.SetPort(server.Port());
    conn.SetTimeOut(5000);
    conn.OnLogin = [this](TComponent*, bool ok, const std::string& msg) {
      logins.push_back((ok ? "Y:" : "N:") + msg);
    };
    conn.OnLogout = [this](TComponent*) { ++logouts; };
    conn.OnServerMessage = [this](TComponent*, const std::string& msg) { messages.push_back(msg); };
  }
  void CollectErrors() {
    conn.OnError = [this](TComponent*, const std::string& command, const std::string& msg) {
      errors.push_back(command + "|" + msg);
    };
  }
  // Connects and logs in as DEMO.
  void LogIn() {
    conn.SetUser("demo");
    conn.SetPassword("secret");
    server.Login("Y");
  }
  platform::ManualTimer& Timer() { return dynamic_cast<platform::ManualTimer&>(conn.PollTimer()); }

  // Declared in this order so that the connection, which may still log out as it goes, is
  // destroyed before what its handlers record into and before the server.
  ScriptedServer server;
  std::vector<std::string> logins, messages, errors;
  int logouts = 0;
  TMarvekConnection conn;
};

TEST_F(MvConnTest, DefaultsAndFixedVersion) {
  TMarvekConnection fresh;
  EXPECT_EQ(fresh.Host(), "127.0.0.1");
  EXPECT_EQ(fresh.Port(), 8121);
  EXPECT_EQ(fresh.TimeOut(), 120000);
  EXPECT_FALSE(fresh.Active());
  fresh.SetVersion("Something else");
  EXPECT_EQ(fresh.Version(), "MarvekConnection 6.1.0.8");
  EXPECT_EQ(fresh.PollTimer().Interval(), 1000);
}

TEST_F(MvConnTest, LoginRecordIsScrambledOnTheWireAndLogoutFollows) {
  conn.SetServerName("SRV1");
  conn.SetGroupName("GRP");
  LogIn();
  server.Logout("DEMO");
  server.Start();
  conn.SetActive(true);
  EXPECT_TRUE(conn.Active());
  EXPECT_TRUE(conn.LoggedIn());
  EXPECT_TRUE(conn.PollTimer().Enabled());
  EXPECT_EQ(logins, std::vector<std::string>{"Y:"});
  conn.SetActive(false);
  EXPECT_FALSE(conn.Active());
  EXPECT_FALSE(conn.LoggedIn());
  EXPECT_FALSE(conn.PollTimer().Enabled());
  EXPECT_EQ(logouts, 1);
  ASSERT_EQ(server.Finish(), "");

  const std::string wire = server.Received().at(0).payload;
  ASSERT_EQ(wire.size(), 1788u);
  // "secret" and a blank, scrambled: s+105 e+85 c+65 r+105 e+85 t+105, blank-25.
  EXPECT_EQ(wire.substr(0, 7), "\xDC\xBA\xA4\xDB\xBA\xDD\x07");
  const std::string record = Unscramble(wire);
  const std::string blanks(255, ' ');
  EXPECT_EQ(record.substr(0, 255), "secret" + blanks.substr(6));
  EXPECT_EQ(record.substr(255, 255), "DEMO" + blanks.substr(4));
  const std::string id = std::to_string(platform::VolumeSerialNumber());
  EXPECT_EQ(record.substr(510, 255), id + blanks.substr(id.size()));
  EXPECT_EQ(record.substr(765, 255), blanks);
  EXPECT_EQ(record.substr(1020, 255), "Default" + blanks.substr(7));
  EXPECT_EQ(record.substr(1275, 3), "6N0");
  EXPECT_EQ(record.substr(1278, 255), "SRV1" + blanks.substr(4));
  EXPECT_EQ(record.substr(1533, 255), "GRP" + blanks.substr(3));
}

TEST_F(MvConnTest, RefusedLoginLogsOutAndReportsByMode) {
  struct Case {
    const char* name;
    bool loading;
    bool on_error;
    const char* expected;
  };
  const Case cases[] = {
      {"run time", false, false,
       "[MarvekConnection.SetActive]Login not accepted. Maximum user count may have been exceeded"},
      {"run time, OnError", false, true,
       "MarvekConnection.SetActive|Login not accepted. Maximum user count may have been exceeded"},
      {"loading", true, false, "[MarvekConnection.SetActive]Login not accepted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer peer;
    std::vector<std::string> seen;
    TMarvekConnection refused;
    refused.SetPort(peer.Port());
    refused.SetTimeOut(5000);
    refused.SetUser("demo");
    refused.OnLogin = [&](TComponent*, bool ok, const std::string& msg) { seen.push_back((ok ? "Y:" : "N:") + msg); };
    if (c.on_error)
      refused.OnError = [&](TComponent*, const std::string& cmd, const std::string& msg) { seen.push_back(cmd + "|" + msg); };
    if (c.loading) refused.BeginLoading();
    peer.Login("N  Too many users  ").Logout("DEMO").Start();
    std::string raised = MessageOf([&] { refused.SetActive(true); });
    if (!c.on_error) seen.push_back(raised);
    EXPECT_EQ(seen, (std::vector<std::string>{"N:Too many users", c.expected}));
    EXPECT_FALSE(refused.Active());
    EXPECT_FALSE(refused.LoggedIn());
    EXPECT_FALSE(refused.PollTimer().Enabled());
    EXPECT_EQ(peer.Finish(), "");
  }
}

TEST_F(MvConnTest, LoginWhileLoadingStartsNoPollTimer) {
  LogIn();
  server.Logout("DEMO").Start();
  conn.BeginLoading();
  conn.SetActive(true);
  EXPECT_TRUE(conn.LoggedIn());
  EXPECT_FALSE(conn.PollTimer().Enabled());
  conn.SetActive(false);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, NoServerMeansNoServerFound) {
  TMarvekConnection lonely;
  lonely.SetPort(testing::ClosedPort());
  EXPECT_EQ(MessageOf([&] { lonely.SetActive(true); }),
            "[MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1");
  EXPECT_FALSE(lonely.Active());
}

TEST_F(MvConnTest, LoginExchangeThatBreaksMeansNoServerFound) {
  conn.SetUser("demo");
  server.ExpectCode("0464").Hangup();  // answers the login request by hanging up
  server.Start();
  EXPECT_EQ(MessageOf([&] { conn.SetActive(true); }),
            "[MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1");
  EXPECT_FALSE(conn.Active());
  EXPECT_FALSE(conn.LoggedIn());
  server.Finish();
}

TEST_F(MvConnTest, ReportErrorRaisesOrCallsTheHandler) {
  EXPECT_EQ(MessageOf([&] { conn.ReportError("MarvekConnection.Go", "Go"); }), "[MarvekConnection.Go]Go");
  CollectErrors();
  conn.ReportError("MarvekConnection.Go", "Go");
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.Go|Go"});
}

TEST_F(MvConnTest, GoFrameOnTheWire) {
  server.ExpectRaw("00000008" "0000" "0000" "0493" "0000001A").Reply("0493", "0000001A");
  server.Start();
  conn.SetActive(true);  // no user: connected, not logged in
  EXPECT_FALSE(conn.LoggedIn());
  EXPECT_EQ(conn.Go(26), 26);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, NoticesBeforeTheReplyAreDeliveredAndTheReplyStillCounts) {
  std::vector<std::string> progress, streams;
  conn.OnServerProgress = [&](TComponent*, TxProgressStatus s, int64_t min, int64_t max, int64_t pos) {
    progress.push_back(std::to_string(s) + ":" + std::to_string(min) + "," + std::to_string(max) + "," +
                       std::to_string(pos));
  };
  conn.OnServerStream = [&](TComponent*, TMemoryStream& s) { streams.push_back(s.ToString()); };
  server.Expect("0493", "0000001A")
      .Reply("0301", "Backup at noon")
      .Reply("0300", "00000001" "00000064" "00000032")
      .Reply("0303", "BLOB")
      .Reply("0301", "")  // an empty notice is passed over
      .Reply("0493", "0000001A");
  server.Start();
  conn.SetActive(true);
  EXPECT_EQ(conn.Go(26), 26);
  EXPECT_EQ(messages, std::vector<std::string>{"Backup at noon"});
  EXPECT_EQ(progress, std::vector<std::string>{"1:1,100,50"});
  EXPECT_EQ(streams, std::vector<std::string>{"BLOB"});
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, PollTimerDeliversIdleNoticesAndShutdown) {
  conn.SetShutdownWait(0);
  server.Reply("0301", "Hello").Reply("0302", "");
  server.Start();
  conn.SetActive(true);
  ASSERT_TRUE(conn.PollTimer().Enabled());
  ASSERT_TRUE(conn.Readable(5000));
  EXPECT_TRUE(Timer().Fire());  // a peek reads one notice and stops
  EXPECT_EQ(messages, std::vector<std::string>{"Hello"});
  ASSERT_TRUE(conn.Readable(5000));
  EXPECT_TRUE(Timer().Fire());
  EXPECT_EQ(messages, (std::vector<std::string>{"Hello", "Server shutdown"}));
  EXPECT_FALSE(conn.Active());
  EXPECT_FALSE(conn.PollTimer().Enabled());
  EXPECT_FALSE(Timer().Fire());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, ShutdownInsteadOfAReplyFailsTheCommand) {
  conn.SetShutdownWait(0);
  server.ExpectCode("0493").Reply("0302", "");
  server.Start();
  conn.SetActive(true);
  EXPECT_EQ(MessageOf([&] { conn.Go(26); }), "[MarvekConnection.Go]Go");
  EXPECT_EQ(messages, std::vector<std::string>{"Server shutdown"});
  EXPECT_FALSE(conn.Active());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, EmptyReplyIsEmptyTextAndNoNumber) {
  server.Expect("0618", "").Reply("0618", "").Expect("0618", "").Reply("0618", "").Expect("0493", "0000001A").Reply("0493", "");
  server.Start();
  conn.SetActive(true);
  CollectErrors();
  EXPECT_EQ(conn.ClientXmit("0618", "", true), "");
  EXPECT_EQ(conn.ServerVersion(), "");
  EXPECT_EQ(conn.Go(26), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.Go|Go"});
  EXPECT_TRUE(conn.Active());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, LongTextReplyIsKeptWhole) {
  std::string text(70000, 'q');
  text[65539] = 'X';
  text.back() = 'Z';
  server.Expect("0545", "MEMO").Reply("0545", text);
  server.Start();
  conn.SetActive(true);
  EXPECT_EQ(conn.EvalString("MEMO"), text);
  EXPECT_EQ(server.Finish(), "");
}

// A silent server: the command times out, the connection logs out once (that request times out
// too) and closes. Without OnError the caller sees the command's own error.
TEST_F(MvConnTest, TimeOutWithoutHandlerEndsInTheCommandsError) {
  LogIn();
  server.DrainUntilClosed();
  server.Start();
  conn.SetActive(true);
  ASSERT_TRUE(conn.LoggedIn());
  conn.SetTimeOut(150);
  EXPECT_EQ(MessageOf([&] { conn.Go(26); }), "[MarvekConnection.Go]Go");
  EXPECT_FALSE(conn.Active());
  EXPECT_FALSE(conn.LoggedIn());
  EXPECT_FALSE(conn.PollTimer().Enabled());
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(Codes(server.Received()), (std::vector<std::string>{"0464", "0493", "0465"}));
}

TEST_F(MvConnTest, TimeOutWithHandlerReportsEachStep) {
  LogIn();
  server.DrainUntilClosed();
  server.Start();
  conn.SetActive(true);
  conn.SetTimeOut(150);
  CollectErrors();
  EXPECT_EQ(conn.Go(26), 0);
  EXPECT_EQ(errors, (std::vector<std::string>{"MarvekConnection.FillReadStream|Time out",
                                              "MarvekConnection.FillReadStream|Time out", "MarvekConnection.Go|Go"}));
  EXPECT_EQ(logouts, 1);
  EXPECT_FALSE(conn.Active());
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(Codes(server.Received()), (std::vector<std::string>{"0464", "0493", "0465"}));
}

TEST_F(MvConnTest, PeerClosingMidReplyLosesTheConnection) {
  struct Case {
    const char* name;
    bool on_error;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"raising", false, {"[MarvekConnection.Go]Go"}},
      {"OnError", true, {"MarvekConnection.FillReadStream|Connection lost", "MarvekConnection.Go|Go"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer peer;
    std::vector<std::string> seen;
    TMarvekConnection client;
    client.SetPort(peer.Port());
    client.SetTimeOut(5000);
    if (c.on_error)
      client.OnError = [&](TComponent*, const std::string& cmd, const std::string& msg) { seen.push_back(cmd + "|" + msg); };
    // The header promises 8 bytes; 3 come.
    peer.ExpectCode("0493").SendRaw("00000008000000000493" "000").Hangup().Start();
    client.SetActive(true);
    std::string raised = MessageOf([&] { EXPECT_EQ(client.Go(26), 0); });
    if (!c.on_error) seen.push_back(raised);
    EXPECT_EQ(seen, c.expected);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(peer.Finish(), "");
  }
}

// More than one receive piece arrives before the peer goes: the part is no reply.
TEST_F(MvConnTest, ReplyCutShortIsNoReply) {
  server.ExpectCode("0545").SendRaw("00002710000000000545" + std::string(9000, 'm')).Hangup();
  server.Start();
  conn.SetActive(true);
  CollectErrors();
  EXPECT_EQ(conn.EvalString("MEMO"), "");
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConnection.FillReadStream|Connection lost"});
  EXPECT_FALSE(conn.Active());
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, RequestsWhileInactive) {
  CollectErrors();
  EXPECT_EQ(conn.ClientXmit("0493", "0000001A", true), "");
  EXPECT_EQ(conn.ClientStreamReceive("0515", ""), nullptr);
  conn.OutStream().WriteString("data");
  EXPECT_EQ(conn.ClientStreamSendReceive("0499"), nullptr);
  EXPECT_EQ(conn.FillReadStream(false), 0);
  EXPECT_EQ(errors, std::vector<std::string>{"MarvekConection.ClientXmit(0493)|Not connected"});
  EXPECT_FALSE(conn.PollTimer().Enabled());
}

TEST_F(MvConnTest, LogoutSendsALongUserWhole) {
  conn.SetUser("administrator");
  server.Login("Y").Expect("0465", "ADMINISTRATOR").Reply("0465", "Y");
  server.Start();
  conn.SetActive(true);
  conn.SetActive(false);
  EXPECT_EQ(logouts, 1);
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, DestroyingALoggedInConnectionLogsOut) {
  server.Login("Y").Logout("DEMO").Start();
  {
    TMarvekConnection scoped;
    scoped.SetPort(server.Port());
    scoped.SetTimeOut(5000);
    scoped.SetUser("Demo");
    scoped.SetActive(true);
    EXPECT_TRUE(scoped.LoggedIn());
  }
  EXPECT_EQ(server.Finish(), "");
}

TEST_F(MvConnTest, EmptyOutgoingStreamSendsNothingAndAwaitsNothing) {
  server.Expect("0493", "0000001A").Reply("0493", "0000001A");
  server.Start();
  conn.SetActive(true);
  conn.OutStream().Clear();
  EXPECT_EQ(conn.ClientStreamSendReceive("0499"), nullptr);
  EXPECT_EQ(conn.Go(26), 26);
  EXPECT_EQ(server.Finish(), "");
}

}  // namespace
}  // namespace tavrik
