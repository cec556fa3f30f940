// mvsh: its line reading, and the tool itself run as a child process against a scripted server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "net/mvsh/Mvsh.h"
#include "tests/net/ScriptedServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/WireText.h"

namespace tavrik {
namespace {

using testing::ScriptedServer;

TEST(MvshWords, QuotesKeepBlanksAndEscapes) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"Go 26", {"Go", "26"}},
      {"  Seek   \"SMITH  \"  ", {"Seek", "SMITH  "}},
      {"EvalString \"a \\\"b\\\" \\\\ c\"", {"EvalString", "a \"b\" \\ c"}},
      {"Seek \"\"", {"Seek", ""}},
      {"GetRecord\r", {"GetRecord"}},
      {"", {}},
  };
  for (const auto& [line, words] : cases) EXPECT_EQ(mvsh::SplitWords(line), words) << line;
  EXPECT_THROW(mvsh::SplitWords("Seek \"open"), mvsh::EMvshUsage);
  EXPECT_EQ(mvsh::Quote("a\"b\\\r\n\x01\xE9"), "\"a\\\"b\\\\\\r\\n\\x01\\xE9\"");
}

TEST(MvshWords, BadLinesAreUsageErrors) {
  TMarvekConnection conn;
  mvsh::Interpreter shell(conn);
  const std::pair<const char*, const char*> cases[] = {
      {"Bogus 1", "Unknown command: Bogus"},
      {"Go", "Usage: Go <record>"},
      {"Go 1 2", "Usage: Go <record>"},
      {"Go x", "Go: not a number: x"},
      {"Select 70000", "Select: out of range: 70000"},
      {"SetExact maybe", "SetExact: not Y or N: maybe"},
      {"GetRecord", "Record size unknown: open the table with Use or give the size"},
  };
  for (auto [line, message] : cases) {
    try {
      shell.Execute(line);
      ADD_FAILURE() << line;
    } catch (const mvsh::EMvshUsage& e) {
      EXPECT_EQ(e.Message(), message) << line;
    }
  }
  EXPECT_EQ(shell.Execute("   "), "");
}

struct ChildResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs mvsh with `args`, feeding `input`; gives up (and kills it) after 20 seconds.
ChildResult RunMvsh(const std::vector<std::string>& args, const std::string& input) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    std::vector<char*> argv{const_cast<char*>(MVSH_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(MVSH_PATH, argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);
  ChildResult r;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (::poll(fds, 2, 200) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);
  for (pollfd& p : fds)
    if (p.fd >= 0) ::close(p.fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.status = open > 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string UseReply() {
  return std::string("0001") + "00000003" + "00000001" + "0000000B" + "N" + std::string(255, ' ') + "0000" + "0000" +
         "00000000" + "00000000";
}

TEST(Mvsh, LogsInRunsCommandsAndLogsOut) {
  ScriptedServer server;
  server.Login("Y")
      .ExpectCode("0469").Reply("0469", UseReply())
      .Expect("0493", "0000001A").Reply("0301", "Backup at noon").Reply("0493", "0000001A")
      .Expect("0515", "").Reply("0515", "*JOHN      ")
      .Expect("0504", "0002").Reply("0504", "")
      .Logout("DEMO")
      .Start();
  ChildResult r = RunMvsh({"-p", std::to_string(server.Port()), "-u", "demo", "-w", "secret", "-t", "5000",
                           "Use FILES USERS.DBF 0 3", "Go 26", "GetRecord", "Select 1", "Select 2"},
                          "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "workarea=1 reccount=3 fields=1 recsize=11 encrypted=false order=0 condition=\"\" error=0 message=\"\"\n"
            "* Backup at noon\n"
            "26\n"
            "\"*JOHN      \"\n"
            "1\n"
            "1\n");
  EXPECT_EQ(server.Finish(), "");
}

TEST(Mvsh, StructureInDecimalAndEveryKindOfNotice) {
  ScriptedServer server;
  server.Login("Y")
      .Expect("0581", "").Reply("0300", "0000000000000064FFFFFFFF").Reply("0303", "abc")
      .Reply("0581", "USER_ID\r\nC\r\n14\r\n0\r\n2\r\nAMOUNT\r\nN\r\nC\r\n2\r\n16\r\n")
      .Logout("DEMO")
      .Start();
  ChildResult r = RunMvsh({"-p", std::to_string(server.Port()), "-u", "demo", "-t", "5000", "GetStructure"}, "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "* progress 0 100 -1\n"
            "* stream of 3 bytes\n"
            "USER_ID C 20 0 2; AMOUNT N 12 2 22\n");
  EXPECT_EQ(server.Finish(), "");
}

TEST(Mvsh, FailureIsPrintedAndEndsWithLogout) {
  ScriptedServer server;
  server.Login("Y")
      .Expect("0476", "").Reply("0476", "Y")
      .Expect("0493", "0000001A").Reply("0493", "not hex")
      .Logout("DEMO")
      .Start();
  ChildResult r = RunMvsh({"--port", std::to_string(server.Port()), "--user", "demo", "--timeout", "5000"},
                          "# from standard input\nBof\n\nGo 26\nGoTop\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "true\n");
  EXPECT_EQ(r.err, "[MarvekConnection.Go]Go\n");
  EXPECT_EQ(server.Finish(), "");
}

TEST(Mvsh, FileCommandsAndAFailedSend) {
  testing::TempDir dir;
  const std::string source = dir.File("quorvale.zip");
  std::ofstream(source) << "zip";
  const std::string fields = testing::FileFields("Files", "demo_quorvale.zip");
  ScriptedServer server;
  server.Login("Y")
      .Expect("0054", fields).Reply("0054", "Y")
      .Expect("0055", fields).Reply("0055", "Y")
      .Expect("0037", fields + "zip").Reply("0037", "Y")
      .Expect("0038", fields).Reply("0038", "00000003")
      .Expect("0037", testing::FileFields("Files", "quorvale.zip") + "zip").Reply("0037", "Y")
      .Logout("DEMO")
      .Start();
  ChildResult r = RunMvsh({"-p", std::to_string(server.Port()), "-u", "demo", "-t", "5000"},
                          "FileExists Files demo_quorvale.zip\n"
                          "DeleteFile Files c:\\upload\\demo_quorvale.zip\n"
                          "FileSend Files \"" + source + "\" demo_quorvale.zip\n"
                          "FileLength Files demo_quorvale.zip\n"
                          "FileSend Files " + source + "\n"
                          "FileSend Files " + dir.File("missing.zip") + "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "true\ntrue\n3\n3\n3\n");
  EXPECT_EQ(r.err, "[MarvekConnection.FileSend]No such file or directory\n");
  EXPECT_EQ(server.Finish(), "");
}

TEST(Mvsh, RefusedLoginAndBadLines) {
  ScriptedServer server;
  server.Login("N Wrong password").Logout("DEMO").Start();
  ChildResult r = RunMvsh({"-p", std::to_string(server.Port()), "-u", "demo", "-t", "5000", "Bof"}, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "mvsh: login refused: Wrong password\n"
            "[MarvekConnection.SetActive]Login not accepted. Maximum user count may have been exceeded\n");
  EXPECT_EQ(server.Finish(), "");

  ScriptedServer plain;  // no user: connected, not logged in
  plain.Start();
  r = RunMvsh({"-p", std::to_string(plain.Port()), "Bogus"}, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "mvsh: Unknown command: Bogus\n");
  plain.Finish();

  r = RunMvsh({"-p", "port"}, "");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace tavrik
