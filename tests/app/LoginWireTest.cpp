// The login on the wire: every frame of a login, from the connection's own login to its logout,
// against a scripted server; and what goes over the wire when the log row fails in the middle.
#include <gtest/gtest.h>

#include "platform/DateText.h"
#include "platform/VolumeId.h"
#include "proto/MvScramble.h"
#include "tests/app/ActionFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/WireText.h"
#include "tests/tables/WireScript.h"

namespace tavrik::testing {
namespace {

using platform::TCursor;

const std::string kDemo = kUsers.Record({"demo", "welkom", "UPLOAD;TOOLS", "Hallo"});
const std::string kBlankUser = kUsers.Record({});

// Opening USERS.DBF, moving to its first record and finding "demo" by a seek on its order.
std::vector<Step> FindDemo() {
  std::vector<Step> steps = OpenSteps(kUsers, "USERS.DBF", {{0, 1, kDemo}, {2, 2, kBlankUser}});
  for (const auto& part : {FirstSteps({{0, 1, kDemo}, {2, 2, kBlankUser}}), SeekUserSteps("demo", 1, kDemo)})
    steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

// Closing USERS.DBF in work area 1 while LOG.DBF was the current one.
const std::vector<Step> kCloseUsers = {{"0530", "1", "USERS"}, {"0504", "0001", ""}, {"0523", "", "Y"}};

class LoginWireTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    ports.user = "demo";
    ports.password = "welkom";
  }

  // The connection's login, then `parts` in order; a PutRecord is taken with any payload (its
  // row holds the time), and kept for the test.
  void Script(const std::vector<std::vector<Step>>& parts) {
    server.Login();
    for (const auto& part : parts)
      for (const Step& s : part) {
        if (s.code == "0499") server.ExpectCode(s.code).Reply("0001", s.reply);
        else server.Expect(s.code, s.payload).Reply("0001", s.reply);
      }
    server.Start();
    UseServer(uint16_t(server.Port()));
  }

  // The payloads of the requests with this code.
  std::vector<std::string> Sent(const std::string& code) {
    std::vector<std::string> payloads;
    for (const ReceivedFrame& f : server.Received())
      if (f.code == code) payloads.push_back(f.payload);
    return payloads;
  }

  ScriptedServer server;
};

TEST_F(LoginWireTest, EveryFrameOfALogin) {
  Script({FindDemo(),
          OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}}, 2),
          AppendPostSteps("", kLog.Record({})),
          CloseSteps("LOG", 2),
          kCloseUsers});
  server.Logout("PORTAL");
  const TDateTime before = platform::Now();
  EXPECT_TRUE(actions->LoginBtnClick());
  const TDateTime after = platform::Now();
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Hallo"});
  EXPECT_EQ(ports.pages, (std::vector<int>{kUploadPage, kToolsPage}));
  EXPECT_FALSE(dm->RemoteConnection->Active());

  // The connection logs in with its own account, never with the user's.
  const std::string id = std::to_string(platform::VolumeSerialNumber());
  EXPECT_EQ(Unscramble(Sent("0464").at(0)), LoginRecord("qz7rmw", "PORTAL", id, "", ""));
  const std::vector<std::string> rows = Sent("0499");
  ASSERT_EQ(rows.size(), 1u);
  const std::string stamp = Trim(rows[0].substr(1, 30));
  EXPECT_TRUE(stamp == platform::DateTimeToStr(before) || stamp == platform::DateTimeToStr(after)) << stamp;
  EXPECT_EQ(rows[0], kLog.Record({stamp, "Login ok", "demo", "Permission = UPLOAD;TOOLS"}));
}

// The log row fails while the record is being inserted: the insert is cancelled and both tables
// closed on the server before the logout, and the error goes on.
TEST_F(LoginWireTest, AFailedPostIsCancelledAndEverythingClosed) {
  Script({FindDemo(),
          OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}}, 2),
          {{"0494", "", ""}, {"0473", "", "00000001"}, {"0500", "", "1"}, {"0470", "", "not a number"}},
          // Cancelling: to the end of the table (the blank record the append left), the lock released.
          {{"0626", Traverse(false, true, 0, 1, 1), Batch({{0, 1, kLog.Record({})}})}, {"0510", "00000000", ""}},
          CloseSteps("LOG", 2),
          kCloseUsers});
  server.Logout("PORTAL");
  EXPECT_EQ(MessageOf([&] { actions->LoginBtnClick(); }), "[MarvekConnection.RecCount]RecCount");
  EXPECT_EQ(server.Finish(), "");
  ExpectNothingLeftOpen();
  EXPECT_TRUE(ports.pages.empty());  // the row failed before the pages were granted
}

// The server hangs up after the account was found: nothing more can be sent, and nothing is
// left open on this side.
TEST_F(LoginWireTest, AServerThatHangsUpEndsTheLogin) {
  server.Login();
  for (const Step& s : FindDemo()) server.Expect(s.code, s.payload).Reply("0001", s.reply);
  server.Hangup();
  server.Start();
  UseServer(uint16_t(server.Port()));
  const std::string error = MessageOf([&] { actions->LoginBtnClick(); });
  EXPECT_NE(error.find("[MarvekConnection."), std::string::npos) << error;
  EXPECT_EQ(server.Finish(), "");
  ExpectNothingLeftOpen();
  EXPECT_EQ(cursor.history, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault}));
  EXPECT_EQ(ports.status[1], "Disconnected");
}

}  // namespace
}  // namespace tavrik::testing
