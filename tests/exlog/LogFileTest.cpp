// The log file: its name, its split into reports, the newest ErrorsInLogFile kept, the
// reproduction steps under a report, and a rewrite that loses nothing when it fails or when
// another process writes at the same time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "exlog/ELogFile.h"
#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

std::string Report(int n) { return "Ravlog 4.5.4\r\n\r\nreport " + std::to_string(n); }

TEST(LogFileName, BesideTheModuleOrWhereOutputPathSays) {
  struct Case {
    const char* module;
    const char* output_path;
    const char* expected;
  } cases[] = {
      {"/opt/tavrik/tavrik", "", "/opt/tavrik/tavrik.rlf"},
      {"/opt/tavrik/tavrik.bin", "", "/opt/tavrik/tavrik.rlf"},
      {"/opt/tavrik/tavrik", "/var/log/tavrik", "/var/log/tavrik/tavrik.rlf"},
      {"/opt/tavrik/tavrik", "/var/log/", "/var/log/tavrik.rlf"},
      {"/opt/tavrik/tavrik", "/var/log/All.RLF", "/var/log/All.RLF"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogFileName(c.module, c.output_path), c.expected) << c.module;
}

TEST(LogFileSplit, ReportsStartAtALineThatOpensWithRavlog) {
  const std::string one = Report(1) + "\r\n\r\n\r\n\r\n";
  const std::string two = "Ravlog 4.5.4\r\nsee Ravlog 4.4 notes\r\n\r\n\r\n\r\n";
  EXPECT_EQ(TLogFile::Split("notes before the first report\r\n" + one + two),
            (std::vector<std::string>{one, two}));
  EXPECT_EQ(TLogFile::Split(one + "\r\n" + "Ravlog 4.5.4\r\ncut short"),
            (std::vector<std::string>{one, "Ravlog 4.5.4\r\ncut short"}));
  EXPECT_TRUE(TLogFile::Split("no report here\r\nxRavlog 4.5.4\r\n").empty());
}

TEST(LogFileAppend, TheNewestKeptAndTextBeforeTheFirstReportDropped) {
  testing::TempDir dir;
  const std::string file = dir.File("prog.rlf");
  std::ofstream(file, std::ios::binary) << "scribbled by hand\r\n";
  TLogFile log(file);
  for (int n = 1; n <= 33; ++n) log.Append(Report(n), 32);
  const std::vector<std::string> reports = log.Reports();
  ASSERT_EQ(reports.size(), 32u);
  EXPECT_EQ(reports.front(), Report(2) + "\r\n\r\n\r\n\r\n");
  EXPECT_EQ(reports.back(), Report(33) + "\r\n\r\n\r\n\r\n");
  EXPECT_EQ(testing::ReadFile(file).rfind("Ravlog 4.5.4", 0), 0u);
  log.Append(Report(34), 0);  // stored as 1
  EXPECT_EQ(log.Reports(), std::vector<std::string>{Report(34) + "\r\n\r\n\r\n\r\n"});
}

TEST(ReproductionSteps, NormalisedSoTheyCannotSplitTheLog) {
  struct Case {
    std::string typed;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"\r\n \n", ""},
      {"one\rtwo\nthree\r\nfour", "one\r\ntwo\r\nthree\r\nfour"},
      {"\n\nstart  \n\n\n\n\nafter\r\n\r\n\r\n", "start\r\n\r\nafter"},
      {"tab\there\x01", "tab here"},
      {"Ravlog 4.5.4\n\n\n\nnext", "Ravlog 4.5.4\r\n\r\nnext"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizedSteps(c.typed), c.expected) << c.typed;
  EXPECT_EQ(ReportWithSteps("R\r\n", "click\n\n\n\nsave", "Request"),
            "R\r\n\r\nRequest:\r\n" + std::string(40, '-') + "\r\nclick\r\n\r\nsave");
  EXPECT_EQ(ReportWithSteps("R\r\n", " \n ", "Request"), "R\r\n");

  testing::TempDir dir;
  TLogFile log(dir.File("prog.rlf"));
  log.Append(ReportWithSteps(Report(1), "a\r\r\r\r\r\nRavlog 4.5.4\n\n\n\n\nb", "Request"), 32);
  log.Append(Report(2), 32);
  const std::vector<std::string> reports = log.Reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].find("a\r\n\r\nRavlog 4.5.4\r\n\r\nb"), std::string::npos);
}

// Runs `work` in a child process; true when it exited with 0.
template <typename Work>
bool InChild(Work work) {
  pid_t child = ::fork();
  if (child == 0) ::_exit(work() ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(LogFileAppend, AFailedRewriteLeavesTheOldFileWhole) {
  testing::TempDir dir;
  const std::string file = dir.File("prog.rlf");
  TLogFile log(file);
  for (int n = 1; n <= 3; ++n) log.Append(Report(n), 32);
  const std::string before = testing::ReadFile(file);
  // A file size limit below the new file's size: the write of the temporary file fails.
  EXPECT_TRUE(InChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{before.size() + 10, before.size() + 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      log.Append(Report(4) + std::string(4096, 'x'), 32);
      return false;
    } catch (const ERavlogLogError& e) {
      return std::string(e.what()).rfind("Cannot write " + file, 0) == 0;
    }
  }));
  EXPECT_EQ(testing::ReadFile(file), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary file left
}

TEST(LogFileAppend, WritersAtTheSameTimeLoseNothing) {
  testing::TempDir dir;
  const std::string file = dir.File("prog.rlf");
  constexpr int kWriters = 4, kEach = 15;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = ::fork();
    if (child == 0) {
      TLogFile log(file);
      for (int n = 0; n < kEach; ++n) log.Append(Report(w * 100 + n), 1000);
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(TLogFile(file).Reports().size(), static_cast<size_t>(kWriters * kEach));
}

}  // namespace
}  // namespace tavrik::exlog
