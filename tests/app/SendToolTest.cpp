// tavrik-send as its users run it: a process of its own against marvekd serving the demo
// installation, its output, exit status and log rows; and its progress bar on a terminal.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/send/SendBar.h"
#include "tests/app/DemoInstallation.h"
#include "tests/app/SourceBytes.h"
#include "tests/app/Unzipped.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::testing {
namespace {

using namespace std::chrono_literals;

struct TToolRun {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

class SendToolTest : public ::testing::Test {
 protected:
  void StartServer() {
    port = demo.Start();
    ASSERT_NE(port, 0);
  }
  std::string Source(const std::string& name, const std::string& data) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << data;
    return path;
  }
  std::string ServerFile(const std::string& name) { return ReadFile(demo.FilesDir() + "/" + name); }
  // tavrik-send against the demo's server with `args` after the server's address.
  TToolRun Send(std::vector<std::string> args) {
    args.insert(args.begin(), {TAVRIK_SEND_PATH, "-H", "127.0.0.1", "-p", std::to_string(port), "-t", "10000"});
    return RunTool(args);
  }
  TToolRun RunTool(const std::vector<std::string>& argv) {
    TChildProcess tool(argv);
    TToolRun run;
    while (auto line = tool.ReadLine(60s)) run.out += *line + "\n";
    run.status = tool.WaitExit(60s).value_or(-1);
    run.err = tool.Stderr();
    return run;
  }
  std::vector<std::string> LogRows() { return demo.LogRowsWithoutTime(); }

  TempDir dir;
  DemoInstallation demo;
  uint16_t port = 0;
};

const std::string kLoginOk = "Login ok|demo|Permission = UPLOAD;DOWNLOAD;TOOLS;BACKUP";

TEST_F(SendToolTest, CompressesLogsAndPrintsTheStoredNameAndLength) {
  StartServer();
  const std::string data = SourceBytes(300000);
  const TToolRun run = Send({"-u", "demo", "-w", "welkom", Source("quorvale.mdb", data)});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string archive = ReadFile(dir.File("quorvale.zip"));
  EXPECT_EQ(run.out, "demo_quorvale.zip " + std::to_string(archive.size()) + "\n");
  EXPECT_EQ(run.err, "");  // no bar when standard error is not a terminal
  EXPECT_EQ(ServerFile("demo_quorvale.zip"), archive);
  EXPECT_EQ(Unzipped(demo.FilesDir() + "/demo_quorvale.zip"),
            (std::map<std::string, std::string>{{"quorvale.mdb", data}}));
  EXPECT_EQ(LogRows(), (std::vector<std::string>{kLoginOk, "FileTranfer:demo_quorvale.zip|demo|",
                                                 "FileTranfer: Done   " + std::to_string(archive.size()) +
                                                     " Bytes|demo|"}));
}

TEST_F(SendToolTest, StoresFilesAsTheyAreWhenNotCompressing) {
  StartServer();
  const std::string data = SourceBytes(20000, 1), zipped = SourceBytes(9000, 2);
  std::ofstream(demo.FilesDir() + "/demo_a.mdb") << "the server's old copy";
  TToolRun run = Send({"-u", "demo", "-w", "welkom", "--no-zip", Source("a.mdb", data)});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "demo_a.mdb 20000\n");
  EXPECT_EQ(ServerFile("demo_a.mdb"), data);
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.zip")));
  run = Send({"--user=demo", "--password=welkom", Source("report.ZIP", zipped)});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "demo_report.ZIP 9000\n");
  EXPECT_EQ(ServerFile("demo_report.ZIP"), zipped);
}

TEST_F(SendToolTest, RefusedAccountsSendNothing) {
  demo.AddAccount("viewer", "kijk", "DOWNLOAD;TOOLS");
  StartServer();
  const std::string source = Source("a.mdb", "abc");
  const struct {
    const char* name;
    std::vector<std::string> account;
    std::string error, row;
  } cases[] = {
      {"unknown user", {"-u", "nobody", "-w", "x"}, "Gebruiker niet gevonden",
       "Login failed:|nobody|Gebruiker niet gevonden"},
      {"wrong password", {"-u", "demo", "-w", "Welkom"}, "Paswoord niet OK",
       "Login failed:|demo|Paswoord niet OK :******"},
      {"no user", {}, "Gebruiker niet gevonden", "Login failed:||Gebruiker niet gevonden"},
      {"no UPLOAD permission", {"-u", "viewer", "-w", "kijk"}, "user viewer has no UPLOAD permission",
       "Login ok|viewer|Permission = DOWNLOAD;TOOLS"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.account;
    args.push_back(source);
    const TToolRun run = Send(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tavrik-send: " + c.error + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(LogRows().back(), c.row);
  }
  EXPECT_EQ(LogRows().size(), 4u);  // no upload rows
  EXPECT_TRUE(std::filesystem::is_empty(demo.FilesDir()));
}

TEST_F(SendToolTest, ServerCopyIsKeptWhenTheFileCannotBeSent) {
  StartServer();
  const std::string held = Source("held.mdb", "in use");
  std::ifstream holder(held);  // another process has it open
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string stored, error;
  } cases[] = {
      {"missing", {"--no-zip", dir.File("gone.mdb")}, "demo_gone.mdb",
       "tavrik-send: [MarvekConnection.FileSend]No such file or directory\n"},
      {"held open", {"--no-zip", held}, "demo_held.mdb",
       "tavrik-send: [MarvekServer.FileSend]Opening source:" + held + "\n"},
      {"held open, compressed", {held}, "demo_held.zip", "tavrik-send: Opening source:" + held + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(demo.FilesDir() + "/" + c.stored) << "the server's copy";
    std::vector<std::string> args = {"-u", "demo", "-w", "welkom"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TToolRun run = Send(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.error);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ServerFile(c.stored), "the server's copy");
  }
}

TEST_F(SendToolTest, FailuresBeforeTheServerExitNonZero) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string error;
  } cases[] = {
      {"no server", {"-H", "127.0.0.1", "-p", std::to_string(ClosedPort()), "-u", "demo", "a.mdb"}, 1,
       "tavrik-send: [MarvekConnection.SetActive]No Marvek Database Server found at 127.0.0.1\n"},
      {"no FILE", {"-u", "demo"}, 2, "tavrik-send: no FILE given\n"},
      {"two FILEs", {"a.mdb", "b.mdb"}, 2, "tavrik-send: more than one FILE given\n"},
      {"unknown option", {"--zip", "a.mdb"}, 2, "tavrik-send: unknown option --zip\n"},
      {"port not a number", {"-p", "x", "a.mdb"}, 2, "tavrik-send: not a number: x\n"},
  };
  const std::string usage =
      "usage: tavrik-send [-H host] [-p port] [-u user] [-w password] [--no-zip] [-t timeout-ms] FILE\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv = {TAVRIK_SEND_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const TToolRun run = RunTool(argv);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.error + (c.status == 2 ? usage : ""));
    EXPECT_EQ(run.out, "");
  }
}

// What the bar draws for the positions the data module hands on: the bytes sent modulo the body's
// length, so the last block and the end both read 0.
std::string Drawn(int64_t max, const std::vector<int64_t>& positions, bool end = false) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  TSendBar bar(out);
  bar.Arm();
  bar.Start(max);
  for (int64_t p : positions) bar.Position(p);
  if (end) bar.End();
  std::fclose(out);
  std::string drawn(text, size);
  std::free(text);
  return drawn;
}

std::string Line(int filled, int percent) {
  char text[80];
  std::snprintf(text, sizeof text, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                std::string(size_t(TSendBar::kWidth - filled), ' ').c_str(), percent);
  return text;
}

TEST(SendBar, DrawsEachPercentOnceAndEndsTheLine) {
  EXPECT_EQ(Drawn(20510, {0, 8192, 16384, 0, 0}), Line(0, 0) + Line(15, 39) + Line(31, 79) + Line(40, 100) + "\n");
  EXPECT_EQ(Drawn(510, {0, 0, 0}), Line(0, 0) + Line(40, 100) + "\n");          // one block
  EXPECT_EQ(Drawn(1000000, {0, 1, 2, 10000}), Line(0, 0) + Line(0, 1));         // the same percent is not redrawn
  EXPECT_EQ(Drawn(20510, {0, 8192}, true), Line(0, 0) + Line(15, 39) + "\n");  // cut short: the line is ended
  EXPECT_EQ(Drawn(20510, {}, true), "");                                        // nothing drawn, nothing ended
  TSendBar none(nullptr);                                                       // no terminal
  none.Arm();
  none.Start(100);
  none.Position(50);
  none.End();
}

// Only the transfer announced is drawn: a log row's record before it and after it are not.
TEST(SendBar, DrawsTheAnnouncedTransferAlone) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  TSendBar bar(out);
  for (bool armed : {false, true, false}) {
    if (armed) bar.Arm();
    bar.Start(311);
    for (int64_t p : {0, 0, 0}) bar.Position(p);
  }
  std::fclose(out);
  EXPECT_EQ(std::string(text, size), Line(0, 0) + Line(40, 100) + "\n");
  std::free(text);
}

}  // namespace
}  // namespace tavrik::testing
