// The demo installation served by marvekd, driven as the program and an administrator drive it:
// mvsh as a child process, TMarvekConnection for a log row the way a table posts it and for the
// file commands, and the log table read back afterwards by dbfread, a reader nobody here wrote.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "core/StrUtils.h"
#include "net/MvConn.h"
#include "tests/server/DbfRows.h"
#include "tests/server/MarvekdProcess.h"
#include "tests/support/TempDir.h"

namespace tavrik::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(TChildProcess& p, std::chrono::milliseconds timeout = 10s) {
  std::vector<std::string> lines;
  while (auto line = p.ReadLine(timeout)) lines.push_back(*line);
  return lines;
}

class DemoServerTest : public ::testing::Test {
 protected:
  DemoServerTest() {
    TChildProcess init({MARVEKD_PATH, "--init-demo", demo});
    EXPECT_EQ(init.WaitExit(10s), 0);
  }

  std::unique_ptr<TMarvekConnection> Connect(uint16_t port) {
    auto c = std::make_unique<TMarvekConnection>();
    c->SetPort(port);
    c->SetTimeOut(10000);
    c->SetUser("PORTAL");
    c->SetPassword("qz7rmw");
    c->OnError = [this](TComponent*, const std::string& command, const std::string& msg) {
      errors.push_back(command + "|" + msg);
    };
    c->SetActive(true);
    return c;
  }

  // One LOG.DBF row, sent as a table posts a new record.
  void ToLog(TMarvekConnection& c, const std::string& event, const std::string& remark) {
    TMvUseParams p;
    p.DatabaseName = "FILES";
    p.TableName = "LOG.DBF";
    TMvTableInfo info;
    const uint16_t area = static_cast<uint16_t>(c.Use(p, info));
    ASSERT_NE(area, 0) << info.ErrorMessage;
    ASSERT_NE(c.GetStructure(), nullptr);
    c.GoTop();
    std::vector<TMvFetchSlot> slots;
    int count = 0;
    TMvTraverseRequest first;
    first.GoTop = true;
    first.Direction = 1;
    c.TraverseTable(first, info.RecordSize, slots, count);
    c.GoBottom();
    const int recno = c.AppendBlank();
    ASSERT_GT(recno, 0);
    std::string image(static_cast<size_t>(info.RecordSize), ' ');
    image.replace(1, 30, PadRight("07-12-2026 10:00:00", 30));
    image.replace(31, 80, PadRight(event, 80));
    image.replace(111, 40, PadRight("demo", 40));
    image.replace(151, 160, PadRight(remark, 160));
    c.PutRecord(image.data(), info.RecordSize);
    c.Commit();
    c.Unlock(recno);
    EXPECT_FALSE(c.Eof());
    EXPECT_EQ(c.RecNo(), recno);
    EXPECT_EQ(c.Alias(area), "LOG");
    c.Select(area);
    c.Close();
  }

  TempDir dir;
  std::string demo = dir.File("demo");
  std::vector<std::string> errors;
};

TEST_F(DemoServerTest, TheDemoAccountIsFoundAndLogRowsLandInTheLogTable) {
  Marvekd server({"--config", demo + "/marvekd.ini", "--port", "0", "--verbose"});
  ASSERT_NE(server.Port(), 0);
  const std::string port = std::to_string(server.Port());

  // The last command asks for the table exclusively while this very session has it open.
  TChildProcess mvsh({MVSH_PATH, "-p", port, "-u", "PORTAL", "-w", "qz7rmw", "-t", "10000",
                      "Use FILES USERS.DBF 0 3 USER_ID", "Seek \"demo                \"", "GetTrimString PASSWRD",
                      "GetTrimString PERMISSION", "Use FILES ../USERS.DBF", "Use FILES USERS.DBF 2"});
  EXPECT_EQ(mvsh.WaitExit(20s), 0) << mvsh.Stderr();
  EXPECT_EQ(Lines(mvsh),
            (std::vector<std::string>{
                "workarea=1 reccount=1 fields=4 recsize=201 encrypted=false order=1 condition=\"\" "
                "index=[\"USER_ID\" \"USER_ID\" \"USERS.MXI\" \"USER_ID\" 000000] error=0 message=\"\"",
                "true", "\"welkom\"", "\"UPLOAD;DOWNLOAD;TOOLS;BACKUP\"",
                "workarea=0 reccount=0 fields=0 recsize=0 encrypted=false order=0 condition=\"\" error=2 "
                "message=\"Table name \\\"../USERS.DBF\\\" refused: file name with a path separator\"",
                "workarea=0 reccount=0 fields=0 recsize=0 encrypted=false order=0 condition=\"\" error=4 "
                "message=\"Table USERS.DBF is in use by another work area\""}));

  auto c = Connect(server.Port());
  ToLog(*c, "Login ok", "Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP");

  // The file commands, as the upload sends them.
  auto fields = [](const std::string& name) { return PadRight("Files", 255) + PadRight(name, 255); };
  EXPECT_EQ(c->ClientXmit("0054", fields("demo_quorvale.zip"), true), "N");
  const std::string data(20000, 'z');
  c->OutStream().Clear();
  c->OutStream().WriteString(fields("demo_quorvale.zip") + data);
  c->OutStream().SetPosition(0);
  TMemoryStream* sent = c->ClientStreamSendReceive("0037");
  ASSERT_NE(sent, nullptr);
  EXPECT_EQ(sent->ToString(), "Y");
  EXPECT_EQ(c->ClientXmit("0038", fields("demo_quorvale.zip"), true), "00004E20");
  EXPECT_EQ(c->ClientXmit("0054", fields("demo_quorvale.zip"), true), "Y");
  ToLog(*c, "FileTranfer: Done   20000 Bytes", "");
  EXPECT_EQ(c->ClientXmit("0055", fields("demo_quorvale.zip"), true), "Y");
  EXPECT_FALSE(fs::exists(demo + "/files/demo_quorvale.zip"));
  c->SetActive(false);
  EXPECT_EQ(errors, std::vector<std::string>{});

  server.Process().Signal(SIGTERM);
  EXPECT_EQ(server.Process().WaitExit(10s), 0);
  const std::string log = ReadFile(demo + "/marvekd.log");
  EXPECT_NE(log.find("#2 0499 PutRecord, 311 bytes in, reply \"Y\""), std::string::npos) << log;
  EXPECT_NE(log.find("database FILES = " + demo + "/data"), std::string::npos);

  EXPECT_EQ(DbfRows(demo + "/data/LOG.DBF"),
            (std::vector<std::string>{"07-12-2026 10:00:00|Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP",
                                      "07-12-2026 10:00:00|FileTranfer: Done   20000 Bytes|demo|"}));
}

TEST_F(DemoServerTest, PartialUploadsOfAKilledServerAreRemovedAtStart) {
  const std::string files = demo + "/files/";
  for (const char* name : {".marvekd-0123456789abcdef.part", ".marvekd-0123456789ABCDEF.part", ".marvekd-x.part",
                           "keep.part", ".marvekd-0123456789abcde.part"})
    std::ofstream(files + name) << "half an upload";
  fs::create_symlink("keep.part", files + ".marvekd-fedcba9876543210.part");
  fs::create_directory(files + ".marvekd-aaaaaaaaaaaaaaaa.part");
  {
    Marvekd server({"--config", demo + "/marvekd.ini", "--port", "0"});
    ASSERT_NE(server.Port(), 0);
    server.Process().Signal(SIGTERM);
    EXPECT_EQ(server.Process().WaitExit(10s), 0);
  }
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(files)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{".marvekd-0123456789ABCDEF.part", ".marvekd-0123456789abcde.part",
                                            ".marvekd-aaaaaaaaaaaaaaaa.part", ".marvekd-fedcba9876543210.part",
                                            ".marvekd-x.part", "keep.part"}));
  EXPECT_NE(ReadFile(demo + "/marvekd.log").find("removed 1 partial uploads left in " + demo + "/files"),
            std::string::npos);
}

}  // namespace
}  // namespace tavrik::testing
