// The test program's scenarios, each in a copy of the program in a folder of its own: the report
// each leaves in "<program>.rlf", its type, message and the stack naming the test program's own
// function and line; the 32 newest reports kept; the trace; the terminate button's restart.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/StrUtils.h"
#include "exlog/ELogFile.h"
#include "tests/support/TempDir.h"

namespace tavrik::exlog {
namespace {

// The line of the test program's source marked "LINE:<marker>".
int MarkedLine(const std::string& marker) {
  std::ifstream source(EXLOG_TEST_PROGRAM_SOURCE);
  std::string line;
  for (int number = 1; std::getline(source, line); ++number) {
    size_t at = line.find("LINE:" + marker);
    if (at != std::string::npos && line.size() == at + 5 + marker.size()) return number;
  }
  return -1;
}

struct Outcome {
  int status = 0;
  std::string output;
  bool Exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = dir.File("exlog_test_program");
    std::filesystem::copy_file(EXLOG_TEST_PROGRAM, program);
  }

  // Runs the copy in its folder; returns when it and every process that shares its output ended.
  Outcome Start(const std::string& args) {
    Outcome run;
    FILE* out = ::popen(("cd '" + dir.Path() + "' && ./exlog_test_program " + args + " 2>/dev/null").c_str(), "r");
    char piece[4096];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, out)) > 0) run.output.append(piece, n);
    run.status = ::pclose(out);
    if (WIFEXITED(run.status) && WEXITSTATUS(run.status) >= 128)  // the shell reports a signal so
      run.status = WEXITSTATUS(run.status) - 128;
    return run;
  }

  std::vector<std::string> Reports() { return TLogFile(dir.File("exlog_test_program.rlf")).Reports(); }

  static std::string Field(const std::string& report, const std::string& label) {
    size_t at = report.find(label);
    if (at == std::string::npos) return "";
    at = report.find(": ", at) + 2;
    return report.substr(at, report.find("\r\n", at) - at);
  }

  // The rows of the call stack table, each cell trimmed.
  static std::vector<std::vector<std::string>> Stack(const std::string& report) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(report.substr(report.find("Call Stack Information:"),
                                           report.find("Modules Information:") - report.find("Call Stack Information:")));
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] != '|') continue;
      std::vector<std::string> cells;
      size_t start = 1;
      for (size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1)
        cells.push_back(Trim(line.substr(start, bar - start)));
      rows.push_back(cells);
    }
    if (!rows.empty()) rows.erase(rows.begin());  // the header
    return rows;
  }

  // The index of the first stack row with this procedure and line, -1 when none.
  static int RowOf(const std::string& report, const std::string& procedure, int line) {
    std::vector<std::vector<std::string>> rows = Stack(report);
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() == 6 && rows[i][4] == procedure && rows[i][5] == std::to_string(line) &&
          rows[i][2] == "ExlogTestProgram.cpp" && rows[i][1] == "exlog_test_program")
        return static_cast<int>(i);
    return -1;
  }

  testing::TempDir dir;
  std::string program;
};

TEST_F(ProgramTest, AnErrorInTheMainThread) {
  Outcome run = Start("main-thread");
  EXPECT_TRUE(run.Exited(0));
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  const std::string& r = reports[0];
  ASSERT_GT(run.output.size(), 1000u);
  EXPECT_EQ(r.rfind(run.output, 0), 0u);  // a console program shows it on standard output too
  EXPECT_EQ(Field(r, "2.4 Type"), "ETestFailure");
  EXPECT_EQ(Field(r, "2.5 Message"), "Main thread failure 1.");
  EXPECT_EQ(Field(r, "2.3 Module"), "exlog_test_program");
  EXPECT_EQ(Field(r, "1.2 Name/Description"), "Exlog test program");
  EXPECT_EQ(Field(r, "1.3 Version Number"), "1.2.3.4");
  EXPECT_EQ(Field(r, "1.4 Parameters"), "\"main-thread\"");
  EXPECT_EQ(RowOf(r, "ThrowInMainThread", MarkedLine("main-thread")), 0) << r;
  EXPECT_EQ(Stack(r)[0][0], Field(r, "2.2 Address"));
}

TEST_F(ProgramTest, AnErrorThatEndsAThread) {
  Outcome run = Start("thread");
  EXPECT_TRUE(run.Exited(0));
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "2.4 Type"), "std::runtime_error");
  EXPECT_EQ(Field(reports[0], "2.5 Message"), "Thread failure.");
  EXPECT_EQ(RowOf(reports[0], "ThrowInThread", MarkedLine("thread")), 0) << reports[0];
  // The stack goes on with where the thread was created.
  EXPECT_GT(RowOf(reports[0], "main", MarkedLine("thread-start")), 0) << reports[0];
}

TEST_F(ProgramTest, AnErrorThatNothingCatchesEndsTheProgram) {
  Outcome run = Start("escape");
  EXPECT_TRUE(run.Exited(1));
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "2.4 Type"), "std::logic_error");
  EXPECT_EQ(Field(reports[0], "2.5 Message"), "Nobody catches this.");
  EXPECT_EQ(RowOf(reports[0], "LetErrorEscape", MarkedLine("escape")), 0) << reports[0];
}

TEST_F(ProgramTest, AFrozenMainLoop) {
  Outcome run = Start("freeze");
  EXPECT_TRUE(run.Exited(0));
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "2.4 Type"), "EFrozenApplication");
  EXPECT_EQ(Field(reports[0], "2.5 Message"), "The application seems to be frozen.");
  EXPECT_GE(RowOf(reports[0], "FreezeHere", MarkedLine("freeze")), 0) << reports[0];
}

TEST_F(ProgramTest, AFaultIsReportedBeforeTheProgramDies) {
  Outcome run = Start("crash");
  EXPECT_TRUE(WIFSIGNALED(run.status) ? WTERMSIG(run.status) == SIGSEGV : run.status == SIGSEGV) << run.status;
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "2.4 Type"), "EAccessViolation");
  EXPECT_NE(Field(reports[0], "2.5 Message").find("Access of address 0000000000000010."), std::string::npos);
  EXPECT_EQ(RowOf(reports[0], "CrashHere", MarkedLine("crash")), 0) << reports[0];
}

TEST_F(ProgramTest, TheNewest32ReportsAreKept) {
  Outcome run = Start("main-thread 33");
  EXPECT_TRUE(run.Exited(0));
  std::vector<std::string> reports = Reports();
  ASSERT_EQ(reports.size(), 32u);
  EXPECT_EQ(Field(reports.front(), "2.5 Message"), "Main thread failure 2.");
  EXPECT_EQ(Field(reports.back(), "2.5 Message"), "Main thread failure 33.");
}

TEST_F(ProgramTest, TheTraceSwitch) {
  EXPECT_TRUE(Start("main-thread").Exited(0));
  EXPECT_FALSE(std::filesystem::exists(dir.File("exlog_test_program.log")));
  EXPECT_TRUE(Start("main-thread 1 debugSave").Exited(0));
  std::ifstream trace(dir.File("exlog_test_program.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(trace, line);) lines.push_back(line.substr(0, line.size() - 1));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(17), "  Install(" + program + ")");
  EXPECT_EQ(lines[1].substr(17), "  HandleException(ETestFailure, Main thread failure 1)");
  EXPECT_EQ(lines[2].substr(17), "    ShowExceptionDialog()");
  EXPECT_EQ(lines[0][2], '/');
  EXPECT_EQ(lines[0][8], ' ');
  EXPECT_EQ(lines[0][11], ':');
}

TEST_F(ProgramTest, TheTerminateButtonRestartsTheProgramInItsStartFolder) {
  const std::string marker = dir.File("marker");
  Outcome run = Start("restart " + marker);
  EXPECT_TRUE(run.Exited(1));  // the first instance ends with exit code 1
  std::ifstream in(marker);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "first run\nrestarted in " + dir.Path() + "\n");
  EXPECT_EQ(Reports().size(), 1u);  // logged before it ended
}

}  // namespace
}  // namespace tavrik::exlog
