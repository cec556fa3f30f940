#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "proto/MvFrame.h"
#include "server/Listener.h"
#include "tests/server/ChildProcess.h"
#include "tests/server/MarvekdProcess.h"
#include "tests/server/TestClient.h"
#include "tests/support/TempDir.h"

namespace tavrik::testing {
namespace {

namespace fs = std::filesystem;

class MarvekdTest : public ::testing::Test {
 protected:
  MarvekdTest() {
    fs::create_directory(area);
    std::ofstream(ini) << "[SERVER]\nPort=8121\nIdleTimeout=30\n[ACCOUNTS]\nPORTAL=qz7rmw\n[FILES]\nFiles=" << area
                       << "\n";
  }
  TempDir dir;
  std::string area = dir.File("files");
  std::string ini = dir.File("marvekd.ini");
};

TEST_F(MarvekdTest, ConsoleSendsNoticesAndShutsDown) {
  Marvekd server({"--config", ini, "--port", "0"});
  ASSERT_NE(server.Port(), 0);
  TTestClient c(server.Port());
  ASSERT_TRUE(c.Login("PORTAL", "qz7rmw"));

  server.Process().WriteStdin("message Backup tonight\n");
  auto m = c.ReadFrame(10s);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->header + m->payload, "0000000E000000000301Backup tonight");
  EXPECT_EQ(server.Process().ReadLine(10s), "message sent to 1 clients");

  server.Process().WriteStdin("progress 1 10 5\nclients\n");
  auto p = c.ReadFrame(10s);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->code + p->payload, "0300" "00000001" "0000000A" "00000005");
  EXPECT_EQ(server.Process().ReadLine(10s), "progress sent to 1 clients");
  auto listed = server.Process().ReadLine(10s);
  ASSERT_TRUE(listed);
  EXPECT_TRUE(std::regex_match(*listed, std::regex("#1 127\\.0\\.0\\.1:[0-9]+ PORTAL \\(machine 1234, server SRV, group GRP\\)")))
      << *listed;

  server.Process().WriteStdin("shutdown\n");
  auto s = c.ReadFrame(10s);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->header, "00000000000000000302");
  EXPECT_TRUE(c.WaitClosed());
  EXPECT_EQ(server.Process().WaitExit(10s), 0);
  std::string log = server.Process().Stderr();
  EXPECT_NE(log.find("console: shutting down"), std::string::npos) << log;
  EXPECT_NE(log.find("shutdown notice sent to 1 clients"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped"), std::string::npos) << log;
}

TEST_F(MarvekdTest, SigtermShutsDownAndTheEndOfTheConsoleDoesNot) {
  Marvekd server({"--config", ini, "--port", "0"});
  ASSERT_NE(server.Port(), 0);
  server.Process().CloseStdin();
  TTestClient c(server.Port());
  ASSERT_TRUE(c.Login("PORTAL", "qz7rmw"));
  EXPECT_EQ(server.Process().WaitExit(300ms), std::nullopt);  // still serving
  EXPECT_EQ(c.Call("0054", FileFields("Files", "x")), "N");

  server.Process().Signal(SIGTERM);
  auto s = c.ReadFrame(10s);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->code, "0302");
  EXPECT_EQ(server.Process().WaitExit(10s), 0);
  EXPECT_NE(server.Process().Stderr().find("signal SIGTERM: shutting down"), std::string::npos);
}

TEST_F(MarvekdTest, LogLinesCarryATimestampAndVerboseAddsOnePerCommand) {
  std::ofstream(ini, std::ios::app) << "[SERVER]\nLogFile=" << dir.File("marvekd.log") << "\n";
  {
    Marvekd server({"--config", ini, "--port", "0", "--verbose"});
    ASSERT_NE(server.Port(), 0);
    TTestClient c(server.Port());
    ASSERT_TRUE(c.Login("PORTAL", "qz7rmw"));
    EXPECT_EQ(c.Call("0054", FileFields("Files", "x")), "N");
    server.Process().Signal(SIGINT);
    EXPECT_EQ(server.Process().WaitExit(10s), 0);
    EXPECT_EQ(server.Process().Stderr(), "");
  }
  std::string log = ReadFile(dir.File("marvekd.log"));
  const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} ";
  for (const char* line :
       {"#1 connected from 127\\.0\\.0\\.1:[0-9]+", "#1 login PORTAL accepted \\(machine 1234, server SRV, group GRP\\)",
        "#1 0054 FileExists, 510 bytes in, reply \"N\"", "signal SIGINT: shutting down"})
    EXPECT_TRUE(std::regex_search(log, std::regex("(^|\n)" + stamp + line + "\n"))) << line << "\n" << log;
}

TEST_F(MarvekdTest, InitDemoLaysOutAServerThatAcceptsTheProgramsAccount) {
  std::string demo = dir.File("demo");
  TChildProcess init({MARVEKD_PATH, "--init-demo", demo});
  EXPECT_EQ(init.WaitExit(10s), 0);
  for (const std::string& line :
       {"created " + demo, "created " + demo + "/data", "created " + demo + "/files",
        "created " + demo + "/data/USERS.DBF with the account demo / welkom", "created " + demo + "/data/LOG.DBF",
        "wrote " + demo + "/marvekd.ini", "start the server with: marvekd --config " + demo + "/marvekd.ini"})
    EXPECT_EQ(init.ReadLine(1s), line);
  EXPECT_EQ(ReadFile(demo + "/marvekd.ini"),
            "[SERVER]\r\nAddress=127.0.0.1\r\nPort=8121\r\nMaxUsers=10\r\nIdleTimeout=3600\r\nLogFile=" + demo +
                "/marvekd.log\r\n\r\n[ACCOUNTS]\r\nPORTAL=qz7rmw\r\n\r\n[ALIASES]\r\nFILES=" + demo +
                "/data\r\n\r\n[FILES]\r\nFiles=" + demo + "/files\r\n");
  struct stat st {};
  ASSERT_EQ(::stat((demo + "/marvekd.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // it holds a password

  // A second run touches nothing, also when only a table is left.
  fs::remove(demo + "/marvekd.ini");
  std::string users = ReadFile(demo + "/data/USERS.DBF");
  TChildProcess again({MARVEKD_PATH, "--init-demo", demo});
  EXPECT_EQ(again.WaitExit(10s), 1);
  EXPECT_EQ(again.Stderr(), "marvekd: A demo installation exists already in " + demo +
                                " (LOG.DBF); remove it first to make a new one\n");
  EXPECT_FALSE(fs::exists(demo + "/marvekd.ini"));
  EXPECT_EQ(ReadFile(demo + "/data/USERS.DBF"), users);
}

TEST_F(MarvekdTest, BadOptionsAndSettingsEndWithAMessage) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"--bogus"}, 2, "marvekd: unknown option --bogus\n"},
      {{"--port", "x"}, 2, "marvekd: --port: not a port number: x\n"},
      {{"--config", dir.File("none.ini")}, 2, "marvekd: Cannot read configuration " + dir.File("none.ini") + "\n"},
      {{"--address", "10.0.0.300"}, 2, "marvekd: Address: not an IPv4 address: 10.0.0.300\n"},
  };
  for (const auto& k : cases) {
    std::vector<std::string> argv = {MARVEKD_PATH};
    argv.insert(argv.end(), k.args.begin(), k.args.end());
    TChildProcess p(argv);
    EXPECT_EQ(p.WaitExit(10s), k.status) << k.message;
    std::string err = p.Stderr();
    EXPECT_EQ(err.substr(0, k.message.size()), k.message);
    EXPECT_NE(err.find("usage: marvekd"), std::string::npos);
  }
  server::TListener taken("127.0.0.1", 0);
  TChildProcess p({MARVEKD_PATH, "--config", ini, "--port", std::to_string(taken.Port())});
  EXPECT_EQ(p.WaitExit(10s), 1);
  EXPECT_NE(p.Stderr().find("Cannot listen on 127.0.0.1:" + std::to_string(taken.Port()) + ": Address already in use"),
            std::string::npos);
}

TEST_F(MarvekdTest, AFileSizeLimitFailsTheUploadWithoutKillingTheServer) {
  // The file-size limit stands in for a full disk: the write fails, nothing else does.
  Marvekd server({"--config", ini, "--port", "0"}, 1 << 20);
  ASSERT_NE(server.Port(), 0);
  TTestClient c(server.Port());
  ASSERT_TRUE(c.Login("PORTAL", "qz7rmw"));
  EXPECT_EQ(c.Call("0037", FileFields("Files", "big.bin") + std::string(3 << 20, 'b')), "");
  EXPECT_EQ(c.Call("0037", FileFields("Files", "small.bin") + std::string(100000, 's')), "Y");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(area)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"small.bin"});
  server.Process().Signal(SIGTERM);
  EXPECT_EQ(server.Process().WaitExit(10s), 0);
  EXPECT_NE(server.Process().Stderr().find("#1 0037 FileSend failed: cannot write big.bin: File too large"),
            std::string::npos);
}

}  // namespace
}  // namespace tavrik::testing
