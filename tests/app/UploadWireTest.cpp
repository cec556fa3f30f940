// The upload on the wire against a scripted server: every frame from the connection's login to its
// logout, and a server that reports another length than was sent.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/ActionFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TempDir.h"
#include "tests/support/WireText.h"
#include "tests/tables/WireScript.h"

namespace tavrik::testing {
namespace {

// One log row into an empty LOG.DBF: open, append and post, close.
std::vector<Step> LogRowSteps() {
  std::vector<Step> steps = OpenSteps(kLog, "LOG.DBF", {{2, 1, kLog.Record({})}});
  for (const auto& part : {AppendPostSteps("", kLog.Record({})), CloseSteps("LOG")})
    steps.insert(steps.end(), part.begin(), part.end());
  return steps;
}

class UploadWireTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    LoggedIn = true;
    ports.user = "clerk1";
    ports.source = dir.File("a.mdb");
    ports.compression = false;
    std::ofstream(ports.source, std::ios::binary) << "abc";
  }

  // The connection's login, then `steps`; a PutRecord is taken with any payload (its row holds the
  // time) and kept.
  void Script(const std::vector<Step>& steps) {
    server.Login();
    for (const Step& s : steps) {
      if (s.code == "0499") server.ExpectCode(s.code).Reply("0001", s.reply);
      else server.Expect(s.code, s.payload).Reply("0001", s.reply);
    }
    server.Logout("PORTAL");
    server.Start();
    UseServer(uint16_t(server.Port()));
  }
  // The EVENT field of each row posted.
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    for (const ReceivedFrame& f : server.Received())
      if (f.code == "0499") events.push_back(Trim(f.payload.substr(31, 80)));
    return events;
  }
  // The file commands of an upload of a.mdb whose FileLength is answered `length`.
  std::vector<Step> UploadSteps(const std::string& length) {
    std::vector<Step> steps = LogRowSteps();
    const std::string fields = FileFields("Files", "clerk1_a.mdb");
    for (const Step& s : std::vector<Step>{{"0054", fields, "Y"},
                                           {"0055", fields, "Y"},
                                           {"0037", fields + "abc", "Y"},
                                           {"0038", fields, length}})
      steps.push_back(s);
    const std::vector<Step> second = LogRowSteps();
    steps.insert(steps.end(), second.begin(), second.end());
    return steps;
  }

  TempDir dir;
  ScriptedServer server;
};

TEST_F(UploadWireTest, EveryFrameOfAnUpload) {
  Script(UploadSteps("00000003"));
  EXPECT_EQ(MessageOf([&] { EXPECT_TRUE(actions->StartBtnClick()); }), "(nothing raised)");
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(Events(), (std::vector<std::string>{"FileTranfer:clerk1_a.mdb", "FileTranfer: Done   3 Bytes"}));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"File sended"});
  EXPECT_EQ(ports.status[2], "Done");
  ExpectNothingLeftOpen();
}

// The server stored something else than was sent: the length it reports is logged, and the user
// gets an error naming both lengths instead of the news that the file was sent.
TEST_F(UploadWireTest, AStoredLengthThatDiffersIsAnError) {
  Script(UploadSteps("00000002"));
  EXPECT_EQ(MessageOf([&] { actions->StartBtnClick(); }), "The server stored 2 bytes of clerk1_a.mdb, but 3 were sent");
  EXPECT_EQ(server.Finish(), "");
  EXPECT_EQ(Events(), (std::vector<std::string>{"FileTranfer:clerk1_a.mdb", "FileTranfer: Done   2 Bytes"}));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(ports.status[2], "Sending...");
  EXPECT_EQ(ports.status[1], "Disconnected");
  EXPECT_EQ(actions->LastUpload().remote_name, "");
  ExpectNothingLeftOpen();
}

}  // namespace
}  // namespace tavrik::testing
