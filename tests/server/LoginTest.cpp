#include <gtest/gtest.h>

#include "proto/MvScramble.h"
#include "tests/server/ServerFixture.h"

namespace tavrik::testing {
namespace {

using LoginTest = ServerTest;

TEST_F(LoginTest, AcceptedLoginIsLoggedWithMachineServerAndGroup) {
  Start();
  TTestClient c(Port());
  EXPECT_EQ(c.Call("0464", Scramble(LoginRecord("qz7rmw", "PORTAL", "2882400018", "MAIN", "Sales"))), "Y");
  EXPECT_TRUE(captured.Has("#1 login PORTAL accepted (machine 2882400018, server MAIN, group Sales)"));
  EXPECT_EQ(c.Call("0054", FileFields("Files", "x")), "N");  // logged in: commands are served
  EXPECT_EQ(c.Call("0465", Pad("PORTAL", 10)), "Y");
  EXPECT_TRUE(captured.Has("#1 logout PORTAL"));
  EXPECT_EQ(c.Call("0054", FileFields("Files", "x")), "");  // logged out again
}

TEST_F(LoginTest, RefusalsCarryTheirReasonButDoNotTellAGuesserWhichPartWasWrong) {
  Start();
  struct Case {
    std::string record;
    const char* reply;
    const char* log;
  } cases[] = {
      {LoginRecord("qz7rmw", "NOBODY"), "N Unknown user or wrong password",
       "#1 login refused for NOBODY: Unknown user (machine 1234, server SRV, group GRP)"},
      {LoginRecord("QZ7RMW", "PORTAL"), "N Unknown user or wrong password",
       "#1 login refused for PORTAL: Wrong password (machine 1234, server SRV, group GRP)"},
      {LoginRecord("", "PORTAL"), "N Unknown user or wrong password",
       "#1 login refused for PORTAL: Wrong password (machine 1234, server SRV, group GRP)"},
      {LoginRecord("qz7rmw", ""), "N Unknown user or wrong password",
       "#1 login refused for : Unknown user (machine 1234, server SRV, group GRP)"},
      {LoginRecord("qz7rmw", "PORTAL", "1", "S", "G", "6Y0"), "N Compression not supported",
       "#1 login refused for PORTAL: Compression not supported (machine 1, server S, group G)"},
      {LoginRecord("qz7rmw", "PORTAL").substr(0, 1000), "N Malformed login record",
       "#1 login refused: login record of 1000 bytes, at least 1788 expected"},
  };
  TTestClient c(Port());
  for (const auto& k : cases) {
    EXPECT_EQ(c.Call("0464", Scramble(k.record)), k.reply) << k.log;
    EXPECT_TRUE(captured.Has(k.log)) << k.log;
    // Still not logged in, and the connection goes on.
    EXPECT_EQ(c.Call("0055", FileFields("Files", "x")), "");
  }
  // A refused client sends a logout as well; there is nothing to end.
  EXPECT_EQ(c.Call("0465", Pad("PORTAL", 10)), "N");
  EXPECT_TRUE(c.Login("PORTAL", "qz7rmw"));
}

TEST_F(LoginTest, UserNamesMatchWithoutRegardToCasePasswordsExactly) {
  Start();
  TTestClient c(Port());
  EXPECT_TRUE(c.Login("Clerk1", "secret"));
  TTestClient d(Port());
  EXPECT_EQ(d.Call("0464", TTestClient::ScrambledLogin("Secret", "CLERK1")), "N Unknown user or wrong password");
}

TEST_F(LoginTest, TooManyUsersUntilASlotIsFree) {
  auto config = Config();
  config.max_users = 2;
  Start(config);
  TTestClient a(Port()), b(Port()), c(Port());
  EXPECT_TRUE(a.Login("PORTAL", "qz7rmw"));
  EXPECT_TRUE(b.Login("PORTAL", "qz7rmw"));  // one account, many sessions
  EXPECT_EQ(c.Call("0464", TTestClient::ScrambledLogin("qz7rmw", "PORTAL")), "N Too many users");
  EXPECT_TRUE(captured.Has("#3 login refused for PORTAL: Too many users (machine 1234, server SRV, group GRP)"));

  EXPECT_EQ(a.Call("0465", Pad("PORTAL", 10)), "Y");  // a logout frees a slot
  EXPECT_TRUE(c.Login("PORTAL", "qz7rmw"));
  b.Close();  // so does a closed connection
  ASSERT_TRUE(captured.WaitFor("#2 closed by the client (PORTAL)"));
  EXPECT_TRUE(a.Login("PORTAL", "qz7rmw"));
  // A second login on one connection ends the first, so it takes no second slot.
  EXPECT_TRUE(a.Login("clerk1", "secret"));
  EXPECT_TRUE(captured.Has("#1 login again: the login of PORTAL ends"));
  EXPECT_EQ(TTestClient(Port()).Call("0464", TTestClient::ScrambledLogin("qz7rmw", "PORTAL")), "N Too many users");
}

TEST_F(LoginTest, RequestsBeforeLoginAreRefusedAndTheConnectionGoesOn) {
  Start();
  TTestClient c(Port());
  EXPECT_EQ(c.Call("0054", FileFields("Files", "x")), "");
  EXPECT_EQ(c.Call("0038", FileFields("Files", "x")), "");
  // An upload before login: its payload is read and dropped, nothing is stored.
  EXPECT_EQ(c.Call("0037", FileFields("Files", "early.txt") + std::string(3000, 'e')), "");
  EXPECT_EQ(c.Call("9999", "anything"), "");
  EXPECT_EQ(c.Call("0515", ""), "");
  for (const char* code : {"0054", "0038", "0037", "9999", "0515"})
    EXPECT_TRUE(captured.Has(std::string("#1 ") + code + " refused: not logged in")) << code;
  EXPECT_TRUE(AreaNames().empty());
  EXPECT_TRUE(c.Login("PORTAL", "qz7rmw"));
  EXPECT_EQ(c.Call("0054", FileFields("Files", "early.txt")), "N");
}

TEST_F(LoginTest, GuessesAreAnsweredLateAndEndTheConnectionAfterAFew) {
  auto config = Config();
  config.login_delay = 300ms;
  config.max_login_failures = 3;
  Start(config);
  TTestClient c(Port());
  auto refused_after = [&](const std::string& password) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.Call("0464", TTestClient::ScrambledLogin(password, "PORTAL")), "N Unknown user or wrong password");
    return std::chrono::steady_clock::now() - start;
  };
  EXPECT_GE(refused_after("guess1"), 300ms);
  EXPECT_GE(refused_after("guess2"), 300ms);
  EXPECT_TRUE(c.Login("PORTAL", "qz7rmw"));  // a good login starts the count again
  EXPECT_GE(refused_after("guess3"), 300ms);
  EXPECT_GE(refused_after("guess4"), 300ms);
  EXPECT_GE(refused_after("guess5"), 300ms);
  EXPECT_TRUE(c.WaitClosed());
  EXPECT_TRUE(captured.WaitFor("#1 closing after 3 refused logins"));
  EXPECT_TRUE(captured.WaitFor("#1 dropped: 3 refused logins"));
  // Other connections are not held back.
  TTestClient d(Port());
  EXPECT_TRUE(d.Login("PORTAL", "qz7rmw"));
}

}  // namespace
}  // namespace tavrik::testing
